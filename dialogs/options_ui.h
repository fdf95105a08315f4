// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options as Qt values, and the signal by which windows that show an
// option repaint at once when the options window changes it.
#include <QColor>
#include <QFont>
#include <QObject>

class QPainter;
class QRect;
class QWidget;

#include "dialogs/options.h"

namespace trovix {

// The slot's colour (system colour numbers hold red in the low byte).
QColor OptionQColor(int slot);
QColor ColourFromSystem(uint32_t colour);
uint32_t ColourToSystem(const QColor &colour);

// The font chosen for a use. A name that is not installed falls back to the
// desktop's general font of the chosen size and weight; the stored name stays.
QFont OptionQFont(int use);
// Whether the font family is installed.
bool FontInstalled(const std::string &name);

// Raised by the options window after it changed an option; windows that paint
// an option connect to it and repaint.
class TOptionsNotifier : public QObject {
  Q_OBJECT
 signals:
  void coloursChanged();     // any colour slot
  void gradientsChanged();   // "Use Gradients"
  void fontsChanged();       // any of the three fonts
  void multimediaChanged();  // the multimedia extension list
  void textViewChanged();    // compare threshold or tab size
};
TOptionsNotifier &OptionsNotifier();

// Bars with a gradient background ("Use Gradients"): from the button face at
// the top to the scroll-bar colour at the bottom.
//
// Fills rect with the gradient when the option is on; false (and nothing
// painted) when it is off. For bars that paint themselves.
bool PaintOptionGradient(QPainter &painter, const QRect &rect);
// Gives bar (a tool bar, a panel) the gradient background while the option is
// on, in place of its own, and repaints it when the option changes. Its child
// widgets paint over it as usual.
void FollowOptionGradient(QWidget *bar);

}  // namespace trovix
