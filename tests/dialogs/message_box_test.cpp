// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

#include "dialogs/edit_string_form.h"
#include "dialogs/markup.h"
#include "dialogs/markup_ui.h"
#include "dialogs/message_box_form.h"

namespace trovix {
namespace {

// Runs action on the modal window once the modal loop is up; a watchdog
// closes any box still open after five seconds so a failing test cannot hang.
void WhenModal(std::function<void(QWidget *)> action) {
  QTimer::singleShot(0, [action] {
    QWidget *modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    action(modal);
  });
  QTimer::singleShot(5000, [] {
    if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
      ADD_FAILURE() << "modal box left open";
      dialog->reject();
    }
  });
}

int32_t AnswerWithKey(int key, const std::string &buttons = "Yes,No") {
  WhenModal([key](QWidget *box) { QTest::keyClick(box, static_cast<Qt::Key>(key)); });
  return DisplayMany(mbQuestion, "|bQuestion", buttons);
}

class MessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    savedChar_ = NiceLabelFormatChar;
    NiceLabelFormatChar = '|';
  }
  void TearDown() override {
    NiceLabelFormatChar = savedChar_;
    SetMessageBoxAnswerer({});
    SetEditStringAnswerer({});
  }
  char savedChar_ = '\\';
};

// The keys, the button places and the glyphs of Copy, Move, Copy X, Cancel
// and OK run on the real box below.
TEST(MessageBoxRules, CaptionsGlyphsAndLayout) {
  EXPECT_EQ(MessageBoxButtons("Copy,Move,Copy X,Cancel"),
            (std::vector<std::string>{"Copy", "Move", "Copy X", "Cancel"}));
  EXPECT_EQ(MessageBoxButtons(""), std::vector<std::string>{"OK"});
  EXPECT_EQ(MessageBoxButtons("A,,B").size(), 3u);

  const std::pair<const char *, int> glyphs[] = {
      {"ok", 0}, {"Abort", 1}, {"Save", 2}, {"TAB", -1}, {"Save and Continue", 0}};
  for (auto [caption, glyph] : glyphs) EXPECT_EQ(MessageBoxGlyph(caption), glyph) << caption;

  // One short line: the area reaches the icon's bottom and the design width.
  TMessageBoxLayout l = MessageBoxArrange(150, 30, 1);
  EXPECT_EQ(l.areaHeight, mbIconTop + mbIconHeight);
  EXPECT_EQ(l.areaWidth, mbDesignClientWidth - 6);
  // A long message sets the width; five buttons widen the area with the window.
  l = MessageBoxArrange(500, 200, 3);
  EXPECT_EQ(l.clientWidth, 508);
  EXPECT_EQ(l.stripTop, 208);
  l = MessageBoxArrange(150, 30, 5);
  EXPECT_EQ(l.areaWidth, l.clientWidth - 8);

  // On one screen a box reaching past the bottom or right moves inside.
  int32_t left = 700, top = 550;
  MessageBoxKeepOnScreen(left, top, 200, 100, 0, 0, 800, 600, true);
  EXPECT_EQ(left, 800 - 200 - 1);
  EXPECT_EQ(top, 600 - 100 - 1);
  left = 700, top = 550;
  MessageBoxKeepOnScreen(left, top, 200, 100, 0, 0, 800, 600, false);
  EXPECT_EQ(left, 700);
  left = 10, top = 10;
  MessageBoxKeepOnScreen(left, top, 900, 700, 0, 0, 800, 600, true);
  EXPECT_EQ(left, 0);  // larger than the screen: its top-left stays visible
  EXPECT_EQ(top, 0);
}

TEST_F(MessageBox, KeysAnswer) {
  EXPECT_EQ(AnswerWithKey(Qt::Key_Return), 0);
  EXPECT_EQ(AnswerWithKey(Qt::Key_Space), 0);
  EXPECT_EQ(AnswerWithKey(Qt::Key_Escape), -1);
  EXPECT_EQ(AnswerWithKey(Qt::Key_2), 1);
  EXPECT_EQ(AnswerWithKey(Qt::Key_3), 2);  // past the last button: callers ignore it

  // Other keys leave the box open; a modifier alone is no key at all.
  bool stillOpen = false;
  WhenModal([&stillOpen](QWidget *box) {
    QTest::keyClick(box, Qt::Key_X);
    QTest::keyClick(box, Qt::Key_Shift);
    QTest::keyClick(box, Qt::Key_0);
    stillOpen = box->isVisible() && QApplication::activeModalWidget() == box;
    QTest::keyClick(box, Qt::Key_1);
  });
  EXPECT_EQ(DisplayMany(mbInformation, "Message", "A,B"), 0);
  EXPECT_TRUE(stillOpen);
}

