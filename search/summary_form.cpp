// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/summary_form.h"

namespace trovix {

TSummaryForm *SummaryForm = nullptr;

TSummaryForm::TSummaryForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("SummaryForm");
  setWindowTitle("Summary");
  resize(480, 360);
}

}  // namespace trovix
