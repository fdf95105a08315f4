// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/file_grid_ui.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QHash>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>
#include <QWheelEvent>
#include <algorithm>
#include <cstdlib>

#include "dialogs/options_ui.h"
#include "foundation/file_system.h"
#include "foundation/settings_qt.h"
#include "foundation/strings.h"

namespace trovix {

namespace {

constexpr int32_t kIconSize = 16;
constexpr int32_t kMinColumnWidth = 8;
constexpr int32_t kBorderGrip = 3;  // pixels either side of a column border

// Right edge as the cell painters count it: one past the last pixel.
int32_t RightOf(const QRect &r) { return r.left() + r.width(); }

QColor GridLineColour(const QPalette &palette) {
  const QColor base = palette.color(QPalette::Base);
  const QColor text = palette.color(QPalette::Text);
  return QColor((base.red() * 7 + text.red()) / 8, (base.green() * 7 + text.green()) / 8,
                (base.blue() * 7 + text.blue()) / 8);
}

// ---- File-type images, drawn on a 16 x 16 grid --------------------------------

void PaintPage(QPainter &p, const QColor &fill) {
  QPainterPath page;
  page.moveTo(3.5, 1.5);
  page.lineTo(10, 1.5);
  page.lineTo(13.5, 5);
  page.lineTo(13.5, 14.5);
  page.lineTo(3.5, 14.5);
  page.closeSubpath();
  p.setPen(QPen(QColor(0x73, 0x80, 0x94), 1));
  p.setBrush(fill);
  p.drawPath(page);
  QPainterPath fold;
  fold.moveTo(10, 1.5);
  fold.lineTo(10, 5);
  fold.lineTo(13.5, 5);
  fold.closeSubpath();
  p.setBrush(QColor(0xDD, 0xE3, 0xEA));
  p.drawPath(fold);
}

void PaintFolder(QPainter &p) {
  const QColor edge(0xA8, 0x74, 0x0F);
  QPainterPath back;
  back.moveTo(1.5, 3.5);
  back.lineTo(6, 3.5);
  back.lineTo(7.5, 5);
  back.lineTo(14.5, 5);
  back.lineTo(14.5, 13.5);
  back.lineTo(1.5, 13.5);
  back.closeSubpath();
  p.setPen(QPen(edge, 1));
  p.setBrush(QColor(0xE0, 0xA5, 0x26));
  p.drawPath(back);
  QLinearGradient front(0, 6.5, 0, 13.5);
  front.setColorAt(0, QColor(0xFF, 0xDA, 0x66));
  front.setColorAt(1, QColor(0xF0, 0xB2, 0x2E));
  p.setBrush(front);
  p.drawRect(QRectF(1.5, 6.5, 13, 7));
}

void PaintIcon(QPainter &p, int32_t image) {
  p.setRenderHint(QPainter::Antialiasing, true);
  switch (image) {
    case fiIconFolder: PaintFolder(p); break;
    case fiIconNetworkFolder: {
      PaintFolder(p);
      // A small globe: the folder lies on another machine.
      const QColor blue(0x2F, 0x6F, 0xC8);
      p.setPen(QPen(QColor(0x1C, 0x45, 0x80), 1));
      p.setBrush(blue);
      p.drawEllipse(QPointF(11.5, 11.5), 4, 4);
      p.setPen(QPen(QColor(0xE8, 0xF1, 0xFF), 0.9));
      p.setBrush(Qt::NoBrush);
      p.drawEllipse(QPointF(11.5, 11.5), 1.6, 4);
      p.drawLine(QPointF(7.5, 11.5), QPointF(15.5, 11.5));
      break;
    }
    case fiIconProgram: {
      p.setPen(QPen(QColor(0x3A, 0x50, 0x6B), 1));
      p.setBrush(QColor(0x2B, 0x30, 0x3B));
      p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 1.5, 1.5);
      p.setBrush(QColor(0x4A, 0x8A, 0xD8));
      p.drawRect(QRectF(1.5, 2.5, 13, 2.5));
      p.setPen(QPen(QColor(0x7C, 0xE0, 0x6A), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawPolyline(QPolygonF({QPointF(4, 7), QPointF(6.5, 9), QPointF(4, 11)}));
      p.drawLine(QPointF(8, 11.2), QPointF(11.5, 11.2));
      break;
    }
    case fiIconPicture: {
      p.setPen(QPen(QColor(0x5E, 0x66, 0x70), 1));
      QLinearGradient sky(0, 2.5, 0, 13.5);
      sky.setColorAt(0, QColor(0x8C, 0xC8, 0xFF));
      sky.setColorAt(1, QColor(0xE2, 0xF2, 0xFF));
      p.setBrush(sky);
      p.drawRect(QRectF(1.5, 2.5, 13, 11));
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0xFF, 0xC8, 0x20));
      p.drawEllipse(QPointF(11, 5.8), 1.7, 1.7);
      p.setBrush(QColor(0x3C, 0x9A, 0x3C));
      p.drawPolygon(QPolygonF(
          {QPointF(2, 13), QPointF(6, 7.5), QPointF(9, 11), QPointF(11, 9), QPointF(14, 13)}));
      break;
    }
    case fiIconMultimedia: {
      PaintPage(p, Qt::white);
      const QColor note(0x7A, 0x3F, 0xB5);
      p.setPen(Qt::NoPen);
      p.setBrush(note);
      p.drawEllipse(QPointF(7, 11.6), 1.9, 1.5);
      p.setPen(QPen(note, 1.2, Qt::SolidLine, Qt::FlatCap));
      p.drawLine(QPointF(8.5, 11.4), QPointF(8.5, 5));
      p.drawLine(QPointF(8.5, 5.2), QPointF(11, 6.7));
      break;
    }
    case fiIconShortcut: {
      PaintPage(p, Qt::white);
      p.setPen(QPen(QColor(0x4A, 0x55, 0x66), 1));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 8.5, 6, 6));
      p.setPen(QPen(QColor(0x1F, 0x6F, 0xD0), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.setBrush(Qt::NoBrush);
      QPainterPath arrow;
      arrow.moveTo(3, 13);
      arrow.quadTo(3, 10.5, 6, 10.5);
      p.drawPath(arrow);
      p.drawPolyline(QPolygonF({QPointF(4.8, 9.3), QPointF(6.2, 10.5), QPointF(4.8, 11.7)}));
      break;
    }
    case fiIconReadOnly: {
      // A padlock in the lower left corner, drawn over the item's image.
      p.setPen(QPen(QColor(0x50, 0x50, 0x50), 1.2));
      p.setBrush(Qt::NoBrush);
      p.drawArc(QRectF(2, 6.5, 4, 5), 0, 180 * 16);
      p.drawLine(QPointF(2, 9), QPointF(2, 10));
      p.drawLine(QPointF(6, 9), QPointF(6, 10));
      p.setPen(QPen(QColor(0x7A, 0x5C, 0x00), 1));
      p.setBrush(QColor(0xE8, 0xB4, 0x1A));
      p.drawRect(QRectF(0.5, 10.5, 7, 5));
      break;
    }
    default: {
      PaintPage(p, Qt::white);
      p.setPen(QPen(QColor(0xA8, 0xB2, 0xC0), 1));
      for (double y : {7.5, 9.5, 11.5}) p.drawLine(QPointF(5.5, y), QPointF(11.5, y));
      break;
    }
  }
}

// Header text pieces in bold, underlined when they name the sort order.
int32_t DrawHeaderPiece(QPainter &p, const QString &text, int32_t x, int32_t top, bool underline) {
  QFont font = p.font();
  font.setBold(true);
  font.setUnderline(underline);
  p.setFont(font);
  const QFontMetrics fm(font);
  const int32_t width = fm.horizontalAdvance(text);
  p.drawText(QRect(x, top, width + 2, fm.height()), Qt::AlignLeft | Qt::AlignTop, text);
  return width;
}

}  // namespace

