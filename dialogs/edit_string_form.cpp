// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/edit_string_form.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "dialogs/controls_ui.h"
#include "dialogs/markup.h"
#include "dialogs/markup_ui.h"
#include "dialogs/message_box.h"
#include "dialogs/message_box_form.h"
#include "foundation/platform_ui.h"

namespace trovix {

TEditStringForm *EditStringForm = nullptr;
const char *const TEditStringForm::HistoryKey = "EditStringFormEdit";

namespace {

constexpr int kFrame = TMessageBoxForm::Frame;
constexpr int kMinClientWidth = 420;
constexpr int kMargin = 8;

}  // namespace

TEditStringForm::TEditStringForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("EditStringForm");
  setWindowModality(Qt::ApplicationModal);

  lPrompt = new TNiceLabel(this);
  lPrompt->setObjectName("lPrompt");
  lPrompt->SetGap(2);
  lPrompt->SetAutoSize(true);
  lPrompt->setAttribute(Qt::WA_TransparentForMouseEvents);

  Edit = new TComboBoxAutoFill(this);
  Edit->setObjectName("Edit");
  Edit->SetFreeText(true);
  Edit->installEventFilter(this);
  Edit->lineEdit()->installEventFilter(this);

  bOK = new TBtnTransparent("OK", this);
  bOK->setObjectName("bOK");
  bOK->setFocusPolicy(Qt::NoFocus);
  bOK->SetGlyph(MessageBoxGlyphImage(MessageBoxGlyph("OK")));
  connect(bOK, &QAbstractButton::clicked, this, &QDialog::accept);

  bCancel = new TBtnTransparent("Cancel", this);
  bCancel->setObjectName("bCancel");
  bCancel->setFocusPolicy(Qt::NoFocus);
  bCancel->SetGlyph(MessageBoxGlyphImage(MessageBoxGlyph("Cancel")));
  connect(bCancel, &QAbstractButton::clicked, this, &QDialog::reject);

  Arrange();
}

void TEditStringForm::Arrange() {
  const QSize label = lPrompt->sizeHint();
  const int clientWidth = std::max(kMinClientWidth, label.width() + 2 * kMargin);
  lPrompt->move(kFrame + kMargin, kFrame + kMargin);
  const int editTop = kMargin + std::max(label.height(), 20) + 4;
  const int editHeight = std::max(Edit->sizeHint().height(), 24);
  Edit->setGeometry(kFrame + kMargin, kFrame + editTop, clientWidth - 2 * kMargin, editHeight);
  const int buttonTop = editTop + editHeight + 12;
  bCancel->setGeometry(kFrame + clientWidth - kMargin - mbButtonWidth, kFrame + buttonTop,
                       mbButtonWidth, mbButtonHeight);
  bOK->setGeometry(bCancel->x() - 4 - mbButtonWidth, kFrame + buttonTop, mbButtonWidth,
                   mbButtonHeight);
  const int clientHeight = buttonTop + mbButtonHeight + kMargin;
  setFixedSize(clientWidth + 2 * kFrame, clientHeight + 2 * kFrame);
}

bool TEditStringForm::Execute(const std::string &prompt, std::string &value) {
  lPrompt->SetCaption(prompt);
  setWindowTitle(QString::fromUtf8(MarkupPlainText(prompt)).simplified());
  Arrange();
  Edit->setCurrentIndex(-1);
  ComboSetText(Edit, value);
  Edit->lineEdit()->selectAll();
  Edit->setFocus();
  if (exec() != QDialog::Accepted) return false;
  value = ComboText(Edit);  // the bytes given back when the text was left as shown
  ComboFill(Edit);
  return true;
}

bool TEditStringForm::eventFilter(QObject *watched, QEvent *event) {
  if ((watched == Edit || watched == Edit->lineEdit()) && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      accept();
      return true;
    }
    if (key == Qt::Key_Escape) {
      reject();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TEditStringForm::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QRect client = rect().adjusted(kFrame, kFrame, -kFrame, -kFrame);
  CanvasGradientFill(p, client, DialogFaceColour(), DialogStripColour());
  PaintDialogFrame(p, rect());
}

void TEditStringForm::showEvent(QShowEvent *event) {
  PlaceDialogAtMouse(this);
  QDialog::showEvent(event);
  activateWindow();
  Edit->setFocus();
}

void TEditStringForm::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && event->position().y() < Edit->y()) {
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
    return;
  }
  QDialog::mousePressEvent(event);
}

void TEditStringForm::mouseMoveEvent(QMouseEvent *event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void TEditStringForm::mouseReleaseEvent(QMouseEvent *event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

bool EditString(const std::string &prompt, std::string &value) {
  if (!EditStringForm) EditStringForm = new TEditStringForm();
  if (const TEditStringAnswerer &answerer = EditStringAnswerer()) {
    std::string answer = value;
    if (!answerer(prompt, answer)) return false;
    value = answer;
    ComboSetText(EditStringForm->Edit, value);
    ComboFill(EditStringForm->Edit);
    return true;
  }
  return EditStringForm->Execute(prompt, value);
}

}  // namespace trovix
