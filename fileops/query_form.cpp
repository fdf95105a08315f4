#include "fileops/query_form.h"

namespace trovix {

TQueryForm *QueryForm = nullptr;

TQueryForm::TQueryForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("QueryForm");
  setWindowTitle("Operation Issues");
  resize(480, 360);
}

}  // namespace trovix