// ---- Cell painters ----------------------------------------------------------------

QColor ColorFromNumber(uint32_t bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

void DrawCellText(QPainter &painter, const std::string &text, QRect rect, bool rightAligned) {
  if (text.empty()) return;
  rect.setTop(rect.top() + 3);
  if (rightAligned) {
    rect.setRight(rect.right() - 2);
  } else {
    rect.setLeft(rect.left() + 2);
  }
  if (rect.width() <= 0 || rect.height() <= 0) return;
  const QFontMetrics fm(painter.font());
  const QString shown = fm.elidedText(DisplayText(text), Qt::ElideRight, rect.width());
  painter.drawText(
      rect, (rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop | Qt::TextSingleLine,
      shown);
}

QPixmap FileIconPixmap(int32_t image, qreal devicePixelRatio) {
  // Kept for the whole run: pixmaps must not outlive the application at exit.
  static auto *cache = new QHash<qint64, QPixmap>;
  if (image < 0 || image > fiIconReadOnly) image = fiIconFile;
  if (devicePixelRatio <= 0) devicePixelRatio = 1.0;
  const qint64 key = image * 100000 + qRound(devicePixelRatio * 100);
  auto it = cache->find(key);
  if (it != cache->end()) return *it;
  const int32_t side = qRound(kIconSize * devicePixelRatio);
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  {
    QPainter p(&pixmap);
    p.scale(devicePixelRatio, devicePixelRatio);
    PaintIcon(p, image);
  }
  pixmap.setDevicePixelRatio(devicePixelRatio);
  cache->insert(key, pixmap);
  return pixmap;
}

void DrawFileIcon(QPainter &painter, const QRect &rect, const std::string &name,
                  uint32_t attributes, bool remote) {
  const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  const int32_t image = FileIconIndex(name, attributes, remote);
  const int32_t y = rect.top() + (rect.height() - kIconSize) / 2;
  painter.drawPixmap(rect.left() + 2, y, FileIconPixmap(image, dpr));
  if ((attributes & faReadOnly) != 0) {
    painter.drawPixmap(rect.left() + 1, y - 1, FileIconPixmap(fiIconReadOnly, dpr));
  }
}

// The times of all rows start this text's width from the cell's left.
constexpr char kDateTimeGap[] = "9999 Mar 99  ";

void DrawFileDate(QPainter &painter, const QRect &rect, int64_t fileTime) {
  std::string date;
  std::string time;
  if (!FileDateText(fileTime, date, time)) {
    DrawCellText(painter, "??????", rect, false);
    return;
  }
  const QFontMetrics fm(painter.font());
  const QRect dateRect(rect.left() + 2, rect.top() + 3, rect.width() - 2, rect.height() - 3);
  painter.drawText(dateRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   QString::fromLatin1(date.c_str()));
  QRect timeRect = rect;
  timeRect.setLeft(rect.left() + fm.horizontalAdvance(QString::fromLatin1(kDateTimeGap)));
  DrawCellText(painter, time, timeRect, false);
}

int32_t FileDateWidth(const QFontMetrics &metrics) {
  int32_t digit = 0;
  for (char c = '0'; c <= '9'; ++c) digit = std::max(digit, metrics.horizontalAdvance(QChar(c)));
  const int32_t time = 6 * digit + 2 * metrics.horizontalAdvance(QChar(':'));
  // DrawCellText's 2-pixel inset before the time, and as much again after it.
  return metrics.horizontalAdvance(QString::fromLatin1(kDateTimeGap)) + 2 + time + 2;
}

// ---- TDrawGridMouseWheel --------------------------------------------------------------

TDrawGridMouseWheel::TDrawGridMouseWheel(QWidget *parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  verticalScrollBar()->setTracking(true);
  horizontalScrollBar()->setTracking(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  UpdateRowHeight();
  UpdateScrollBars();
}

void TDrawGridMouseWheel::SetColumnCount(int32_t count) {
  colWidths_.resize(std::max(count, 1), 64);
  UpdateScrollBars();
  viewport()->update();
}

int32_t TDrawGridMouseWheel::ColumnWidth(int32_t col) const {
  return col >= 0 && col < ColumnCount() ? colWidths_[col] : 0;
}

void TDrawGridMouseWheel::SetColumnWidth(int32_t col, int32_t width) {
  if (col < 0 || col >= ColumnCount()) return;
  colWidths_[col] = std::max(width, 0);
  UpdateScrollBars();
  viewport()->update();
}

void TDrawGridMouseWheel::SetRowCount(int32_t count) {
  rowCount_ = std::max(count, fixedRows_ + 1);
  row_ = std::clamp(row_, fixedRows_, rowCount_ - 1);
  UpdateScrollBars();
  viewport()->update();
}

void TDrawGridMouseWheel::SetFixedRows(int32_t count) {
  fixedRows_ = std::max(count, 0);
  rowCount_ = std::max(rowCount_, fixedRows_ + 1);
  row_ = std::clamp(row_, fixedRows_, rowCount_ - 1);
  topRow_ = std::max(topRow_, fixedRows_);
  UpdateScrollBars();
  viewport()->update();
}

void TDrawGridMouseWheel::SetDefaultRowHeight(int32_t height) {
  rowHeight_ = std::max(height, 1);
  UpdateScrollBars();
  viewport()->update();
}

void TDrawGridMouseWheel::SetVerticalLines(bool on) {
  verticalLines_ = on;
  viewport()->update();
}

void TDrawGridMouseWheel::SetStretchLastColumn(bool on) {
  stretchLast_ = on;
  viewport()->update();
}

int32_t TDrawGridMouseWheel::FixedHeight() const { return fixedRows_ * RowPitch(); }

int32_t TDrawGridMouseWheel::VisibleRowCount() const {
  return std::max(0, (viewport()->height() - FixedHeight()) / RowPitch());
}

void TDrawGridMouseWheel::SetTopRow(int32_t row) {
  const int32_t maxTop = verticalScrollBar()->maximum();
  row = std::clamp(row - fixedRows_, 0, std::max(maxTop, 0)) + fixedRows_;
  if (row == topRow_ && verticalScrollBar()->value() == row - fixedRows_) return;
  topRow_ = row;
  verticalScrollBar()->setValue(row - fixedRows_);
  viewport()->update();
}

void TDrawGridMouseWheel::SetRow(int32_t row) {
  row = std::clamp(row, fixedRows_, rowCount_ - 1);
  if (row == row_) {
    MakeRowVisible(row);
    return;
  }
  row_ = row;
  MakeRowVisible(row);
  viewport()->update();
  SelectCell(row);
}

void TDrawGridMouseWheel::MakeRowVisible(int32_t row) {
  if (row < fixedRows_) return;
  const int32_t visible = std::max(VisibleRowCount(), 1);
  if (row < topRow_) {
    SetTopRow(row);
  } else if (row >= topRow_ + visible) {
    SetTopRow(row - visible + 1);
  }
}

int32_t TDrawGridMouseWheel::ColumnLeft(int32_t col) const {
  int32_t x = 0;
  for (int32_t c = 0; c < col && c < ColumnCount(); ++c)
    x += colWidths_[c] + (verticalLines_ ? 1 : 0);
  return x;
}

int32_t TDrawGridMouseWheel::TotalWidth() const { return ColumnLeft(ColumnCount()); }

int32_t TDrawGridMouseWheel::PaintedWidth(int32_t col) const {
  const int32_t width = ColumnWidth(col);
  if (!stretchLast_ || col != ColumnCount() - 1) return width;
  const int32_t room = viewport()->width() + horizontalScrollBar()->value() - ColumnLeft(col);
  return std::max(width, room);
}

int32_t TDrawGridMouseWheel::RowAtY(int32_t y) const {
  if (y < FixedHeight()) return topRow_ - 1;
  return topRow_ + (y - FixedHeight()) / RowPitch();
}

bool TDrawGridMouseWheel::MouseToCell(const QPoint &pos, int32_t &col, int32_t &row) const {
  col = -1;
  row = -1;
  if (pos.x() < 0 || pos.y() < 0 || pos.x() >= viewport()->width() ||
      pos.y() >= viewport()->height()) {
    return false;
  }
  const int32_t r = pos.y() < FixedHeight() ? pos.y() / RowPitch() : RowAtY(pos.y());
  if (r >= rowCount_) return false;
  const int32_t x = pos.x() + horizontalScrollBar()->value();
  for (int32_t c = 0; c < ColumnCount(); ++c) {
    const int32_t left = ColumnLeft(c);
    if (x >= left && x < left + PaintedWidth(c)) {
      col = c;
      break;
    }
  }
  row = r;
  return col >= 0;
}

QRect TDrawGridMouseWheel::CellRect(int32_t col, int32_t row) const {
  if (col < 0 || col >= ColumnCount() || row < 0 || row >= rowCount_) return QRect();
  int32_t y;
  if (row < fixedRows_) {
    y = row * RowPitch();
  } else {
    if (row < topRow_) return QRect();
    y = FixedHeight() + (row - topRow_) * RowPitch();
    if (y >= viewport()->height()) return QRect();
  }
  const int32_t x = ColumnLeft(col) - horizontalScrollBar()->value();
  return QRect(x, y, PaintedWidth(col), rowHeight_);
}

void TDrawGridMouseWheel::InvalidateRow(int32_t row) {
  const QRect r = CellRect(0, row);
  if (r.isEmpty()) return;
  viewport()->update(QRect(0, r.top(), viewport()->width(), RowPitch()));
}

void TDrawGridMouseWheel::InvalidateGrid() { viewport()->update(); }

int32_t TDrawGridMouseWheel::ColumnBorderAt(const QPoint &pos) const {
  if (pos.y() < 0 || pos.y() >= FixedHeight()) return -1;
  const int32_t dx = horizontalScrollBar()->value();
  int32_t found = -1;
  for (int32_t c = 0; c < ColumnCount(); ++c) {
    if (PaintedWidth(c) != colWidths_[c]) continue;  // a stretched last column has no border
    const int32_t edge = ColumnLeft(c) + colWidths_[c] - dx;
    if (std::abs(pos.x() - edge) <= kBorderGrip) found = c;
  }
  return found;
}

void TDrawGridMouseWheel::UpdateRowHeight() {
  // Rows follow the font: the height of "Ag" plus 4.
  const int32_t height = QFontMetrics(font()).height() + 4;
  if (height != rowHeight_) {
    rowHeight_ = height;
    UpdateScrollBars();
  }
}

void TDrawGridMouseWheel::UpdateScrollBars() {
  const int32_t scrolling = rowCount_ - fixedRows_;
  const int32_t visible = VisibleRowCount();
  const int32_t maxTop = std::max(0, scrolling - visible);
  QScrollBar *v = verticalScrollBar();
  v->setRange(0, maxTop);
  v->setPageStep(std::max(visible, 1));
  v->setSingleStep(1);
  topRow_ = std::clamp(topRow_, fixedRows_, fixedRows_ + maxTop);
  v->setValue(topRow_ - fixedRows_);
  QScrollBar *h = horizontalScrollBar();
  h->setRange(0, std::max(0, TotalWidth() - viewport()->width()));
  h->setPageStep(std::max(viewport()->width(), 1));
  h->setSingleStep(20);
}

void TDrawGridMouseWheel::PrepareCell(QPainter &painter, int32_t col, int32_t row,
                                      const QRect &rect, GridDrawState state) {
  const QPalette &pal = palette();
  if (state.fixed) {
    QStyleOptionHeader option;
    option.initFrom(this);
    option.rect = rect;
    option.section = col;
    option.orientation = Qt::Horizontal;
    option.position = col == 0 ? QStyleOptionHeader::Beginning
                               : (col == ColumnCount() - 1 ? QStyleOptionHeader::End
                                                           : QStyleOptionHeader::Middle);
    option.state |= QStyle::State_Raised | QStyle::State_Horizontal;
    style()->drawControl(QStyle::CE_HeaderSection, &option, &painter, this);
    painter.setPen(pal.color(QPalette::ButtonText));
  } else if (state.selected && state.focused) {
    painter.fillRect(rect, pal.color(QPalette::Highlight));
    painter.setPen(pal.color(QPalette::HighlightedText));
  } else {
    painter.fillRect(rect, pal.color(QPalette::Base));
    painter.setPen(pal.color(QPalette::Text));
  }
  (void)row;
}

void TDrawGridMouseWheel::DrawCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                                   GridDrawState state) {
  PrepareCell(painter, col, row, rect, state);
  if (OnDrawCell) OnDrawCell(painter, col, row, rect, state);
}

void TDrawGridMouseWheel::PaintOver(QPainter &) {}

void TDrawGridMouseWheel::SelectCell(int32_t row) {
  emit currentRowChanged(row);
  if (OnSelectCell) OnSelectCell(row);
}

void TDrawGridMouseWheel::paintEvent(QPaintEvent *) {
  UpdateRowHeight();
  QPainter painter(viewport());
  const QPalette &pal = palette();
  const int32_t width = viewport()->width();
  const int32_t height = viewport()->height();
  const int32_t dx = horizontalScrollBar()->value();
  const bool focused = hasFocus();
  const QColor lineColour = GridLineColour(pal);
  painter.fillRect(viewport()->rect(), pal.color(QPalette::Base));
  paintedCells_ = 0;

  auto paintRow = [&](int32_t row, int32_t y) {
    const bool fixed = row < fixedRows_;
    int32_t x = -dx;
    for (int32_t col = 0; col < ColumnCount(); ++col) {
      const int32_t w = PaintedWidth(col);
      if (w > 0 && x + w > 0 && x < width) {
        const QRect cell(x, y, w, rowHeight_);
        GridDrawState state;
        state.fixed = fixed;
        state.selected = !fixed && row == row_;
        state.focused = focused;
        painter.save();
        painter.setClipRect(cell);
        DrawCell(painter, col, row, cell, state);
        painter.restore();
        ++paintedCells_;
        if (verticalLines_ && !fixed) {
          painter.setPen(lineColour);
          painter.drawLine(x + w, y, x + w, y + rowHeight_);
        }
      }
      x += w + (verticalLines_ ? 1 : 0);
    }
    if (fixed && x < width) {
      // The header goes on as an empty section past the last column.
      QStyleOptionHeader option;
      option.initFrom(this);
      option.rect = QRect(x, y, width - x, rowHeight_);
      option.orientation = Qt::Horizontal;
      option.position = QStyleOptionHeader::End;
      style()->drawControl(QStyle::CE_HeaderSection, &option, &painter, this);
    }
    painter.setPen(lineColour);
    painter.drawLine(0, y + rowHeight_, std::min(x, width), y + rowHeight_);
  };

  int32_t y = 0;
  for (int32_t row = 0; row < fixedRows_ && row < rowCount_; ++row, y += RowPitch()) {
    paintRow(row, y);
  }
  for (int32_t row = topRow_; row < rowCount_ && y < height; ++row, y += RowPitch()) {
    paintRow(row, y);
  }
  PaintOver(painter);
}

void TDrawGridMouseWheel::resizeEvent(QResizeEvent *event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void TDrawGridMouseWheel::changeEvent(QEvent *event) {
  QAbstractScrollArea::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    UpdateRowHeight();
    viewport()->update();
  }
}

void TDrawGridMouseWheel::scrollContentsBy(int, int) {
  topRow_ = fixedRows_ + verticalScrollBar()->value();
  viewport()->update();
}

void TDrawGridMouseWheel::wheelEvent(QWheelEvent *event) {
  event->accept();
  const int32_t dx = event->angleDelta().x();
  if (dx != 0 && event->angleDelta().y() == 0) {
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - dx / 4);
    return;
  }
  // One step per notch; high-resolution wheels add up to notches.
  wheelDelta_ += event->angleDelta().y();
  while (std::abs(wheelDelta_) >= 120) {
    const bool down = wheelDelta_ < 0;
    wheelDelta_ += down ? 120 : -120;
    const int32_t visible = VisibleRowCount();
    const int32_t step = std::max(1, visible / 6);
    if (down) {
      if (topRow_ + visible - 1 + step >= rowCount_) {
        SetTopRow(rowCount_ - visible);
      } else {
        SetTopRow(topRow_ + step);
      }
    } else {
      SetTopRow(std::max(fixedRows_, topRow_ - step));
    }
  }
}

void TDrawGridMouseWheel::mousePressEvent(QMouseEvent *event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton) {
    const int32_t border = ColumnBorderAt(pos);
    if (border >= 0) {
      resizeCol_ = border;
      resizeStartX_ = pos.x();
      resizeStartWidth_ = colWidths_[border];
      return;
    }
  }
  int32_t col;
  int32_t row;
  MouseToCell(pos, col, row);
  if (event->button() == Qt::LeftButton && row >= fixedRows_) {
    SetRow(row);
    selecting_ = true;
  }
  CellMouseDown(event, col, row);
}

