// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The options window; created at start, shown from the tool bar.
#include <QWidget>

namespace trovix {

class TOptionsForm : public QWidget {
  Q_OBJECT
 public:
  explicit TOptionsForm(QWidget *parent = nullptr);
};

extern TOptionsForm *OptionsForm;

}  // namespace trovix
