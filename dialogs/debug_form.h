// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TDebugForm: a developer's trace window that the folder tree and the search
// write coloured lines to. Shown at start with -debug; -debuglog sets DebugLog.
#include <QWidget>
#include <string>

class QPlainTextEdit;

namespace trovix {

class TDebugForm : public QWidget {
  Q_OBJECT
 public:
  explicit TDebugForm(QWidget *parent = nullptr);
  void Add(const std::string &text, const QColor &colour);
  bool DebugLog = false;

 private:
  QPlainTextEdit *lines_;
};

extern TDebugForm *DebugForm;

// Adds a line to the trace window when it exists (main thread only).
void DebugAdd(const std::string &text, const QColor &colour);

}  // namespace trovix