void TDrawGridMouseWheel::mouseDoubleClickEvent(QMouseEvent *event) {
  // The second press of a double click is a press like any other.
  mousePressEvent(event);
}

void TDrawGridMouseWheel::mouseMoveEvent(QMouseEvent *event) {
  const QPoint pos = event->position().toPoint();
  if (resizeCol_ >= 0) {
    const int32_t width = std::max(kMinColumnWidth, resizeStartWidth_ + pos.x() - resizeStartX_);
    if (width != colWidths_[resizeCol_]) {
      SetColumnWidth(resizeCol_, width);
      emit columnResized(resizeCol_, width);
    }
    return;
  }
  if (event->buttons() == Qt::NoButton) {
    viewport()->setCursor(ColumnBorderAt(pos) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
  }
  int32_t col;
  int32_t row;
  MouseToCell(pos, col, row);
  if (selecting_ && (event->buttons() & Qt::LeftButton)) {
    // The current row follows the pressed mouse, scrolling past the edges.
    row = std::clamp(RowAtY(pos.y()), fixedRows_, rowCount_ - 1);
    SetRow(row);
  }
  CellMouseMove(event, col, row);
}

void TDrawGridMouseWheel::mouseReleaseEvent(QMouseEvent *event) {
  if (resizeCol_ >= 0 && event->button() == Qt::LeftButton) {
    resizeCol_ = -1;
    return;
  }
  if (event->button() == Qt::LeftButton) selecting_ = false;
  int32_t col;
  int32_t row;
  MouseToCell(event->position().toPoint(), col, row);
  CellMouseUp(event, col, row);
}

void TDrawGridMouseWheel::CellMouseDown(QMouseEvent *event, int32_t col, int32_t row) {
  if (OnMouseDown) OnMouseDown(event, col, row);
}

void TDrawGridMouseWheel::CellMouseMove(QMouseEvent *event, int32_t col, int32_t row) {
  if (OnMouseMove) OnMouseMove(event, col, row);
}

void TDrawGridMouseWheel::CellMouseUp(QMouseEvent *event, int32_t col, int32_t row) {
  if (OnMouseUp) OnMouseUp(event, col, row);
}

bool TDrawGridMouseWheel::KeyDown(QKeyEvent *event) {
  if (!OnKeyDown) return false;
  event->ignore();
  OnKeyDown(event);
  return event->isAccepted();
}

void TDrawGridMouseWheel::keyPressEvent(QKeyEvent *event) {
  if (KeyDown(event)) {
    event->accept();
    return;
  }
  const int32_t page = std::max(VisibleRowCount(), 1);
  event->accept();
  switch (event->key()) {
    case Qt::Key_Up: SetRow(row_ - 1); break;
    case Qt::Key_Down: SetRow(row_ + 1); break;
    case Qt::Key_PageUp:
      SetTopRow(topRow_ - page);
      SetRow(row_ - page);
      break;
    case Qt::Key_PageDown:
      SetTopRow(topRow_ + page);
      SetRow(row_ + page);
      break;
    case Qt::Key_Home: SetRow(fixedRows_); break;
    case Qt::Key_End: SetRow(rowCount_ - 1); break;
    case Qt::Key_Left:
      horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
      break;
    case Qt::Key_Right:
      horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
      break;
    default: event->ignore(); break;
  }
}

void TDrawGridMouseWheel::focusInEvent(QFocusEvent *event) {
  QAbstractScrollArea::focusInEvent(event);
  viewport()->update();
}

void TDrawGridMouseWheel::focusOutEvent(QFocusEvent *event) {
  QAbstractScrollArea::focusOutEvent(event);
  viewport()->update();
}

TGridColumns GridColumns(TDrawGridMouseWheel *grid) {
  TGridColumns columns;
  columns.count = [grid] { return grid->ColumnCount(); };
  columns.width = [grid](int col) { return grid->ColumnWidth(col); };
  columns.setWidth = [grid](int col, int width) { grid->SetColumnWidth(col, width); };
  return columns;
}

void INIGridLoad(TDrawGridMouseWheel *grid, const std::string &name) {
  INIGridLoad(GridColumns(grid), name);
}

void INIGridSave(TDrawGridMouseWheel *grid, const std::string &name) {
  INIGridSave(GridColumns(grid), name);
}

// ---- TDrawGridZebra -------------------------------------------------------------------

TDrawGridZebra::TDrawGridZebra(QWidget *parent) : TDrawGridMouseWheel(parent) {}

void TDrawGridZebra::SetSort(int32_t col) {
  sort_ = col;
  viewport()->update();
}

void TDrawGridZebra::SetColorZebra(const QColor &color) {
  colorZebra_ = color;
  viewport()->update();
}

void TDrawGridZebra::PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                                 GridDrawState state) {
  const QPalette &pal = palette();
  if (state.selected && state.focused) {
    painter.fillRect(rect, pal.color(QPalette::Highlight));
    painter.setPen(pal.color(QPalette::HighlightedText));
  } else if (state.fixed) {
    TDrawGridMouseWheel::PrepareCell(painter, col, row, rect, state);
    painter.setPen(pal.color(QPalette::WindowText));
  } else {
    painter.fillRect(rect, row % 2 == 1 ? pal.color(QPalette::Base) : colorZebra_);
    painter.setPen(pal.color(QPalette::Text));
  }
  if (state.fixed && col == sort_) {
    // A small triangle pointing up, lit from the top left.
    const QPen text = painter.pen();
    const int32_t x = RightOf(rect) - 6;
    const int32_t y = rect.top() + 4;
    painter.setPen(QPen(pal.color(QPalette::Light), 1));
    painter.drawLine(x - 4, y, x, y + 8);
    painter.drawLine(x - 1, y + 8, x - 8, y + 8);
    painter.setPen(QPen(pal.color(QPalette::Dark), 1));
    painter.drawLine(x - 8, y + 8, x - 4, y);
    painter.setPen(text);
  }
}

