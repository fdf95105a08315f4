// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one-line prompt behind EditString (message_box.h): a markup label, a
// combo box with the history of confirmed texts, OK and Cancel. Created once
// at start; EditString creates it on first use when it does not exist yet.
#include <QDialog>
#include <string>

namespace trovix {

class TBtnTransparent;
class TComboBoxAutoFill;
class TNiceLabel;

class TEditStringForm : public QDialog {
  Q_OBJECT
 public:
  explicit TEditStringForm(QWidget *parent = nullptr);

  // Shows the prompt modally with value in the edit box. True with value
  // set to the confirmed text, which goes to the top of the history.
  bool Execute(const std::string &prompt, std::string &value);

  // The history's settings key ("EditStringFormEdit"), for the main window's
  // INIComboLoad / INIComboSave when it is shown and closed.
  static const char *const HistoryKey;

  TNiceLabel *lPrompt = nullptr;
  TComboBoxAutoFill *Edit = nullptr;  // free text allowed
  TBtnTransparent *bOK = nullptr;
  TBtnTransparent *bCancel = nullptr;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
  void showEvent(QShowEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;

 private:
  void Arrange();

  bool dragging_ = false;
  QPoint dragOffset_;
};

extern TEditStringForm *EditStringForm;

}  // namespace trovix
