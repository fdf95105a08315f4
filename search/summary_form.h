// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The summary of search results by type and folder; created at start.
#include <QWidget>

namespace trovix {

class TSummaryForm : public QWidget {
  Q_OBJECT
 public:
  explicit TSummaryForm(QWidget *parent = nullptr);
};

extern TSummaryForm *SummaryForm;

}  // namespace trovix
