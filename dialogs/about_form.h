// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The About window: the program's icon, name, version and licence; shown at
// start as a splash (unless -nosplash or -noabout) and from the tool bar.
#include <QIcon>
#include <QWidget>

class QLabel;

namespace trovix {

inline constexpr char kLicenceName[] = "GNU General Public License, version 3 or later";
inline constexpr char kLicenceId[] = "GPL-3.0-or-later";

class TAboutForm : public QWidget {
  Q_OBJECT
 public:
  explicit TAboutForm(QWidget *parent = nullptr);
  // Shows the window and hides it again after milliseconds.
  void ShowSplash(int milliseconds);

  QLabel *lVersion;
  QLabel *lLicence;
};

extern TAboutForm *AboutForm;

// The program's own icon (the hicolor icon it installs) in every size it has.
QIcon TrovixIcon();

}  // namespace trovix
