// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The image save and convert window; created at start, shown from a view window.
#include <QWidget>

namespace trovix {

class TFileSaveForm : public QWidget {
  Q_OBJECT
 public:
  explicit TFileSaveForm(QWidget *parent = nullptr);
};

extern TFileSaveForm *FileSaveForm;

}  // namespace trovix
