// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/markup_ui.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <map>

namespace trovix {

namespace {

// Fonts and metrics of a base font on one device, one QFont per state.
class QtMarkupMetrics : public MarkupMetrics {
 public:
  QtMarkupMetrics(const QFont &base, const QPaintDevice *device) : base_(base), device_(device) {
    base_.setBold(false);
    base_.setItalic(false);
    base_.setUnderline(false);
  }

  const QFont &Font(const MarkupFont &m) {
    const int key = (m.bold ? 1 : 0) | (m.italic ? 2 : 0) | (m.underline ? 4 : 0) |
                    (m.sizeNum << 3) | (m.sizeDen << 8);
    auto it = fonts_.find(key);
    if (it != fonts_.end()) return it->second;
    QFont f = base_;
    f.setBold(m.bold);
    f.setItalic(m.italic);
    f.setUnderline(m.underline);
    if (m.sizeNum != m.sizeDen) {
      if (base_.pixelSize() > 0) {
        f.setPixelSize(std::max(1, base_.pixelSize() * m.sizeNum / m.sizeDen));
      } else {
        f.setPointSizeF(std::max(1.0, base_.pointSizeF() * m.sizeNum / m.sizeDen));
      }
    }
    return fonts_.emplace(key, f).first->second;
  }

  QFontMetrics Metrics(const MarkupFont &m) { return QFontMetrics(Font(m), device_); }

  int32_t TextWidth(const MarkupFont &font, const std::string &text) override {
    return Metrics(font).horizontalAdvance(QString::fromUtf8(text));
  }
  int32_t TextHeight(const MarkupFont &font) override { return Metrics(font).height(); }

 private:
  QFont base_;
  const QPaintDevice *device_;
  std::map<int, QFont> fonts_;
};

}  // namespace

QColor NiceLabelColour(uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                static_cast<int>((bgr >> 16) & 0xFF));
}

uint32_t NiceLabelColourValue(const QColor &colour) {
  const QColor rgb = colour.toRgb();
  return static_cast<uint32_t>(rgb.red()) | (static_cast<uint32_t>(rgb.green()) << 8) |
         (static_cast<uint32_t>(rgb.blue()) << 16);
}

char NiceLabelNearestColour(const QColor &colour) {
  return NiceLabelNearestColour(NiceLabelColourValue(colour));
}

void NiceLabelPaint(QPainter &canvas, int32_t x, int32_t y, int32_t &width, int32_t &height,
                    const std::string &text, int32_t gap) {
  QtMarkupMetrics metrics(canvas.font(), canvas.device());
  const MarkupLayout layout = NiceLabelLayout(text, x, y, gap, metrics);
  width = layout.width;
  height = layout.height;

  canvas.save();
  const QColor base = canvas.pen().color();
  const QColor inverse =
      canvas.brush().style() != Qt::NoBrush ? canvas.brush().color() : canvas.background().color();
  for (const MarkupDraw &d : layout.draws) {
    const QColor colour = d.baseColour ? base : NiceLabelColour(d.colour);
    if (d.kind == MarkupDraw::Triangle) {
      canvas.setPen(QPen(colour, 1));
      canvas.setBrush(Qt::NoBrush);
      const QPolygon triangle({QPoint(d.x, d.base), QPoint(d.x + d.side, d.base - 2 * d.side),
                               QPoint(d.x + 2 * d.side, d.base)});
      canvas.drawPolygon(triangle);
      continue;
    }
    canvas.setFont(metrics.Font(d.font));
    if (d.highlight) {
      canvas.fillRect(d.x, d.y, d.width, d.height, colour);
      canvas.setPen(inverse);
    } else {
      canvas.setPen(colour);
    }
    canvas.drawText(QPoint(d.x, d.y + metrics.Metrics(d.font).ascent()), QString::fromUtf8(d.text));
  }
  canvas.restore();
}

void NiceLabelPaint(QPainter &canvas, int32_t x, int32_t y, const std::string &text, int32_t gap) {
  int32_t width = 0;
  int32_t height = 0;
  NiceLabelPaint(canvas, x, y, width, height, text, gap);
}

void NiceLabelMeasure(const QFont &font, int32_t &width, int32_t &height, const std::string &text,
                      int32_t gap) {
  QtMarkupMetrics metrics(font, nullptr);
  const MarkupLayout layout = NiceLabelLayout(text, 0, 0, gap, metrics);
  width = layout.width;
  height = layout.height;
}

void PaintBorder(QPainter &canvas, int32_t left, int32_t top, TBorder kind, int32_t bottom,
                 int32_t right) {
  if (kind == bNone) return;
  const QPalette &palette = QApplication::palette();
  const QColor shadow = palette.color(QPalette::Dark);
  const QColor window = palette.color(QPalette::Base);
  const QColor topLeft = kind == bLowered ? shadow : window;
  const QColor bottomRight = kind == bLowered ? window : shadow;
  canvas.save();
  canvas.setRenderHint(QPainter::Antialiasing, false);
  canvas.fillRect(left, top, right - left + 1, 1, topLeft);
  canvas.fillRect(left, top, 1, bottom - top + 1, topLeft);
  canvas.fillRect(left, bottom, right - left + 1, 1, bottomRight);
  canvas.fillRect(right, top, 1, bottom - top + 1, bottomRight);
  canvas.restore();
}

// ---- TNiceLabel -------------------------------------------------------------------

TNiceLabel::TNiceLabel(QWidget *parent) : QWidget(parent) {
  setAttribute(Qt::WA_NoSystemBackground);
  setAutoFillBackground(false);
}

void TNiceLabel::SetCaption(const std::string &caption) {
  caption_ = NiceLabelLineBreaks(caption);
  Apply();
}

void TNiceLabel::SetAutoSize(bool on) {
  autoSize_ = on;
  Apply();
}

void TNiceLabel::SetGap(uint16_t gap) {
  gap_ = gap;
  Apply();
}

void TNiceLabel::SetBorder(TBorder border) {
  border_ = border;
  Apply();
}

void TNiceLabel::SetAlignment(TLabelAlignment alignment) {
  alignment_ = alignment;
  Apply();
}

QSize TNiceLabel::TextExtent() const {
  int32_t width = 0;
  int32_t height = 0;
  NiceLabelMeasure(font(), width, height, caption_, gap_);
  return QSize(width, height);
}

QSize TNiceLabel::sizeHint() const {
  const QSize extent = TextExtent();
  return QSize(std::max(4, extent.width()), std::max(4, extent.height()));
}

void TNiceLabel::Apply() {
  if (autoSize_) {
    resize(sizeHint());
    updateGeometry();
  }
  update();
}

void TNiceLabel::changeEvent(QEvent *event) {
  if (event->type() == QEvent::FontChange) Apply();
  QWidget::changeEvent(event);
}

void TNiceLabel::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(palette().color(QPalette::WindowText));
  int32_t x = 0;
  if (alignment_ != TLabelAlignment::Left) {
    const int32_t textWidth = TextExtent().width();
    x = alignment_ == TLabelAlignment::Right ? width() - textWidth : (width() - textWidth) / 2;
  }
  NiceLabelPaint(painter, x, 0, caption_, gap_);
  PaintBorder(painter, 0, 0, border_, height() - 1, width() - 1);
}

}  // namespace trovix
