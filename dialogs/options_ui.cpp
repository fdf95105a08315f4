// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/options_ui.h"

#include <QEvent>
#include <QFontDatabase>
#include <QPainter>
#include <QWidget>

#include "dialogs/message_box_form.h"
#include "foundation/platform_ui.h"

namespace trovix {

QColor ColourFromSystem(uint32_t colour) {
  return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

uint32_t ColourToSystem(const QColor &colour) {
  return uint32_t(colour.red()) | uint32_t(colour.green()) << 8 | uint32_t(colour.blue()) << 16;
}

QColor OptionQColor(int slot) { return ColourFromSystem(OptionColour(slot)); }

bool FontInstalled(const std::string &name) {
  return QFontDatabase::hasFamily(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

QFont OptionQFont(int use) {
  const TFontChoice choice = OptionFont(use);
  QFont font = FontInstalled(choice.Name)
                   ? QFont(QString::fromUtf8(choice.Name.data(), qsizetype(choice.Name.size())))
                   : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(choice.Size);
  font.setBold(choice.Bold);
  return font;
}

TOptionsNotifier &OptionsNotifier() {
  static TOptionsNotifier notifier;
  return notifier;
}

bool PaintOptionGradient(QPainter &painter, const QRect &rect) {
  if (!OptionUseGradients()) return false;
  CanvasGradientFill(painter, rect, DialogFaceColour(), DialogStripColour());
  return true;
}

namespace {
// Paints the gradient in the bar's paint event instead of the bar's own
// background; while the option is off the bar paints as usual.
class TGradientBackground : public QObject {
 public:
  explicit TGradientBackground(QWidget *bar) : QObject(bar), bar_(bar) {
    connect(&OptionsNotifier(), &TOptionsNotifier::gradientsChanged, this,
            [this] { bar_->update(); });
  }

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (watched != bar_ || event->type() != QEvent::Paint || !OptionUseGradients()) return false;
    QPainter painter(bar_);
    return PaintOptionGradient(painter, bar_->rect());
  }

 private:
  QWidget *bar_;
};
}  // namespace

void FollowOptionGradient(QWidget *bar) {
  if (!bar) return;
  bar->installEventFilter(new TGradientBackground(bar));
}

}  // namespace trovix
