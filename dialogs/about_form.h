// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The About window: the program's name and version; shown at start as a
// splash (unless -nosplash or -noabout) and from the tool bar.
#include <QWidget>

namespace trovix {

class TAboutForm : public QWidget {
  Q_OBJECT
 public:
  explicit TAboutForm(QWidget *parent = nullptr);
  // Shows the window and hides it again after milliseconds.
  void ShowSplash(int milliseconds);
};

extern TAboutForm *AboutForm;

}  // namespace trovix
