// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text compare window; created at start, shown when two texts are compared.
#include <QWidget>

namespace trovix {

class TCompareForm : public QWidget {
  Q_OBJECT
 public:
  explicit TCompareForm(QWidget *parent = nullptr);
};

extern TCompareForm *CompareForm;

}  // namespace trovix
