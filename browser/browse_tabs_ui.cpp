// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/browse_tabs_ui.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>
#include <algorithm>

#include "browser/file_grid_ui.h"
#include "browser/folder_tree_ui.h"
#include "foundation/platform_ui.h"

namespace trovix {

namespace {

// The lower colour of the inactive tabs' gradient (the system's scroll-bar
// grey, a shade darker than the button face).
QColor GradientBottom(const QPalette &palette) { return palette.button().color().darker(112); }

constexpr int kIconSize = 16;
constexpr int kTextLeft = 24;  // caption and count line start right of the icon
constexpr int kNewTabWidth = 30;

// Top of the first line and of the count line's rectangle inside a tab.
int CaptionTop(const QRect &rect) { return rect.top() + 4; }
int CountLineTop(const QRect &rect, const QFont &bold) {
  // DrawCellText writes 3 pixels below its rectangle's top.
  return CaptionTop(rect) + QFontMetrics(bold).height() - 3;
}

}  // namespace

const char *const TTabControlSmart::TabMimeType = "application/x-trovix-tab";

TTabControlSmart::TTabControlSmart(QWidget *parent) : QWidget(parent) {
  auto arrow = [this](Qt::ArrowType type, int32_t step) {
    auto *button = new QToolButton(this);
    button->setArrowType(type);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
    connect(button, &QToolButton::clicked, this, [this, step] { Scroll(step); });
    return button;
  };
  scrollLeft_ = arrow(Qt::LeftArrow, -1);
  scrollRight_ = arrow(Qt::RightArrow, 1);
  setObjectName("TCTrovix");
  setFocusPolicy(Qt::NoFocus);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setAcceptDrops(true);
  setFont(BoldFont());
  setContextMenuPolicy(Qt::CustomContextMenu);
}

QFont TTabControlSmart::BoldFont() const {
  QFont bold = font();
  bold.setBold(true);
  return bold;
}

// ---- TTabRow ------------------------------------------------------------------------

std::string TTabControlSmart::Caption(int32_t index) const {
  if (index < 0 || index >= TabCount()) return std::string();
  return tabs_[static_cast<size_t>(index)].caption;
}

void TTabControlSmart::SetCaption(int32_t index, const std::string &caption) {
  if (index < 0 || index >= TabCount()) return;
  Tab &tab = tabs_[static_cast<size_t>(index)];
  tab.caption = caption;
  const int32_t width = TabWidth(caption);
  if (width != tab.width) {
    tab.width = width;
    TabsChanged();
  }
  update();
}

int32_t TTabControlSmart::AddTab(const std::string &caption) {
  tabs_.push_back({caption, TabWidth(caption)});
  if (current_ < 0) current_ = 0;  // the first tab becomes current
  TabsChanged();
  return TabCount() - 1;
}

void TTabControlSmart::DeleteTab(int32_t index) {
  if (index < 0 || index >= TabCount()) return;
  tabs_.erase(tabs_.begin() + index);
  // The tab to the right of a deleted current tab takes its place; the last
  // one's left neighbour when there is none.
  if (index < current_ || current_ >= TabCount()) --current_;
  TabsChanged();
}

void TTabControlSmart::SetTabIndex(int32_t index) {
  if (index < 0 || index >= TabCount()) return;
  current_ = index;
  MakeVisible(index);
  update();
}

void TTabControlSmart::SetTabs(const std::vector<std::string> &captions, int32_t index) {
  tabs_.clear();
  tabs_.reserve(captions.size());
  for (const std::string &caption : captions) tabs_.push_back({caption, TabWidth(caption)});
  current_ = tabs_.empty() ? -1 : 0;
  first_ = 0;
  TabsChanged();
  SetTabIndex(index);
}

// ---- Layout --------------------------------------------------------------------------

void TTabControlSmart::TabsChanged() {
  leftsDirty_ = true;
  first_ = std::clamp(first_, 0, std::max(0, TabCount() - 1));
  updateGeometry();
  MakeVisible(current_);
  update();
}

const std::vector<int32_t> &TTabControlSmart::Lefts() const {
  if (leftsDirty_) {
    lefts_.resize(tabs_.size() + 1);
    int32_t x = 0;
    for (size_t i = 0; i < tabs_.size(); ++i) {
      lefts_[i] = x;
      x += tabs_[i].width;
    }
    lefts_[tabs_.size()] = x;
    leftsDirty_ = false;
  }
  return lefts_;
}

int32_t TTabControlSmart::TabsWidth() const {
  if (Lefts().back() <= width()) return width();
  return std::max(0, width() - 2 * style()->pixelMetric(QStyle::PM_TabBarScrollButtonWidth));
}

QRect TTabControlSmart::tabRect(int32_t index) const {
  if (index < 0 || index >= TabCount()) return QRect();
  const std::vector<int32_t> &lefts = Lefts();
  const int32_t left = lefts[static_cast<size_t>(index)] - lefts[static_cast<size_t>(first_)];
  return QRect(left, 0, tabs_[static_cast<size_t>(index)].width, TabHeight());
}

int32_t TTabControlSmart::TabAt(const QPoint &pos) const {
  if (pos.y() < 0 || pos.y() >= TabHeight() || pos.x() < 0 || pos.x() >= TabsWidth()) return -1;
  const std::vector<int32_t> &lefts = Lefts();
  const int32_t x = pos.x() + lefts[static_cast<size_t>(first_)];
  // The last left edge not beyond x.
  auto it = std::upper_bound(lefts.begin(), lefts.end(), x);
  const int32_t index = static_cast<int32_t>(it - lefts.begin()) - 1;
  return index >= 0 && index < TabCount() ? index : -1;
}

void TTabControlSmart::MakeVisible(int32_t index) {
  const std::vector<int32_t> &lefts = Lefts();
  const bool overflow = lefts.back() > width();
  if (!overflow) {
    first_ = 0;
  } else if (index >= 0 && index < TabCount()) {
    const size_t i = static_cast<size_t>(index);
    if (index < first_) first_ = index;
    // Scroll right by whole tabs until the tab's right edge is in view.
    const int32_t avail = TabsWidth();
    while (first_ < index && lefts[i + 1] - lefts[static_cast<size_t>(first_)] > avail) ++first_;
  }
  PlaceScrollButtons();
  update();
}

void TTabControlSmart::PlaceScrollButtons() {
  const bool overflow = Lefts().back() > width();
  scrollLeft_->setVisible(overflow);
  scrollRight_->setVisible(overflow);
  if (!overflow) return;
  const int32_t w = style()->pixelMetric(QStyle::PM_TabBarScrollButtonWidth);
  const int32_t h = std::min(height(), TabHeight());
  scrollLeft_->setGeometry(width() - 2 * w, 0, w, h);
  scrollRight_->setGeometry(width() - w, 0, w, h);
  const std::vector<int32_t> &lefts = Lefts();
  scrollLeft_->setEnabled(first_ > 0);
  scrollRight_->setEnabled(lefts.back() - lefts[static_cast<size_t>(first_)] > TabsWidth());
}

void TTabControlSmart::Scroll(int32_t step) {
  const std::vector<int32_t> &lefts = Lefts();
  const int32_t next = std::clamp(first_ + step, 0, std::max(0, TabCount() - 1));
  // Right only while tabs remain hidden beyond the right end.
  if (step > 0 && lefts.back() - lefts[static_cast<size_t>(first_)] <= TabsWidth()) return;
  first_ = next;
  PlaceScrollButtons();
  update();
}

void TTabControlSmart::resizeEvent(QResizeEvent *event) {
  QWidget::resizeEvent(event);
  MakeVisible(current_);
}

QSize TTabControlSmart::sizeHint() const { return QSize(Lefts().back(), TabHeight()); }

QSize TTabControlSmart::minimumSizeHint() const {
  // Room for the scroll buttons and a new-tab tab.
  return QSize(2 * style()->pixelMetric(QStyle::PM_TabBarScrollButtonWidth) + kNewTabWidth,
               TabHeight());
}

// ---- Size and painting ---------------------------------------------------------------

int32_t TTabControlSmart::TabHeight() const {
  if (tabHeight_ < 0) {
    QFont normal = font();
    normal.setBold(false);
    tabHeight_ =
        std::max(32, QFontMetrics(BoldFont()).height() + QFontMetrics(normal).height() + 6);
  }
  return tabHeight_;
}

int32_t TTabControlSmart::TabWidth(const std::string &caption) const {
  if (caption.empty()) return kNewTabWidth;
  QFont normal = font();
  normal.setBold(false);
  // Wide enough for the caption, and for a usual count line under a short one.
  int captionWidth = QFontMetrics(BoldFont()).horizontalAdvance(DisplayText(caption));
  int countWidth = QFontMetrics(normal).horizontalAdvance("999 items: 99.9 KB");
  return kTextLeft + std::max(captionWidth, countWidth) + 10;
}

void TTabControlSmart::paintEvent(QPaintEvent *event) {
  QPainter p(this);
  const QPalette &pal = palette();
  const QColor line = pal.mid().color();
  p.fillRect(rect(), pal.window());
  const int current = current_;
  // The tabs stand on a line that the current tab breaks.
  p.setPen(line);
  p.drawLine(0, height() - 1, width(), height() - 1);
  // Only the tabs in view, left of the scroll buttons.
  const int32_t tabsWidth = TabsWidth();
  p.setClipRect(QRect(0, 0, tabsWidth, height()));
  for (int i = first_; i < TabCount(); ++i) {
    QRect r = tabRect(i);
    if (r.left() >= tabsWidth) break;
    if (!r.intersects(event->rect())) continue;
    const bool active = i == current;
    r.setBottom(std::min(r.bottom(), r.top() + TabHeight() - 1));
    QRect face = active ? r : r.adjusted(0, 2, 0, -1);
    if (active) {
      p.fillRect(face, pal.button());
    } else {
      CanvasGradientFill(p, face, pal.button().color(), GradientBottom(pal));
    }
    // Frame: left, top and right edges; the current tab opens onto the pane.
    p.setPen(line);
    p.drawLine(face.left(), face.bottom(), face.left(), face.top());
    p.drawLine(face.left(), face.top(), face.right(), face.top());
    p.drawLine(face.right(), face.top(), face.right(), face.bottom());
    if (active) {
      p.setPen(pal.light().color());
      p.drawLine(face.left() + 1, face.top() + 1, face.right() - 1, face.top() + 1);
      p.setPen(pal.button().color());
      p.drawLine(face.left() + 1, height() - 1, face.right() - 1, height() - 1);
    }
    if (OnDrawTab) {
      p.save();
      p.setClipRect(face.adjusted(1, 1, -1, 0), Qt::IntersectClip);
      p.setFont(BoldFont());
      p.setPen(pal.windowText().color());
      p.setBackgroundMode(Qt::TransparentMode);
      OnDrawTab(p, i, face, active);
      p.restore();
    }
  }
}

void DrawBrowseTab(QPainter &painter, const QRect &rect, const std::string &caption,
                   const TabState &tab, const QPalette &palette) {
  const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  if (caption.empty()) {
    // The new-tab tab: its image greyed, near the right end.
    QPixmap image =
        FolderImageIcon(fiNewTab).pixmap(QSize(kIconSize, kIconSize), ratio, QIcon::Disabled);
    painter.drawPixmap(rect.right() - 20, rect.top() + (rect.height() - kIconSize) / 2, image);
    return;
  }
  const QFont bold = painter.font();
  if (tab.ImageIndex >= 0) {
    QPixmap image = FolderImageIcon(tab.ImageIndex).pixmap(QSize(kIconSize, kIconSize), ratio);
    painter.drawPixmap(rect.left() + 4, CaptionTop(rect), image);
  }
  const QRect captionRect(rect.left() + kTextLeft, CaptionTop(rect),
                          rect.right() - 2 - rect.left() - kTextLeft, QFontMetrics(bold).height());
  painter.drawText(
      captionRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
      QFontMetrics(bold).elidedText(DisplayText(caption), Qt::ElideRight, captionRect.width()));
  const std::string countLine = TabCountLine(tab);
  if (countLine.empty()) return;
  QFont normal = bold;
  normal.setBold(false);
  painter.setFont(normal);
  painter.setPen(palette.highlight().color());
  // DrawCellText moves in 2 pixels, so the rectangle starts 2 pixels left of
  // the caption to line the two up.
  DrawCellText(painter, countLine,
               QRect(QPoint(rect.left() + kTextLeft - 2, CountLineTop(rect, bold)),
                     QPoint(rect.right() - 2, rect.bottom())),
               false);
  painter.setFont(bold);
}

// ---- Mouse ------------------------------------------------------------------------

void TTabControlSmart::mousePressEvent(QMouseEvent *event) {
  // Every press is taken so that its release arrives (a middle release closes a tab).
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  // The row changes the tab first.
  const int32_t index = TabAt(event->position().toPoint());
  if (index >= 0) SetTabIndex(index);
  TabChosen();
  // A drag of the tab begins once the mouse has moved far enough.
  dragArmed_ = index >= 0;
  pressPos_ = event->position().toPoint();
}

void TTabControlSmart::mouseMoveEvent(QMouseEvent *event) {
  if (dragArmed_ && (event->buttons() & Qt::LeftButton) &&
      (event->position().toPoint() - pressPos_).manhattanLength() >= DragDistance) {
    dragArmed_ = false;
    StartDrag();
    return;
  }
  QWidget::mouseMoveEvent(event);
}

void TTabControlSmart::mouseReleaseEvent(QMouseEvent *event) {
  dragArmed_ = false;
  event->accept();
  if (OnMouseUp) OnMouseUp(event, TabAt(event->position().toPoint()));
}

bool TTabControlSmart::event(QEvent *event) {
  if (event->type() == QEvent::ToolTip) {
    // The tip of a folder tab is its whole folder.
    auto *help = static_cast<QHelpEvent *>(event);
    const int index = TabAt(help->pos());
    const std::string hint =
        IsFolderTab(*this, index) && OnTabHint ? OnTabHint(index) : std::string();
    if (!hint.empty())
      QToolTip::showText(help->globalPos(), DisplayText(hint), this);
    else
      QToolTip::hideText();
    return true;
  }
  return QWidget::event(event);
}

void TTabControlSmart::wheelEvent(QWheelEvent *event) {
  // The wheel does not change tabs: a tab is chosen only by a click.
  event->ignore();
}

void TTabControlSmart::focusOutEvent(QFocusEvent *event) {
  QWidget::focusOutEvent(event);
  FocusLost();
}

void TTabControlSmart::changeEvent(QEvent *event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    // Keep the tab font bold whatever font the window hands down.
    QFont f = font();
    if (!f.bold()) {
      f.setBold(true);
      setFont(f);
    }
    tabHeight_ = -1;
    for (Tab &tab : tabs_) tab.width = TabWidth(tab.caption);
    TabsChanged();
  }
}

