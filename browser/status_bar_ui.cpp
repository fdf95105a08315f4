// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/status_bar_ui.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include "browser/operation_state.h"
#include "dialogs/markup.h"
#include "dialogs/markup_ui.h"

namespace trovix {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kMaroon(128, 0, 0);
const QColor kGaugeUsed(128, 128, 255);

// The widest panel 0 text usually seen, to size the panel for the font.
const char *const kWidestPanel0 =
    "|4|b999 / 9,999 |bitems: |b9,999 KB / 9,999 MB |b       "
    "|1Free Space: |b9,999 GB / 9,999 GB  (99%)";

}  // namespace

TStatusPanels::TStatusPanels(QWidget *parent) : QWidget(parent) {
  setObjectName("StatusBar");
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  Measure();
}

void TStatusPanels::Measure() {
  int32_t w = 0, h = 0;
  NiceLabelMeasure(font(), w, h, kWidestPanel0, 0);
  setFixedHeight(std::max(20, QFontMetrics(font()).height() + 8));
  // Text from 2 pixels in, then room for the gauge at the right end.
  panel0Width_ = std::max(kPanel0Width, 2 + w + height() / 2 + 8);
  updateGeometry();
}

void TStatusPanels::changeEvent(QEvent *event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) Measure();
}

QSize TStatusPanels::sizeHint() const { return QSize(panel0Width_ + 200, height()); }

QRect TStatusPanels::PanelRect(int panel) const {
  if (panel == 0) return QRect(0, 0, panel0Width_, height());
  return QRect(panel0Width_, 0, std::max(0, width() - panel0Width_), height());
}

QRect TStatusPanels::CancelRect() const {
  QRect r = PanelRect(1);
  return QRect(r.left(), r.top(), r.height(), r.height());
}

QRect TStatusPanels::GaugeRect() const {
  // Half the panel's height wide, one pixel in at the top, bottom and right.
  QRect r = PanelRect(0);
  int w = r.height() / 2;
  return QRect(QPoint(r.right() - 1 - w, r.top() + 1), QPoint(r.right() - 1, r.bottom() - 1));
}

void TStatusPanels::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QPalette &pal = palette();
  p.fillRect(rect(), pal.window());
  p.setPen(pal.mid().color());
  p.drawLine(0, 0, width(), 0);
  p.drawLine(panel0Width_ - 1, 3, panel0Width_ - 1, height() - 4);
  p.setPen(pal.light().color());
  p.drawLine(panel0Width_, 3, panel0Width_, height() - 4);

  // Panel 0: counts and sizes, free space and the gauge.
  const QRect r0 = PanelRect(0);
  StatusSummary summary = OnSummary ? OnSummary() : StatusSummary();
  panel0Text_ = StatusPanel0Text(summary);
  int32_t w = 0, h = 0;
  NiceLabelMeasure(font(), w, h, panel0Text_, 0);
  p.save();
  p.setClipRect(r0.adjusted(0, 0, -(GaugeRect().width() + 3), 0));
  p.setPen(pal.windowText().color());
  NiceLabelPaint(p, r0.left() + 2, r0.top() + (r0.height() - h) / 2 + 1, panel0Text_, 0);
  p.restore();
  int32_t percent = summary.HaveSpace ? FreeSpacePercent(summary.FreeBytes, summary.SizeBytes) : -1;
  if (percent >= 0) PaintGauge(p, percent);

  // Panel 1: the cancel square while operations run, then the status.
  const QRect r1 = PanelRect(1);
  if (CancelShown()) PaintCancel(p);
  const std::string status = "|b|2" + MarkupEscape(Status);
  NiceLabelMeasure(font(), w, h, status, 0);
  // The progress of running operations at the panel's right: its figures,
  // then a bar; the status text keeps the room before them.
  QRect statusRect = r1;
  const OperationProgressFigures figures = OperationProgressNow();
  const std::string progress = OperationProgressText(figures);
  if (!progress.empty()) {
    const QRect bar = ProgressBarRect();
    const int32_t percent = OperationProgressPercent(figures);
    p.setPen(pal.mid().color());
    p.setBrush(pal.base());
    p.drawRect(bar.adjusted(0, 0, -1, -1));
    if (percent > 0) {
      const int filled = (bar.width() - 2) * std::min(percent, 100) / 100;
      p.fillRect(QRect(bar.left() + 1, bar.top() + 1, filled, bar.height() - 2), pal.highlight());
    }
    p.setBrush(Qt::NoBrush);
    const QFontMetrics metrics(font());
    const int textWidth = metrics.horizontalAdvance(QString::fromStdString(progress));
    const QRect textRect(std::max(r1.left() + r1.height() + 2, bar.left() - 8 - textWidth),
                         r1.top(), 0, r1.height());
    p.setPen(pal.windowText().color());
    p.drawText(QRect(textRect.left(), r1.top(), bar.left() - 8 - textRect.left(), r1.height()),
               Qt::AlignVCenter | Qt::AlignLeft,
               metrics.elidedText(QString::fromStdString(progress), Qt::ElideRight,
                                  bar.left() - 8 - textRect.left()));
    statusRect.setRight(textRect.left() - 8);
  }
  p.save();
  p.setClipRect(statusRect);
  p.setPen(pal.windowText().color());
  NiceLabelPaint(p, r1.left() + r1.height() + 2, r1.top() + (r1.height() - h) / 2 + 1, status, 0);
  p.restore();
}

