// SPDX-License-Identifier: GPL-3.0-or-later
// The "Event Log" window over the log buffer of event_log.cpp.
#include "dialogs/event_log_form.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "dialogs/event_log.h"
#include "foundation/platform_ui.h"
#include "foundation/settings_qt.h"

namespace trovix {

TLogForm *LogForm = nullptr;

// ---- Clear button ----

TClearPanel::TClearPanel(QWidget *parent) : QFrame(parent) {
  setObjectName("pClear");
  setFixedSize(17, 17);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(1);
  setAutoFillBackground(true);
  setCursor(Qt::PointingHandCursor);
  setToolTip("Clear the log");
}

void TClearPanel::mousePressEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton) return;
  setFrameShadow(QFrame::Sunken);
}

void TClearPanel::mouseReleaseEvent(QMouseEvent *event) {
  if (event->button() != Qt::LeftButton) return;
  setFrameShadow(QFrame::Raised);
  emit released();
}

// The 15 x 15 image: a sheet with a few lines of text, struck out in red.
void TClearPanel::paintEvent(QPaintEvent *event) {
  QFrame::paintEvent(event);
  QPainter p(this);
  const int shift = frameShadow() == QFrame::Sunken ? 1 : 0;
  p.translate(1 + shift, 1 + shift);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QColor(0x70, 0x70, 0x70));
  p.setBrush(Qt::white);
  p.drawRect(2, 1, 10, 12);
  p.setPen(QColor(0x50, 0x70, 0xA8));
  for (int y = 4; y <= 10; y += 2) p.drawLine(4, y, y == 10 ? 8 : 10, y);
  p.setRenderHint(QPainter::Antialiasing, true);
  QPen cross(QColor(0xD0, 0x20, 0x20), 2.0, Qt::SolidLine, Qt::RoundCap);
  p.setPen(cross);
  p.drawLine(QPointF(7.5, 7.5), QPointF(13, 13));
  p.drawLine(QPointF(13, 7.5), QPointF(7.5, 13));
}

// ---- Window ----

TLogForm::TLogForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("LogForm");
  setWindowTitle("Event Log");
  resize(560, 380);

  Memo = new QPlainTextEdit(this);
  Memo->setObjectName("Memo");
  Memo->setReadOnly(true);
  Memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setTabStopDistance(Memo->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 4);
  Memo->setFrameShape(QFrame::NoFrame);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo);

  pClear = new TClearPanel(this);
  pClear->raise();
  Memo->viewport()->installEventFilter(this);
  connect(pClear, &TClearPanel::released, this, [this] { pClearReleased(); });

  INIWinLoad(this);

  // Workers may add lines at any time: the log only posts a wake-up to this
  // window's thread, and the lines are taken here.
  LogSetNotify([this] {
    QMetaObject::invokeMethod(
        this, [this] { LogFlush(); }, Qt::QueuedConnection);
  });
  LogFlush();
}

TLogForm::~TLogForm() {
  LogSetNotify({});
  INIWinSave(this);
  if (LogForm == this) LogForm = nullptr;
}

void TLogForm::LogFlush() {
  const std::vector<std::string> lines = LogTakePending();
  if (lines.empty()) return;
  for (const std::string &line : lines) Memo->appendPlainText(DisplayText(line));
  QScrollBar *bar = Memo->verticalScrollBar();
  bar->setValue(bar->maximum());
  Memo->horizontalScrollBar()->setValue(0);
}

void TLogForm::LogClearAll() {
  LogClear();
  Memo->clear();
}

void TLogForm::pClearReleased() { LogClearAll(); }

void TLogForm::closeEvent(QCloseEvent *event) {
  LogClearAll();
  QWidget::closeEvent(event);
}

void TLogForm::showEvent(QShowEvent *event) {
  QWidget::showEvent(event);
  LogFlush();
  PlaceClear();
}

bool TLogForm::eventFilter(QObject *watched, QEvent *event) {
  if (watched == Memo->viewport() &&
      (event->type() == QEvent::Resize || event->type() == QEvent::Move))
    PlaceClear();
  return QWidget::eventFilter(watched, event);
}

// Top-right corner of the text area, left of the vertical scroll bar so the
// bar stays usable.
void TLogForm::PlaceClear() {
  const QRect area = Memo->viewport()->geometry().translated(Memo->pos());
  pClear->move(area.right() - pClear->width() - 1, area.top() + 2);
  pClear->raise();
}

}  // namespace trovix
