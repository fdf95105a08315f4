#pragma once
// The review window of operation issues; created at start, shown when operations end with issues.
#include <QWidget>

namespace trovix {

class TQueryForm : public QWidget {
  Q_OBJECT
 public:
  explicit TQueryForm(QWidget *parent = nullptr);
};

extern TQueryForm *QueryForm;

}  // namespace trovix