TEST_F(MessageBox, ClicksGlyphsAndLayout) {
  for (int index = 0; index < 4; ++index) {
    WhenModal([index](QWidget *modal) {
      auto *box = qobject_cast<TMessageBoxForm *>(modal);
      ASSERT_NE(box, nullptr);
      QTest::mouseClick(box->Buttons()[index], Qt::LeftButton);
    });
    EXPECT_EQ(DisplayMany(mbQuestion, "|b|4Copy or Move?", "Copy,Move,Copy X,Cancel"), index);
  }
  // The copy glyph on Copy X; a taller text pushes the strip down.
  TMessageBoxForm copy(mbQuestion, "|b|4Copy or Move?", "Copy,Move,Copy X,Cancel");
  EXPECT_EQ(copy.Buttons()[2]->Glyph().toImage(), MessageBoxGlyphImage(4).toImage());
  TMessageBoxForm one(mbError, "|1|bERROR: x", "OK");
  TMessageBoxForm tall(mbInformation, "a|nb|nc|nd|ne|nf", "OK");
  EXPECT_GT(tall.Layout().stripTop, one.Layout().stripTop);
  EXPECT_EQ(tall.Box->y(), TMessageBoxForm::Frame + tall.Layout().stripTop);
}

TEST_F(MessageBox, AnswererAndShorthands) {
  std::vector<std::string> seen;
  int32_t answer = 0;
  SetMessageBoxAnswerer([&](uint8_t kind, const std::string &message, const std::string &buttons) {
    seen.push_back(std::to_string(kind) + ":" + message + ":" + buttons);
    return answer;
  });
  DisplayMessage("m");
  DisplayError("e");
  EXPECT_TRUE(DisplayOKCancel("o"));
  EXPECT_TRUE(DisplayYesNo("y"));
  answer = 1;
  EXPECT_FALSE(DisplayYesNo("y"));
  answer = -1;
  EXPECT_FALSE(DisplayOKCancel("o"));
  EXPECT_EQ(DisplayMany(2, "|b|4Copy or Move?", "Copy,Move,Copy X,Cancel"), -1);
  EXPECT_EQ(seen, (std::vector<std::string>{"0:m:OK", "1:e:OK", "2:o:OK,Cancel", "2:y:Yes,No",
                                            "2:y:Yes,No", "2:o:OK,Cancel",
                                            "2:|b|4Copy or Move?:Copy,Move,Copy X,Cancel"}));
}

TEST_F(MessageBox, EditStringConfirmCancelAndHistory) {
  std::string value = "first";
  WhenModal([](QWidget *modal) {
    auto *form = qobject_cast<TEditStringForm *>(modal);
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Edit->currentText(), "first");
    EXPECT_EQ(form->lPrompt->Caption(), "|b|4Enter New Path");
    form->Edit->lineEdit()->setText("/tmp/second");
    QTest::keyClick(form->Edit->lineEdit(), Qt::Key_Return);
  });
  EXPECT_TRUE(EditString("|b|4Enter New Path", value));
  EXPECT_EQ(value, "/tmp/second");
  ASSERT_NE(EditStringForm, nullptr);
  EXPECT_EQ(EditStringForm->Edit->itemText(0), "/tmp/second");

  // Escape cancels and leaves the value alone; the typed text is not kept.
  WhenModal([](QWidget *) {
    EditStringForm->Edit->lineEdit()->setText("typed");
    QTest::keyClick(EditStringForm->Edit->lineEdit(), Qt::Key_Escape);
  });
  EXPECT_FALSE(EditString("|bName", value));
  EXPECT_EQ(value, "/tmp/second");
  EXPECT_EQ(EditStringForm->Edit->count(), 1);

  // The buttons confirm and cancel too; a value that is not UTF-8 survives
  // when the user leaves it as it is.
  std::string raw = "caf\xE9.txt";
  WhenModal([](QWidget *) { QTest::mouseClick(EditStringForm->bOK, Qt::LeftButton); });
  EXPECT_TRUE(EditString("|bRename", raw));
  EXPECT_EQ(raw, "caf\xE9.txt");
  WhenModal([](QWidget *) { QTest::mouseClick(EditStringForm->bCancel, Qt::LeftButton); });
  EXPECT_FALSE(EditString("|bRename", raw));

  // Typing in front of such a name keeps every other byte; the invalid byte
  // shows as an escape the user can see.
  WhenModal([](QWidget *) {
    QLineEdit *line = EditStringForm->Edit->lineEdit();
    EXPECT_EQ(line->text(), "caf\\xE9.txt");
    line->setCursorPosition(0);
    QTest::keyClicks(line, "old-");
    QTest::keyClick(line, Qt::Key_Return);
  });
  EXPECT_TRUE(EditString("|bRename", raw));
  EXPECT_EQ(raw, "old-caf\xE9.txt");

  // An answerer replaces the dialog; what it confirms still reaches the history.
  SetEditStringAnswerer([](const std::string &prompt, std::string &v) {
    v = prompt == "|bNew" ? "answered" : v;
    return prompt == "|bNew";
  });
  value = "x";
  EXPECT_TRUE(EditString("|bNew", value));
  EXPECT_EQ(value, "answered");
  EXPECT_EQ(EditStringForm->Edit->itemText(0), "answered");
  value = "x";
  EXPECT_FALSE(EditString("|bOther", value));
  EXPECT_EQ(value, "x");

  delete EditStringForm;
  EditStringForm = nullptr;
}

}  // namespace
}  // namespace trovix
