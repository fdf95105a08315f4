// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Painting of markup text (markup.h) with QPainter, and the label control
// that shows a markup caption.
//
// The painter's font is the base font and its pen colour the base colour
// ("font colour") of the text; both are left as they were on return.
#include <QColor>
#include <QFont>
#include <QWidget>
#include <cstdint>
#include <string>

#include "dialogs/markup.h"

class QPainter;

namespace trovix {

// Paints text with its top-left corner at (x, y) and a margin of gap pixels
// and returns the extent covered, margins included: width and height are the
// right and bottom edges plus the gap, measured from 0 (x and y included).
// Font style starts plain whatever the painter's font says. In highlight
// mode a run's box is filled with the current colour and the text drawn in
// the brush's colour (the background's when the painter has no brush).
void NiceLabelPaint(QPainter &canvas, int32_t x, int32_t y, int32_t &width, int32_t &height,
                    const std::string &text, int32_t gap);
void NiceLabelPaint(QPainter &canvas, int32_t x, int32_t y, const std::string &text, int32_t gap);
// The extent NiceLabelPaint would return at (0, 0) in the given font, for
// measuring before there is anything to paint on.
void NiceLabelMeasure(const QFont &font, int32_t &width, int32_t &height, const std::string &text,
                      int32_t gap);

// Colour conversions between the markup's 0x00BBGGRR values and QColor.
QColor NiceLabelColour(uint32_t bgr);
uint32_t NiceLabelColourValue(const QColor &colour);
char NiceLabelNearestColour(const QColor &colour);

// One-pixel frame: bLowered draws top and left in the button-shadow colour
// and bottom and right in the window colour; bRaised the other way round;
// bNone nothing. Coordinates are inclusive pixel positions.
void PaintBorder(QPainter &canvas, int32_t left, int32_t top, TBorder kind, int32_t bottom,
                 int32_t right);

enum class TLabelAlignment { Left, Right, Center };

// A transparent label painting a markup caption in its font and palette.
// Line feeds in the caption become new-line codes. With AutoSize on, the
// label takes the size of its caption (at least 4 x 4).
class TNiceLabel : public QWidget {
  Q_OBJECT
 public:
  explicit TNiceLabel(QWidget *parent = nullptr);

  const std::string &Caption() const { return caption_; }
  void SetCaption(const std::string &caption);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  uint16_t Gap() const { return gap_; }
  void SetGap(uint16_t gap);
  TBorder Border() const { return border_; }
  void SetBorder(TBorder border);
  TLabelAlignment Alignment() const { return alignment_; }
  void SetAlignment(TLabelAlignment alignment);

  // Extent of the caption as painted at (0, 0), gaps included.
  QSize TextExtent() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent *event) override;
  void changeEvent(QEvent *event) override;

 private:
  void Apply();

  std::string caption_;
  bool autoSize_ = false;
  uint16_t gap_ = 0;
  TBorder border_ = bNone;
  TLabelAlignment alignment_ = TLabelAlignment::Left;
};

}  // namespace trovix