// ---- TFileGrid ----------------------------------------------------------------------------

TFileGrid::TFileGrid(TFileListState &list, QWidget *parent)
    : TDrawGridMouseWheel(parent), list_(list) {
  setObjectName(QStringLiteral("GFileInfo"));
  SetColumnCount(3);
  SetColumnWidth(0, 114);
  SetColumnWidth(1, 64);
  // Wide enough for the date and time in the grid's font; a stored width
  // (INIGridLoad) replaces it.
  dateWidth_ = FileDateWidth(fontMetrics());
  SetColumnWidth(2, dateWidth_);
  SetFixedRows(1);
  SetRowCount(2);
  // Row colours and icons are read from the options at each paint; the font
  // is their "Items" font from the time the options are loaded.
  TOptionsNotifier &notifier = OptionsNotifier();
  connect(&notifier, &TOptionsNotifier::coloursChanged, this, [this] { InvalidateGrid(); });
  connect(&notifier, &TOptionsNotifier::multimediaChanged, this, [this] { InvalidateGrid(); });
  connect(&notifier, &TOptionsNotifier::fontsChanged, this,
          [this] { setFont(OptionQFont(fuItems)); });
}

void TFileGrid::changeEvent(QEvent *event) {
  TDrawGridMouseWheel::changeEvent(event);
  if (event->type() != QEvent::FontChange) return;
  // A date column at its width for the old font follows the new one.
  const bool following = ColumnWidth(2) == dateWidth_;
  dateWidth_ = FileDateWidth(fontMetrics());
  if (following) SetColumnWidth(2, dateWidth_);
}

