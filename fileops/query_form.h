// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "File Operation Issues": the review window of the problems that file
// operations met (IssueList, file_operations.h). Created once at start and
// shown modeless by the main window's timer once operations have ended with
// issues. The user ticks issues, sorts, swaps source and destination, and
// then proceeds (the ticked issues are carried out, forced) or cancels.
// Closing the window, by any means, forgets the issues it showed. The rules
// live in query.h; this is the window over them.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

#include "browser/file_grid_ui.h"

class QAction;
class QMenu;

namespace trovix {

class TCommandRunner;

class TNiceLabel;
class TBtnTransparent;

// The issues grid: a zebra grid whose selection is a range of rows, made by
// dragging or by a Shift click, from an anchor row to the current row.
class TIssuesGrid : public TDrawGridZebra {
  Q_OBJECT
 public:
  explicit TIssuesGrid(QWidget *parent = nullptr);

  // The selected rows, top to bottom.
  int32_t SelectionTop() const;
  int32_t SelectionBottom() const;
  // Makes row current and the selection that one row.
  void SelectRow(int32_t row);

  std::function<void(int32_t col, int32_t row)> OnDblClick;
  std::function<void(const QPoint &globalPos)> OnContextMenu;

 protected:
  void PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                   GridDrawState state) override;
  void SelectCell(int32_t row) override;
  void CellMouseDown(QMouseEvent *event, int32_t col, int32_t row) override;
  void CellMouseUp(QMouseEvent *event, int32_t col, int32_t row) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void contextMenuEvent(QContextMenuEvent *event) override;

 private:
  int32_t anchor_ = 1;
  bool dragging_ = false;  // the left button went down on a data row
  bool pressing_ = false;  // inside a mouse press
  bool keyShift_ = false;  // inside a key press with Shift held
};

class TQueryForm : public QWidget {
  Q_OBJECT
 public:
  explicit TQueryForm(QWidget *parent = nullptr);
  ~TQueryForm() override;

  // The main window's timer calls this once operations have ended: shows the
  // window (modeless, in front) when IssueList holds an issue. True when
  // shown.
  bool ShowIfIssues();
  static bool HasIssues();

  // Refreshes the main window's file list (as its refresh button); called
  // after proceeding.
  std::function<void()> OnRefresh;

  // Issues on show: the grid's rows below the header.
  int32_t ShownCount() const { return shown_; }
  // Index of the current issue (the grid's current row - 1).
  int32_t CurrentIssue() const;

  TNiceLabel *lMessage = nullptr;
  TIssuesGrid *gIssues = nullptr;
  QWidget *pToolbar = nullptr;
  QWidget *pbToolbar = nullptr;
  TBtnTransparent *bProceed = nullptr;
  TBtnTransparent *bCancel = nullptr;
  QMenu *mIssues = nullptr;
  QAction *mSelectAllNone = nullptr;
  QAction *mProceed = nullptr;
  QAction *mSwapSourceDestination = nullptr;
  QAction *mViewSource = nullptr;
  QAction *mViewDestination = nullptr;
  QAction *mCompareSourceDestination = nullptr;
  // Reads the two files of a compare on a worker: a file on a hung mount
  // never holds the window.
  TCommandRunner *Compares = nullptr;

  // Handlers.
  void FormCreate();
  void FormShow();
  void FormClose();
  void gIssuesDrawCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect);
  void gIssuesMouseUp(QMouseEvent *event, int32_t col, int32_t row);
  void gIssuesDblClick(int32_t col, int32_t row);
  void mSelectAllNoneClick();
  void mSwapSourceDestinationClick();
  void mViewSourceClick();
  void mViewDestinationClick();
  void mCompareSourceDestinationClick();
  void bProceedClick();
  void bCancelClick();
  void pbToolbarPaint(QPainter &painter);

 protected:
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

 private:
  void ViewIssueFile(bool source);

  int32_t shown_ = 0;
  bool placed_ = false;
};

extern TQueryForm *QueryForm;

}  // namespace trovix
