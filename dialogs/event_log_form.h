// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Event Log" window: the log's lines in a scrollable text box and a
// small clear button in its top-right corner. Created at start, shown from
// the main window's tool bar, hidden (and cleared) when closed.
#include <QFrame>
#include <QWidget>

class QPlainTextEdit;

namespace trovix {

// The 17 x 17 raised panel with the 15 x 15 clear image. Pressing shows it
// lowered; releasing raises it again and clears the log.
class TClearPanel : public QFrame {
  Q_OBJECT
 public:
  explicit TClearPanel(QWidget *parent = nullptr);

 signals:
  void released();

 protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void paintEvent(QPaintEvent *event) override;
};

class TLogForm : public QWidget {
  Q_OBJECT
 public:
  explicit TLogForm(QWidget *parent = nullptr);
  ~TLogForm() override;

  QPlainTextEdit *Memo = nullptr;
  TClearPanel *pClear = nullptr;

  // Appends the lines still pending in the log and scrolls to the last one.
  // Runs on the user-interface thread, woken by the log when lines arrive.
  void LogFlush();
  // Empties the log and the text box.
  void LogClearAll();

 protected:
  void closeEvent(QCloseEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void showEvent(QShowEvent *event) override;

 private:
  void PlaceClear();
  void pClearReleased();
};

extern TLogForm *LogForm;

}  // namespace trovix
