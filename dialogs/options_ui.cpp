// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/options_ui.h"

#include <QFontDatabase>

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

}  // namespace trovix