void TFileGrid::SetRemote(bool remote) {
  remote_ = remote;
  InvalidateGrid();
}

void TFileGrid::ShowListing() {
  SetRowCount(FileGridRowCount(list_.FileCount()));
  InvalidateGrid();
}

bool TFileGrid::ListFolder(TabState &tab) {
  const bool ok = list_.ListTabFolder(tab);
  remote_ = FolderIsRemote(tab.Folder);
  ShowListing();
  list_.TakePendingSelectName(tab);
  SelectByName(tab.CurrentFile);
  return ok;
}

bool TFileGrid::Refresh(TabState &tab) {
  if (const FileEntry *entry = CurrentEntry()) tab.CurrentFile = entry->Name;
  return ListFolder(tab);
}

void TFileGrid::SelectByName(const std::string &name) {
  SetRow(list_.SelectByName(name, Row()));
  InvalidateGrid();
}

const FileEntry *TFileGrid::CurrentEntry() const {
  return list_.RowHasEntry(Row()) ? &list_.FileList[Row() - 1] : nullptr;
}

void TFileGrid::Changed() {
  InvalidateGrid();
  emit marksChanged();
}

void TFileGrid::SelectAll(bool marked) {
  list_.MarkAll(marked);
  Changed();
}

void TFileGrid::SelectToHere(const QPoint &globalPos) {
  int32_t col;
  int32_t row;
  MouseToCell(viewport()->mapFromGlobal(globalPos), col, row);
  list_.SelectToHere(Row(), row);
  Changed();
}

