// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Compare Text": two texts merged line by line (shared lines grey, lines
// only the first text has blue, lines only the second has green), with an
// overview strip at the left edge that shows where the differing sections lie
// and where the caret is, and tool buttons that step between the sections.
// One window for the whole run, created at start and filled by CompareTexts.
// The merge itself lives in text_compare.h.
#include <QPlainTextEdit>
#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

#include "compare/text_compare.h"

class QAction;
class QMenu;
class QTimer;
class QToolButton;

namespace trovix {

class TCompareForm;

// The overview strip: the whole merged text mapped onto its height.
class TCompareStrip : public QWidget {
  Q_OBJECT
 public:
  explicit TCompareStrip(TCompareForm *form, QWidget *parent);

 protected:
  void paintEvent(QPaintEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;

 private:
  TCompareForm *form_;
};

// The tool bar: the two step buttons and, right of them, the summary painted
// over the bar's background.
class TCompareToolBar : public QWidget {
  Q_OBJECT
 public:
  explicit TCompareToolBar(TCompareForm *form, QWidget *parent);

 protected:
  void paintEvent(QPaintEvent *event) override;

 private:
  TCompareForm *form_;
};

class TCompareForm : public QWidget {
  Q_OBJECT
 public:
  explicit TCompareForm(QWidget *parent = nullptr);

  // Fills the window with the merge of the two texts and shows it at the
  // mouse: modal (returning when it closes) or as a normal window.
  void Compare(const std::string &textA, const std::string &textB, bool modal,
               const std::string &nameA, const std::string &nameB);

  // The differing sections of the text on show; emptied when the window closes.
  const std::vector<CompareSection> &Sections() const { return sections_; }
  uint8_t LastLineKind() const { return lastLineKind_; }
  const std::string &CompareSummary() const { return summary_; }
  // Lines of the merged text (0 when it is empty) and the line holding the
  // caret. While the memo is still being filled, the count is the merge's.
  int32_t MemoLineCount() const;
  // The memo is being filled: a long text goes in a screenful first and the
  // rest in pieces between events, read-only until it is complete.
  bool Filling() const { return pendingRun_ < pending_.size(); }
  void FinishFill();
  int32_t CaretLine() const;

  TCompareStrip *pbSummary = nullptr;
  TCompareToolBar *pToolBar = nullptr;
  QToolButton *bPrev = nullptr;  // tag 0
  QToolButton *bNext = nullptr;  // tag 1
  QWidget *bGap = nullptr;
  QPlainTextEdit *Memo = nullptr;
  QMenu *mMemo = nullptr;
  QAction *mSelectAll = nullptr;
  QAction *mCut = nullptr;
  QAction *mCopy = nullptr;
  QAction *mPaste = nullptr;

  // Handlers.
  void SearchClick(int tag);
  void pbSummaryPaint(QPainter &canvas);
  void pbSummaryMouse(int32_t y);
  void ToolBarPaint(QPainter &canvas);

 signals:
  void closed();

 protected:
  void closeEvent(QCloseEvent *event) override;

 private:
  // Runs of lines of one kind, joined by line feeds, each after the first
  // starting with the line feed that ends the line before it.
  struct TRun {
    QString text;
    uint8_t kind;
  };
  void FillMemo(const CompareResult &merged);
  void FillSome(int32_t lines);
  void StopFill();
  void MoveCaretToLine(int32_t line);

  std::vector<TRun> pending_;
  size_t pendingRun_ = 0;
  qsizetype pendingOffset_ = 0;
  int32_t totalLines_ = 0;
  QTimer *fillTimer_ = nullptr;

  std::vector<CompareSection> sections_;
  uint8_t lastLineKind_ = ckNone;
  std::string summary_;
};

extern TCompareForm *CompareForm;

// Fills and shows the compare window (CompareForm, made when there is none)
// with two texts and the short names the summary shows for them.
void CompareTexts(const std::string &textA, const std::string &textB, bool modal,
                  const std::string &nameA, const std::string &nameB);

}  // namespace trovix
