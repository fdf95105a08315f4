// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/file_save_form.h"

namespace trovix {

TFileSaveForm *FileSaveForm = nullptr;

TFileSaveForm::TFileSaveForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("FileSaveForm");
  setWindowTitle("Save Image As");
  resize(480, 360);
}

}  // namespace trovix
