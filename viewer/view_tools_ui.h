// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The view window's tool bar pieces, shared by its text and image panels.
#include <QIcon>
#include <QPainter>
#include <QWidget>

#include "dialogs/options.h"
#include "foundation/platform_ui.h"

namespace trovix {

// A tool icon: the desktop theme's when it has one, else a small drawn glyph.
inline QIcon ToolIcon(const char *theme, const QString &glyph) {
  QIcon icon = QIcon::fromTheme(QString::fromLatin1(theme));
  if (!icon.isNull()) return icon;
  QPixmap pixmap(20, 20);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  QFont font = painter.font();
  font.setPixelSize(glyph.size() > 2 ? 8 : 11);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(0, 0, 128));
  painter.drawRoundedRect(QRectF(0.5, 0.5, 19, 19), 3, 3);
  painter.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, glyph);
  return QIcon(pixmap);
}

// The tool bar's background: a gradient when the options ask for one.
class TToolPanel : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    if (OptionUseGradients())
      CanvasGradientFill(painter, rect(), palette().color(QPalette::Button),
                         palette().color(QPalette::Mid));
    else
      painter.fillRect(rect(), palette().color(QPalette::Button));
  }
};

}  // namespace trovix
