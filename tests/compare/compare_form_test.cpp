// SPDX-License-Identifier: GPL-3.0-or-later
// The compare window on the offscreen platform: the merged text and its
// colours, the strip (painting, click and drag), stepping between sections,
// Esc, and modal showing.
#include "compare/compare_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>
#include <utility>

#include "dialogs/markup.h"
#include "dialogs/options.h"

namespace trovix {
namespace {

// Lines "line 0" .. "line n-1", with the lines in changed replaced.
std::string Text(int n, const std::vector<int> &changed = {}, const char *tag = "changed") {
  std::string text;
  for (int k = 0; k < n; ++k) {
    bool hit = std::find(changed.begin(), changed.end(), k) != changed.end();
    text += hit ? std::string(tag) + " " + std::to_string(k) : "line " + std::to_string(k);
    text += "\n";
  }
  return text;
}

class CompareFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NiceLabelFormatChar = '|';
    SetOptionCompareThreshold(3);
    form = new TCompareForm;
    form->resize(600, 412);
  }
  void TearDown() override { delete form; }
  void Show(const std::string &a, const std::string &b) {
    form->Compare(a, b, false, "/a/", "/b/");
    QApplication::processEvents();
  }
  QColor LineColour(int line) {
    QTextBlock block = form->Memo->document()->findBlockByNumber(line);
    return block.begin().fragment().charFormat().foreground().color();
  }

  TCompareForm *form = nullptr;
};

TEST_F(CompareFormTest, ShowsTheMergeInThreeColours) {
  Show(Text(10, {4}), Text(10, {4}, "other") + "extra\n");
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->MemoLineCount(), 12);
  EXPECT_EQ(form->Memo->document()->findBlockByNumber(4).text(), "changed 4");
  EXPECT_EQ(LineColour(0), QColor(0x80, 0x80, 0x80));
  EXPECT_EQ(LineColour(4), QColor(0, 0, 0xFF));
  EXPECT_EQ(LineColour(5), QColor(0, 0x80, 0));
  EXPECT_EQ(form->Sections(),
            (std::vector<CompareSection>{{4, 5, ckFirst}, {5, 6, ckSecond}, {11, -1, ckSecond}}));
  EXPECT_EQ(form->CompareSummary(), "|b3 differing sections: |</a/ |2/b/");
  EXPECT_EQ(form->CaretLine(), 0);
  // A second compare replaces everything.
  Show("same\n", "SAME");
  EXPECT_TRUE(form->Sections().empty());
  EXPECT_EQ(form->CompareSummary(), "|bIdentical");
  EXPECT_EQ(form->Memo->toPlainText(), "same");
}

TEST_F(CompareFormTest, StripClickMovesTheCaret) {
  // 100 lines; first-only lines 20..29, second-only lines from 90 to the end.
  std::string a, b;
  for (int k = 0; k < 90; ++k) {
    if (k >= 20 && k < 30) a += "only a " + std::to_string(k) + "\n";
    if (k < 20 || k >= 30) a += "l" + std::to_string(k) + "\n", b += "l" + std::to_string(k) + "\n";
  }
  for (int k = 0; k < 10; ++k) b += "tail " + std::to_string(k) + "\n";
  Show(a, b);
  ASSERT_EQ(form->MemoLineCount(), 100);
  const int h = form->pbSummary->height();
  ASSERT_GT(h, 100);

  // A click at the middle puts the caret on line 50.
  QTest::mouseClick(form->pbSummary, Qt::LeftButton, {}, QPoint(5, h / 2));
  EXPECT_EQ(form->CaretLine(), 100 * (h / 2) / h);
  EXPECT_EQ(form->Memo->textCursor().positionInBlock(), 0);
}

TEST_F(CompareFormTest, StepsBetweenSections) {
  Show(Text(40, {5, 20}), Text(40, {5, 20}, "new"));  // sections at 5, 6, 21, 22
  ASSERT_EQ(form->Sections().size(), 4u);
  form->bNext->click();
  EXPECT_EQ(form->CaretLine(), 5);
  // From past the last section, previous goes to that section's first line.
  QTextCursor cursor(form->Memo->document()->findBlockByNumber(30));
  form->Memo->setTextCursor(cursor);
  form->bPrev->click();
  EXPECT_EQ(form->CaretLine(), 22);
}

TEST_F(CompareFormTest, LongTextGoesInInPiecesAndCompletesOnDemand) {
  Show(Text(30000, {25000}), Text(30000));
  ASSERT_TRUE(form->Filling());
  EXPECT_TRUE(form->Memo->isReadOnly() || !(form->Memo->textInteractionFlags() & Qt::TextEditable));
  EXPECT_EQ(form->MemoLineCount(), 30001);  // the whole merge, before it is all in
  form->bNext->click();                     // the section lies past what is in
  EXPECT_FALSE(form->Filling());
  EXPECT_EQ(form->CaretLine(), 25000);
  EXPECT_EQ(form->Memo->document()->findBlockByNumber(25000).text(), "changed 25000");
  EXPECT_EQ(LineColour(25000), QColor(0, 0, 0xFF));
  EXPECT_EQ(LineColour(25001), QColor(0, 0x80, 0));
  EXPECT_TRUE(form->Memo->textInteractionFlags() & Qt::TextEditable);
  // Left alone, the rest arrives between events.
  Show(Text(30000), Text(30000, {3}));
  ASSERT_TRUE(form->Filling());
  for (int turn = 0; turn < 100 && form->Filling(); ++turn) QApplication::processEvents();
  EXPECT_FALSE(form->Filling());
  EXPECT_EQ(form->Memo->document()->blockCount(), 30001);
  EXPECT_EQ(form->Memo->document()->lastBlock().text(), "line 29999");
  EXPECT_EQ(form->CaretLine(), 0);
}

TEST_F(CompareFormTest, EscClosesAndForgetsTheSections) {
  Show("a\nb\n", "a\n");
  form->activateWindow();
  form->Memo->setFocus();
  ASSERT_EQ(form->Sections().size(), 1u);
  QTest::keyClick(form->Memo, Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(form->Sections().empty());
}

TEST_F(CompareFormTest, ModalCompareReturnsWhenClosed) {
  bool wasModal = false;
  QTimer::singleShot(0, form, [this, &wasModal] {
    wasModal = form->isModal();
    form->close();
  });
  form->Compare("a\n", "b\n", true, "Selection", "Clipboard");
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->isModal());
  // CompareTexts fills the window of the run, whose context menu acts on the text.
  TCompareForm *saved = std::exchange(CompareForm, form);
  CompareTexts("abc", "abd", false, "x", "y");
  CompareForm = saved;
  EXPECT_EQ(form->CompareSummary(), "|b2 differing sections: |<x |2y");
  form->mSelectAll->trigger();
  EXPECT_EQ(form->Memo->textCursor().selectedText(),
            QString("abc") + QChar::ParagraphSeparator + "abd");
}

}  // namespace
}  // namespace trovix