void TTabControlSmart::StartDrag() {
  int index = current_;
  if (index < 0) return;
  auto *data = new QMimeData;
  data->setData(TabMimeType, QByteArray::number(index));
  auto *drag = new QDrag(this);
  drag->setMimeData(data);
  QRect r = tabRect(index);
  drag->setPixmap(grab(r));
  drag->setHotSpot(pressPos_ - r.topLeft());
  drag->exec(Qt::MoveAction);
}

// ---- Dropping -----------------------------------------------------------------------

bool TTabControlSmart::AcceptDrag(QDropEvent *event) {
  const int index = TabAt(event->position().toPoint());
  if (OnDragOver && OnDragOver(event, index)) return true;
  return event->source() == this && event->mimeData()->hasFormat(TabMimeType) &&
         AcceptsTabDrop(index);
}

void TTabControlSmart::dragEnterEvent(QDragEnterEvent *event) {
  // Entering is allowed for our own tabs so that moves over the row arrive;
  // each position then decides.
  if (AcceptDrag(event) || (event->source() == this && event->mimeData()->hasFormat(TabMimeType)))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TTabControlSmart::dragMoveEvent(QDragMoveEvent *event) {
  if (AcceptDrag(event))
    event->acceptProposedAction();
  else
    event->ignore();
}

void TTabControlSmart::dropEvent(QDropEvent *event) {
  const int target = TabAt(event->position().toPoint());
  if (OnDragDrop) OnDragDrop(event, target);
  if (event->source() == this && event->mimeData()->hasFormat(TabMimeType)) {
    DropCurrentOn(target);
    event->acceptProposedAction();
    update();
  }
}

}  // namespace trovix
