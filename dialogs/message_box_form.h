// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message box window behind DisplayMany (message_box.h) and the pieces
// it shares with the prompt: the glyphs of the flat buttons and the drawn
// icons.
#include <QDialog>
#include <QPixmap>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/controls_ui.h"
#include "dialogs/message_box.h"

namespace trovix {

// Glyph i of the button image list (16 x 16): 0 confirm, 1 reject, 2 save,
// 4 copy, 5 move; any other index gives a null pixmap.
QPixmap MessageBoxGlyphImage(int32_t index);

// Paints the icon of a kind (mbInformation, mbError, mbQuestion) into a box
// of the given size with its top-left corner at the painter's origin.
void PaintMessageBoxIcon(QPainter &canvas, uint8_t kind, int32_t width, int32_t height);

// The icon paint box.
class TMessageBoxIcon : public QWidget {
  Q_OBJECT
 public:
  TMessageBoxIcon(uint8_t kind, QWidget *parent);

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  uint8_t kind_;
};

// The button strip: a vertical gradient from the button face down.
class TMessageBoxStrip : public QWidget {
  Q_OBJECT
 public:
  explicit TMessageBoxStrip(QWidget *parent);

 protected:
  void paintEvent(QPaintEvent *event) override;
};

// A borderless modal box: icon at the left, framed markup message, button
// strip at the bottom. Result() is the chosen button's index, -1 when
// dismissed. The body above the strip drags the window.
class TMessageBoxForm : public QDialog {
  Q_OBJECT
 public:
  TMessageBoxForm(uint8_t kind, const std::string &message, const std::string &buttons,
                  QWidget *parent = nullptr);

  int32_t Result() const { return result_; }
  uint8_t Kind() const { return kind_; }
  const std::string &Message() const { return message_; }
  const TMessageBoxLayout &Layout() const { return layout_; }
  const std::vector<TBtnTransparent *> &Buttons() const { return buttons_; }
  // Window frame width around the client area on every side.
  static constexpr int32_t Frame = 2;

  TMessageBoxIcon *pbImage = nullptr;
  TMessageBoxStrip *Box = nullptr;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;
  void showEvent(QShowEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

 private:
  void ButtonClick();

  uint8_t kind_;
  std::string message_;
  int32_t result_ = -1;
  TMessageBoxLayout layout_;
  std::vector<TBtnTransparent *> buttons_;
  bool dragging_ = false;
  QPoint dragOffset_;
};

// Shared by the message box and the prompt: the window's colours, painting
// of the raised window frame, placement at the mouse kept on screen, and
// dragging by the body.
QColor DialogFaceColour();
QColor DialogStripColour();
void PaintDialogFrame(QPainter &canvas, const QRect &rect);
void PlaceDialogAtMouse(QWidget *form);

}  // namespace trovix
