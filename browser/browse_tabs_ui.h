// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TTabControlSmart: the row of browse tabs. A widget that lays out and paints
// its tabs itself (the current one plain, the others on a gradient, the
// content by the owner's OnDrawTab), tells its owner when a tab is chosen,
// left or needs its data exchanged (TTabRow, browse_tabs.h), and reorders tabs
// by dragging one onto another. Tabs that do not fit scroll with two arrow
// buttons at the right end. The layout is one sum of widths, made again only
// when a tab comes, goes or changes its caption, so thousands of tabs cost
// their count once.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "browser/browse_tabs.h"

class QMimeData;
class QToolButton;

namespace trovix {

class TTabControlSmart : public QWidget, public TTabRow {
  Q_OBJECT
 public:
  explicit TTabControlSmart(QWidget *parent = nullptr);

  // TTabRow: the captions are kept as bytes beside the shown text.
  int32_t TabCount() const override { return static_cast<int32_t>(tabs_.size()); }
  std::string Caption(int32_t index) const override;
  void SetCaption(int32_t index, const std::string &caption) override;
  int32_t AddTab(const std::string &caption) override;
  void DeleteTab(int32_t index) override;
  int32_t TabIndex() const override { return current_; }
  void SetTabIndex(int32_t index) override;
  // In one batch, laid out once: thousands of restored tabs take no longer
  // than their count.
  void SetTabs(const std::vector<std::string> &captions, int32_t index) override;

  // Height of the tabs: 32 pixels, more when two lines of the font need it.
  int32_t TabHeight() const;
  // Tab under a point of the control (not under the scroll buttons), -1 for none.
  int32_t TabAt(const QPoint &pos) const;
  // Where a tab stands in the control, scrolled; empty for no such tab.
  QRect tabRect(int32_t index) const;
  // The first tab shown at the left end (the row scrolls by whole tabs).
  int32_t FirstShown() const { return first_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

  // Paints a tab's content after its background (the pen is the text colour,
  // the font bold, the background transparent).
  std::function<void(QPainter &, int32_t index, const QRect &rect, bool active)> OnDrawTab;
  // The tool tip of a folder tab (its whole folder); none when unset or empty.
  std::function<std::string(int32_t index)> OnTabHint;
  // A mouse button released over the row; index is the tab under the mouse.
  std::function<void(QMouseEvent *, int32_t index)> OnMouseUp;
  // The owner's handling of something dragged over a tab (files dropped on a
  // tab); true when it accepts. Runs before the tab's own rule.
  std::function<bool(QDropEvent *, int32_t index)> OnDragOver;
  // The owner's drop handler; runs before a dragged tab is moved.
  std::function<void(QDropEvent *, int32_t index)> OnDragDrop;

  // The data format of a tab being dragged.
  static const char *const TabMimeType;
  // Mouse travel that starts dragging a pressed tab.
  static constexpr int32_t DragDistance = 4;

 protected:
  bool event(QEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;
  void focusOutEvent(QFocusEvent *event) override;
  void changeEvent(QEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dragMoveEvent(QDragMoveEvent *event) override;
  void dropEvent(QDropEvent *event) override;

 private:
  bool AcceptDrag(QDropEvent *event);
  void StartDrag();
  QFont BoldFont() const;

  // The width of a tab with this caption.
  int32_t TabWidth(const std::string &caption) const;
  // Left edge of each tab before scrolling (and the row's whole width at the
  // end), made again after a change of the tabs.
  const std::vector<int32_t> &Lefts() const;
  // The width the tabs may use: all of it, or what the scroll buttons leave.
  int32_t TabsWidth() const;
  // Scrolls so that the tab is wholly in view when it fits; shows or hides
  // the scroll buttons and enables them.
  void MakeVisible(int32_t index);
  void PlaceScrollButtons();
  void TabsChanged();
  void Scroll(int32_t step);

  struct Tab {
    std::string caption;  // bytes, as the owner gave them
    int32_t width = 0;    // measured when the caption is set
  };
  std::vector<Tab> tabs_;
  int32_t current_ = -1;
  int32_t first_ = 0;
  mutable std::vector<int32_t> lefts_;
  mutable bool leftsDirty_ = true;
  mutable int32_t tabHeight_ = -1;
  QToolButton *scrollLeft_ = nullptr;
  QToolButton *scrollRight_ = nullptr;
  bool dragArmed_ = false;
  QPoint pressPos_;
};

// Paints the content of one browse tab: the new-tab tab (empty caption) as
// its greyed image; a folder tab with its image once listed, its caption in
// bold and, once listed, the count line in the highlight colour.
void DrawBrowseTab(QPainter &painter, const QRect &rect, const std::string &caption,
                   const TabState &tab, const QPalette &palette);

}  // namespace trovix
