// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/icons_ui.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>

namespace trovix {

namespace {

// Small drawn images for the commands that Qt's own style has no icon for.
QIcon Painted(void (*draw)(QPainter &)) {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  return QIcon(pixmap);
}

void DrawPage(QPainter &p, QRectF r, const QColor &fill) {
  p.setPen(QPen(QColor(70, 80, 95), 1.2));
  p.setBrush(fill);
  p.drawRoundedRect(r, 1.5, 1.5);
}

void DrawRename(QPainter &p) {
  DrawPage(p, QRectF(2.5, 7.5, 19, 10), Qt::white);
  p.setPen(QPen(QColor(30, 90, 200), 2));
  p.drawLine(QPointF(15, 5), QPointF(15, 20));
  p.drawLine(QPointF(12, 5), QPointF(18, 5));
  p.drawLine(QPointF(12, 20), QPointF(18, 20));
  p.setPen(QPen(QColor(70, 80, 95), 1.5));
  p.drawLine(QPointF(5.5, 12.5), QPointF(11, 12.5));
}

void DrawDuplicate(QPainter &p) {
  DrawPage(p, QRectF(3.5, 3.5, 11, 14), QColor(225, 235, 250));
  DrawPage(p, QRectF(9.5, 7.5, 11, 14), Qt::white);
  p.setPen(QPen(QColor(30, 140, 60), 2));
  p.drawLine(QPointF(15, 11), QPointF(15, 18));
  p.drawLine(QPointF(11.5, 14.5), QPointF(18.5, 14.5));
}

void DrawFind(QPainter &p) {
  p.setPen(QPen(QColor(60, 70, 85), 2.2));
  p.setBrush(QColor(210, 230, 255));
  p.drawEllipse(QPointF(10, 10), 6, 6);
  p.setPen(QPen(QColor(60, 70, 85), 3.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(14.5, 14.5), QPointF(20.5, 20.5));
}

void DrawRun(QPainter &p) {
  p.setPen(QPen(QColor(40, 40, 40), 1.2));
  p.setBrush(QColor(40, 44, 52));
  p.drawRoundedRect(QRectF(2.5, 4.5, 19, 15), 2, 2);
  p.setPen(QPen(QColor(120, 230, 120), 1.8));
  p.drawPolyline(QPolygonF({QPointF(6, 9), QPointF(9, 12), QPointF(6, 15)}));
  p.drawLine(QPointF(11, 15.5), QPointF(16, 15.5));
}

void DrawLock(QPainter &p) {
  p.setPen(QPen(QColor(90, 90, 90), 2));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(7, 3, 10, 12), 0, 180 * 16);
  p.drawLine(QPointF(7, 9), QPointF(7, 11));
  p.drawLine(QPointF(17, 9), QPointF(17, 11));
  p.setPen(QPen(QColor(150, 110, 20), 1.2));
  p.setBrush(QColor(240, 190, 50));
  p.drawRoundedRect(QRectF(4.5, 10.5, 15, 10), 2, 2);
}

void DrawProperties(QPainter &p) {
  p.setPen(QPen(QColor(80, 90, 105), 3, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 8; ++i) {
    p.save();
    p.translate(12, 12);
    p.rotate(i * 45);
    p.drawLine(QPointF(0, 6), QPointF(0, 9.5));
    p.restore();
  }
  p.setPen(QPen(QColor(80, 90, 105), 1.5));
  p.setBrush(QColor(190, 200, 215));
  p.drawEllipse(QPointF(12, 12), 6, 6);
  p.setBrush(Qt::white);
  p.drawEllipse(QPointF(12, 12), 2.5, 2.5);
}

void DrawLog(QPainter &p) {
  DrawPage(p, QRectF(4.5, 2.5, 15, 19), QColor(255, 252, 235));
  p.setPen(QPen(QColor(90, 100, 120), 1.4));
  for (int y = 7; y <= 17; y += 3) p.drawLine(QPointF(7.5, y), QPointF(16.5, y));
}

QIcon Theme(const char *name, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(name, QApplication::style()->standardIcon(fallback));
}

QIcon Theme(const char *name, void (*draw)(QPainter &)) {
  QIcon icon = QIcon::fromTheme(name);
  return icon.isNull() ? Painted(draw) : icon;
}

}  // namespace

QIcon ToolbarIcon(int32_t image) {
  switch (image) {
    case 0: return Theme("view-refresh", QStyle::SP_BrowserReload);
    case 1: return Theme("document-preview", QStyle::SP_FileDialogContentsView);
    case 2: return Theme("document-open", QStyle::SP_DialogOpenButton);
    case 3: return Theme("document-new", QStyle::SP_FileIcon);
    case 4: return Theme("folder-new", QStyle::SP_FileDialogNewFolder);
    case 5: return Theme("edit-delete", QStyle::SP_TrashIcon);
    case 6: return Theme("help-about", QStyle::SP_MessageBoxInformation);
    case 7: return Theme("edit-rename", DrawRename);
    case 8: return Theme("folder-remote", QStyle::SP_DriveNetIcon);
    case 9: return Theme("edit-copy", DrawDuplicate);
    case 10: return Theme("system-search", DrawFind);
    case 11: return Theme("utilities-terminal", DrawRun);
    case 12: return Theme("object-locked", DrawLock);
    case 15: return Theme("go-up", QStyle::SP_ArrowUp);
    case 16: return Theme("preferences-system", DrawProperties);
    case 17: return Theme("text-x-log", DrawLog);
    default: return QIcon();
  }
}

}  // namespace trovix
