// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/options_form.h"

namespace trovix {

TOptionsForm *OptionsForm = nullptr;

TOptionsForm::TOptionsForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("OptionsForm");
  setWindowTitle("Options");
  resize(480, 360);
}

}  // namespace trovix
