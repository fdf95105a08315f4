// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/compare_form.h"

namespace trovix {

TCompareForm *CompareForm = nullptr;

TCompareForm::TCompareForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("CompareForm");
  setWindowTitle("Compare");
  resize(480, 360);
}

}  // namespace trovix