void TFileGrid::RepeatSearch() {
  bool beep = false;
  const int32_t row = list_.RepeatSearch(Row(), beep);
  if (beep) QApplication::beep();
  if (row > 0) SetRow(row);
}

void TFileGrid::HeaderClick(int32_t col) {
  if (col < 0 || col > 2) return;
  SetRow(list_.SortByHeader(col, Row()));
  InvalidateGrid();
  emit sortChanged();
  emit marksChanged();
}

void TFileGrid::PrepareCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                            GridDrawState state) {
  TDrawGridMouseWheel::PrepareCell(painter, col, row, rect, state);
}

void TFileGrid::DrawCell(QPainter &painter, int32_t col, int32_t row, const QRect &rect,
                         GridDrawState state) {
  PrepareCell(painter, col, row, rect, state);
  if (row == 0) {
    DrawHeader(painter, col, rect);
  } else if (list_.RowHasEntry(row)) {
    DrawEntry(painter, col, row, rect);
  }
}

void TFileGrid::DrawHeader(QPainter &painter, int32_t col, const QRect &rect) {
  const QFont plain = painter.font();
  const int32_t top = rect.top() + 2;
  switch (col) {
    case 0: {
      int32_t x = rect.left() + 2;
      x += DrawHeaderPiece(painter, QStringLiteral("Name"), x, top, list_.SortMode == smName);
      x += DrawHeaderPiece(painter, QStringLiteral("."), x, top, false);
      DrawHeaderPiece(painter, QStringLiteral("Ext"), x, top, list_.SortMode == smExtension);
      break;
    }
    case 1: {
      QFont bold = plain;
      bold.setBold(true);
      const int32_t width = QFontMetrics(bold).horizontalAdvance(QStringLiteral("Size"));
      // Ends 4 pixels left of right - 2, as right-aligned canvas text does.
      DrawHeaderPiece(painter, QStringLiteral("Size"), RightOf(rect) - 2 - width - 4, top,
                      list_.SortMode == smSize);
      break;
    }
    case 2:
      DrawHeaderPiece(painter, QStringLiteral("Date"), rect.left() + 2, top,
                      list_.SortMode == smDate);
      break;
    default: break;
  }
  painter.setFont(plain);
}