QRect TStatusPanels::ProgressBarRect() const {
  const QRect r1 = PanelRect(1);
  const int width = std::min(120, std::max(0, r1.width() / 4));
  return QRect(r1.right() - 4 - width, r1.top() + 4, width, std::max(0, r1.height() - 8));
}

void TStatusPanels::PaintGauge(QPainter &p, int32_t freePercent) {
  const QRect g = GaugeRect();
  p.setPen(kNavy);
  p.setBrush(palette().base());
  p.drawRect(g.adjusted(0, 0, -1, -1));
  // Ticks at a quarter, half and three quarters of the height.
  for (int quarter = 1; quarter <= 3; ++quarter) {
    int y = g.top() + g.height() * quarter / 4;
    p.drawLine(g.left(), y, g.left() + 1, y);
  }
  // The used share: below the free share, from the top.
  const int usedTop = GaugeUsedTop(g.top(), g.height(), freePercent);
  if (usedTop < g.bottom()) {
    p.setBrush(kGaugeUsed);
    p.drawRect(QRect(QPoint(g.left(), usedTop), g.bottomRight()).adjusted(0, 0, -1, -1));
  }
  p.setBrush(Qt::NoBrush);
}

void TStatusPanels::PaintCancel(QPainter &p) {
  const QRect sq = CancelRect();
  const int h = sq.height();
  const int left = sq.left(), top = sq.top(), right = sq.right(), bottom = sq.bottom();
  // A raised button: light top and left edges, shadow right and bottom.
  p.setPen(palette().light().color());
  p.drawLine(left + 2, top + 2, right - 2, top + 2);
  p.drawLine(left + 2, top + 2, left + 2, bottom - 2);
  p.setPen(palette().dark().color());
  p.drawLine(right - 2, top + 2, right - 2, bottom - 2);
  p.drawLine(left + 2, bottom - 2, right - 2, bottom - 2);
  // The cross.
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(kMaroon, 2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPoint(left + 4 + 1, top + 4 + 1), QPoint(left + h - 4 - 1, bottom - 4));
  p.drawLine(QPoint(left + h - 4 - 1, top + 4 + 1), QPoint(left + 4 + 1, bottom - 4));
  p.restore();
}

void TStatusPanels::mousePressEvent(QMouseEvent *event) {
  if (StatusBarCancelPress(event->position().toPoint().x(), panel0Width_, height())) update();
  QWidget::mousePressEvent(event);
}

}  // namespace trovix
