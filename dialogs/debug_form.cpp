// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/debug_form.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "foundation/platform_ui.h"

namespace trovix {

TDebugForm *DebugForm = nullptr;

TDebugForm::TDebugForm(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName("DebugForm");
  setWindowTitle("Debug");
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  lines_ = new QPlainTextEdit(this);
  lines_->setReadOnly(true);
  lines_->setMaximumBlockCount(5000);
  layout->addWidget(lines_);
  resize(500, 300);
}

void TDebugForm::Add(const std::string &text, const QColor &colour) {
  QTextCharFormat format;
  format.setForeground(colour);
  QTextCursor cursor = lines_->textCursor();
  cursor.movePosition(QTextCursor::End);
  if (!lines_->document()->isEmpty()) cursor.insertBlock();
  cursor.insertText(DisplayText(text), format);
}

void DebugAdd(const std::string &text, const QColor &colour) {
  if (DebugForm && DebugForm->isVisible()) DebugForm->Add(text, colour);
}

}  // namespace trovix
