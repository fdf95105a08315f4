#include "browser/status_bar_ui.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOption>

namespace trovix {

TStatusPanels::TStatusPanels(QWidget *parent) : QWidget(parent) {
  setObjectName("StatusBar");
  setFixedHeight(sizeHint().height());
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize TStatusPanels::sizeHint() const {
  return QSize(kPanel0Width + 200, std::max(20, fontMetrics().height() * 2 + 6));
}

QRect TStatusPanels::PanelRect(int panel) const {
  if (panel == 0) return QRect(0, 0, std::min(kPanel0Width, width()), height());
  return QRect(kPanel0Width + 2, 0, std::max(0, width() - kPanel0Width - 2), height());
}

QRect TStatusPanels::CancelRect() const {
  QRect r = PanelRect(1);
  int side = std::min(r.height() - 6, 14);
  return QRect(r.left() + 3, r.top() + (r.height() - side) / 2, side, side);
}

bool TStatusPanels::CancelHit(const QPoint &pos) const { return Running && CancelRect().contains(pos); }

void TStatusPanels::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  p.setPen(palette().mid().color());
  p.drawLine(0, 0, width(), 0);
  p.drawLine(kPanel0Width, 2, kPanel0Width, height() - 3);
  QRect r0 = PanelRect(0).adjusted(4, 1, -4, -1);
  if (OnDrawPanel0) {
    p.save();
    p.setClipRect(r0);
    OnDrawPanel0(p, r0);
    p.restore();
  }
  QRect r1 = PanelRect(1);
  int textLeft = r1.left() + 4;
  if (Running) {
    QRect box = CancelRect();
    p.setPen(QPen(palette().dark().color(), 1));
    p.setBrush(QColor(250, 250, 250));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(QPen(QColor(200, 30, 30), 2));
    p.drawLine(box.topLeft() + QPoint(3, 3), box.bottomRight() - QPoint(3, 3));
    p.drawLine(QPoint(box.right() - 3, box.top() + 3), QPoint(box.left() + 3, box.bottom() - 3));
    textLeft = box.right() + 6;
  }
  p.setPen(palette().windowText().color());
  QRect text(textLeft, r1.top(), r1.right() - textLeft, r1.height());
  p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
             fontMetrics().elidedText(QString::fromUtf8(Status.data(), static_cast<qsizetype>(Status.size())),
                                      Qt::ElideRight, text.width()));
}

void TStatusPanels::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && CancelHit(event->position().toPoint()) && OnCancel) OnCancel();
  QWidget::mousePressEvent(event);
}

}  // namespace trovix
