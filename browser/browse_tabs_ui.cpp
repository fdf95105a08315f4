// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/browse_tabs_ui.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include "browser/file_grid_ui.h"
#include "browser/folder_tree_ui.h"
#include "foundation/platform_ui.h"

namespace trovix {

namespace {

QByteArray Bytes(const std::string &s) {
  return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

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

TTabControlSmart::TTabControlSmart(QWidget *parent) : QTabBar(parent) {
  setObjectName("TCTrovix");
  setFocusPolicy(Qt::NoFocus);
  setExpanding(false);
  setDrawBase(false);
  setElideMode(Qt::ElideNone);
  setUsesScrollButtons(true);
  setMovable(false);
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
  QByteArray bytes = tabData(index).toByteArray();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void TTabControlSmart::SetCaption(int32_t index, const std::string &caption) {
  if (index < 0 || index >= count()) return;
  if (static_cast<size_t>(index) < widths_.size()) widths_[index] = TabWidth(caption);
  setTabData(index, Bytes(caption));
  setTabText(index, DisplayText(caption));  // lays the row out again for the new width
  update();
}

int32_t TTabControlSmart::AddTab(const std::string &caption) {
  const QSignalBlocker blocker(this);
  // The width first: adding lays the row out.
  widths_.resize(static_cast<size_t>(count()));
  widths_.push_back(TabWidth(caption));
  int index = addTab(DisplayText(caption));
  setTabData(index, Bytes(caption));
  return index;
}

void TTabControlSmart::DeleteTab(int32_t index) {
  if (index < 0 || index >= count()) return;
  const QSignalBlocker blocker(this);
  if (static_cast<size_t>(index) < widths_.size()) widths_.erase(widths_.begin() + index);
  removeTab(index);
}

void TTabControlSmart::SetTabIndex(int32_t index) {
  if (index < 0 || index >= count()) return;
  const QSignalBlocker blocker(this);
  setCurrentIndex(index);
  update();
}

void TTabControlSmart::SetTabs(const std::vector<std::string> &captions, int32_t index) {
  // Hidden meanwhile, the bar neither scrolls, repaints nor asks its parent
  // for a new geometry on each tab added or removed, only once when shown.
  const QSignalBlocker blocker(this);
  const bool visible = isVisible();
  setUpdatesEnabled(false);
  if (visible) hide();
  TTabRow::SetTabs(captions, index);
  if (visible) show();
  setUpdatesEnabled(true);
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

QSize TTabControlSmart::tabSizeHint(int index) const {
  // The row is laid out again whenever a tab comes or goes, asking every
  // tab's size: each tab's width is measured once, when its caption is set.
  if (index >= 0 && static_cast<size_t>(index) < widths_.size())
    return QSize(widths_[static_cast<size_t>(index)], TabHeight());
  return QSize(TabWidth(Caption(index)), TabHeight());
}

QSize TTabControlSmart::minimumTabSizeHint(int index) const { return tabSizeHint(index); }

void TTabControlSmart::paintEvent(QPaintEvent *event) {
  QPainter p(this);
  const QPalette &pal = palette();
  const QColor line = pal.mid().color();
  p.fillRect(rect(), pal.window());
  const int current = currentIndex();
  // The tabs stand on a line that the current tab breaks.
  p.setPen(line);
  p.drawLine(0, height() - 1, width(), height() - 1);
  for (int i = 0; i < count(); ++i) {
    QRect r = tabRect(i);
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
      p.setClipRect(face.adjusted(1, 1, -1, 0));
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
  QTabBar::mousePressEvent(event);                           // the bar changes the tab first
  if (event->button() == Qt::MiddleButton) event->accept();  // its release closes a tab
  if (event->button() != Qt::LeftButton) return;
  TabChosen();
  // A drag of the tab begins once the mouse has moved far enough.
  dragArmed_ = tabAt(event->position().toPoint()) >= 0;
  pressPos_ = event->position().toPoint();
}

void TTabControlSmart::mouseMoveEvent(QMouseEvent *event) {
  if (dragArmed_ && (event->buttons() & Qt::LeftButton) &&
      (event->position().toPoint() - pressPos_).manhattanLength() >= DragDistance) {
    dragArmed_ = false;
    StartDrag();
    return;
  }
  QTabBar::mouseMoveEvent(event);
}

void TTabControlSmart::mouseReleaseEvent(QMouseEvent *event) {
  dragArmed_ = false;
  QTabBar::mouseReleaseEvent(event);
  if (OnMouseUp) OnMouseUp(event, tabAt(event->position().toPoint()));
}

bool TTabControlSmart::event(QEvent *event) {
  if (event->type() == QEvent::ToolTip) {
    // The tip of a folder tab is its whole folder.
    auto *help = static_cast<QHelpEvent *>(event);
    const int index = tabAt(help->pos());
    const std::string hint =
        IsFolderTab(*this, index) && OnTabHint ? OnTabHint(index) : std::string();
    if (!hint.empty())
      QToolTip::showText(help->globalPos(), DisplayText(hint), this);
    else
      QToolTip::hideText();
    return true;
  }
  return QTabBar::event(event);
}

void TTabControlSmart::wheelEvent(QWheelEvent *event) {
  // The wheel does not change tabs: a tab is chosen only by a click.
  event->ignore();
}

void TTabControlSmart::focusOutEvent(QFocusEvent *event) {
  QTabBar::focusOutEvent(event);
  FocusLost();
}

void TTabControlSmart::changeEvent(QEvent *event) {
  QTabBar::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    // Keep the tab font bold whatever font the window hands down.
    QFont f = font();
    if (!f.bold()) {
      f.setBold(true);
      setFont(f);
    }
    tabHeight_ = -1;
    for (int i = 0; i < count() && static_cast<size_t>(i) < widths_.size(); ++i)
      widths_[static_cast<size_t>(i)] = TabWidth(Caption(i));
  }
}

void TTabControlSmart::StartDrag() {
  int index = currentIndex();
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
  const int index = tabAt(event->position().toPoint());
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
  const int target = tabAt(event->position().toPoint());
  if (OnDragDrop) OnDragDrop(event, target);
  if (event->source() == this && event->mimeData()->hasFormat(TabMimeType)) {
    DropCurrentOn(target);
    event->acceptProposedAction();
    update();
  }
}

}  // namespace trovix