void TFileGrid::DrawEntry(QPainter &painter, int32_t col, int32_t row, const QRect &rect) {
  const FileEntry &entry = list_.FileList[static_cast<size_t>(row - 1)];
  const QPalette &pal = palette();
  if (entry.Selected) {
    painter.fillRect(rect, pal.color(QPalette::Highlight));
    painter.setPen(pal.color(QPalette::HighlightedText));
  } else {
    painter.fillRect(rect, OptionQColor(row % 2 == 1 ? csOdd : csEven));
    painter.setPen(pal.color(QPalette::Text));
  }
  switch (col) {
    case 0:
      DrawFileIcon(painter, rect, entry.Name, entry.Attributes, remote_);
      DrawCellText(painter, entry.Name, rect.adjusted(18, 0, 0, 0), false);
      break;
    case 1:
      DrawCellText(painter, NumToStrCommas(static_cast<int64_t>(entry.Size)), rect, true);
      break;
    case 2: DrawFileDate(painter, rect, entry.LastWrite); break;
    default: break;
  }
}

void TFileGrid::PaintOver(QPainter &painter) {
  // The current row (what view and open act on) is framed; the marks are
  // the filled rows.
  const QRect first = CellRect(0, Row());
  if (first.isEmpty()) return;
  const QRect last = CellRect(ColumnCount() - 1, Row());
  const QRect frame(first.left(), first.top(), last.left() + last.width() - first.left() - 1,
                    first.height() - 1);
  QColor colour = palette().color(QPalette::Highlight).darker(hasFocus() ? 140 : 100);
  if (!hasFocus()) colour.setAlpha(110);
  painter.setPen(QPen(colour, 1, hasFocus() ? Qt::SolidLine : Qt::DotLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(frame);
}

void TFileGrid::SelectCell(int32_t row) {
  list_.CurrentRowChanged();
  TDrawGridMouseWheel::SelectCell(row);
}

void TFileGrid::CellMouseDown(QMouseEvent *event, int32_t col, int32_t row) {
  TDrawGridMouseWheel::CellMouseDown(event, col, row);
  if (event->button() != Qt::LeftButton) return;
  if (row >= 0 && row < FixedRows()) {
    HeaderClick(col);
    return;
  }
  const Qt::KeyboardModifiers mods = event->modifiers();
  const GridAction action =
      list_.GridMouseDown(row, (mods & Qt::ShiftModifier) != 0, (mods & Qt::ControlModifier) != 0);
  if (list_.DragPending) StopSelecting();  // a press on a marked row may start a drag
  if (action == GridAction::Repaint) Changed();
}

void TFileGrid::CellMouseMove(QMouseEvent *event, int32_t col, int32_t row) {
  TDrawGridMouseWheel::CellMouseMove(event, col, row);
  const GridAction action = list_.GridMouseMove(row);
  if (action == GridAction::StartDrag) {
    StopSelecting();
    emit dragStartRequested();
  } else if (action == GridAction::Repaint) {
    Changed();
  }
}

void TFileGrid::CellMouseUp(QMouseEvent *event, int32_t col, int32_t row) {
  TDrawGridMouseWheel::CellMouseUp(event, col, row);
  MouseButton button;
  switch (event->button()) {
    case Qt::LeftButton: button = MouseButton::Left; break;
    case Qt::MiddleButton: button = MouseButton::Middle; break;
    case Qt::RightButton: button = MouseButton::Right; break;
    default: return;
  }
  const bool ctrl = (event->modifiers() & Qt::ControlModifier) != 0;
  const GridAction action = list_.GridMouseUp(button, row, ctrl);
  InvalidateGrid();
  switch (action) {
    case GridAction::ViewFile: emit viewFileRequested(); break;
    case GridAction::OpenFile: emit openFileRequested(); break;
    case GridAction::OpenInNewTab: emit openInNewTabRequested(row); break;
    case GridAction::ViewRow:
      SetRow(row);
      emit viewFileRequested();
      break;
    default: break;
  }
  if (button == MouseButton::Right) {
    emit contextMenuRequested(event->globalPosition().toPoint());
  }
  emit marksChanged();
}

void TFileGrid::resizeEvent(QResizeEvent *event) {
  TDrawGridMouseWheel::resizeEvent(event);
  FitNameColumn();
}

void TFileGrid::FitNameColumn() {
  if (ColumnCount() < 1) return;
  const int32_t current = ColumnWidth(0);
  if (current != fitted_) userWidth_ = current;  // set since the last fit
  // The other columns and a grid line after each column.
  int32_t others = ColumnCount();
  for (int32_t col = 1; col < ColumnCount(); ++col) others += ColumnWidth(col);
  fitted_ = std::max(userWidth_, viewport()->width() - others);
  if (fitted_ != current) SetColumnWidth(0, fitted_);
}

bool TFileGrid::KeyDown(QKeyEvent *event) {
  list_.TypeAheadMoved = false;
  if (TDrawGridMouseWheel::KeyDown(event)) return true;
  const Qt::KeyboardModifiers mods = event->modifiers();
  const bool ctrl = (mods & Qt::ControlModifier) != 0;
  const bool alt = (mods & (Qt::AltModifier | Qt::MetaModifier)) != 0;
  const int key = event->key();
  if (key == Qt::Key_Delete && !ctrl && !alt) {
    emit deleteRequested();
    return true;
  }
  if (ctrl && !alt && key == Qt::Key_A) {
    SelectAll(true);
    return true;
  }
  if (ctrl && !alt && key == Qt::Key_F) {
    emit findRequested();
    return true;
  }
  if (key == Qt::Key_F3 && !ctrl && !alt) {
    RepeatSearch();
    emit marksChanged();
    return true;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !alt) {
    if (ctrl) {
      emit openFileRequested();
    } else {
      emit viewFileRequested();
    }
    return true;
  }
  if (key == Qt::Key_Space && !ctrl && !alt) {
    list_.ToggleMark(Row());
    Changed();
    return true;
  }
  const QString text = event->text();
  if (!ctrl && !alt && text.size() == 1 && text[0].unicode() >= 33 && text[0].unicode() <= 127) {
    if (list_.FileCount() <= 0) return false;
    bool beep = false;
    const int32_t row = list_.TypeAheadChar(static_cast<char>(text[0].unicode()), Row(), beep);
    if (beep) QApplication::beep();
    if (row > 0) SetRow(row);
    emit marksChanged();
    return true;
  }
  return false;
}

void TFileGrid::contextMenuEvent(QContextMenuEvent *event) {
  event->accept();
  // The mouse's menu opens on the right button's release; this is the
  // keyboard's menu key.
  if (event->reason() == QContextMenuEvent::Mouse) return;
  const QRect cell = CellRect(0, Row());
  const QPoint local = cell.isEmpty() ? QPoint(0, 0) : cell.bottomLeft() + QPoint(20, 0);
  emit contextMenuRequested(viewport()->mapToGlobal(local));
}

}  // namespace trovix
