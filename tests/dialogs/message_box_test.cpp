#include "dialogs/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
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

TEST(MessageBoxRules, CaptionsGlyphsAndKeys) {
  EXPECT_EQ(MessageBoxButtons("Copy,Move,Copy X,Cancel"),
            (std::vector<std::string>{"Copy", "Move", "Copy X", "Cancel"}));
  EXPECT_EQ(MessageBoxButtons("OK"), std::vector<std::string>{"OK"});
  EXPECT_EQ(MessageBoxButtons(""), std::vector<std::string>{"OK"});
  EXPECT_EQ(MessageBoxButtons("A,,B").size(), 3u);

  EXPECT_EQ(MessageBoxGlyph("Yes"), 0);
  EXPECT_EQ(MessageBoxGlyph("ok"), 0);
  EXPECT_EQ(MessageBoxGlyph("Continue"), 0);
  EXPECT_EQ(MessageBoxGlyph("No"), 1);
  EXPECT_EQ(MessageBoxGlyph("Cancel"), 1);
  EXPECT_EQ(MessageBoxGlyph("Abort"), 1);
  EXPECT_EQ(MessageBoxGlyph("Discard"), 1);
  EXPECT_EQ(MessageBoxGlyph("Delete"), 1);
  EXPECT_EQ(MessageBoxGlyph("Save"), 2);
  EXPECT_EQ(MessageBoxGlyph("Copy"), 4);
  EXPECT_EQ(MessageBoxGlyph("Copy X"), 4);
  EXPECT_EQ(MessageBoxGlyph("Move"), 5);
  EXPECT_EQ(MessageBoxGlyph("Save and Continue"), 0);  // first rule wins
  EXPECT_EQ(MessageBoxGlyph("TAB"), -1);
  EXPECT_EQ(MessageBoxGlyph("SPACE"), -1);

  EXPECT_TRUE(MessageBoxKey(mbKeyEnter).close);
  EXPECT_EQ(MessageBoxKey(mbKeyEnter).result, 0);
  EXPECT_EQ(MessageBoxKey(mbKeySpace).result, 0);
  EXPECT_TRUE(MessageBoxKey(mbKeyEscape).close);
  EXPECT_EQ(MessageBoxKey(mbKeyEscape).result, -1);
  EXPECT_EQ(MessageBoxKey('1').result, 0);
  EXPECT_EQ(MessageBoxKey('9').result, 8);
  EXPECT_FALSE(MessageBoxKey('0').close);
  EXPECT_FALSE(MessageBoxKey('A').close);
}

TEST(MessageBoxRules, LayoutAndPlacement) {
  // One short line: the area reaches the icon's bottom and the design width.
  TMessageBoxLayout l = MessageBoxArrange(150, 30, 1);
  EXPECT_EQ(l.areaHeight, mbIconTop + mbIconHeight);
  EXPECT_EQ(l.areaWidth, mbDesignClientWidth - 6);
  EXPECT_EQ(l.stripTop, l.areaHeight + 8);
  EXPECT_EQ(l.clientHeight, l.stripTop + 32);
  EXPECT_EQ(l.clientWidth, l.areaWidth + 8);
  ASSERT_EQ(l.buttons.size(), 1u);
  EXPECT_EQ(l.buttons[0].left, 4);
  EXPECT_EQ(l.buttons[0].top, l.stripTop + 4);
  EXPECT_EQ(l.buttons[0].width, 80);
  EXPECT_EQ(l.buttons[0].height, 26);

  // A long message sets the width; buttons follow each other 84 apart.
  l = MessageBoxArrange(500, 200, 3);
  EXPECT_EQ(l.clientWidth, 508);
  EXPECT_EQ(l.stripTop, 208);
  EXPECT_EQ(l.buttons[2].left, 4 + 2 * 84);

  // Five buttons widen the window to their end and the area with it.
  l = MessageBoxArrange(150, 30, 5);
  EXPECT_GE(l.clientWidth, 4 + 5 * 84);
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
  EXPECT_EQ(AnswerWithKey(Qt::Key_Enter), 0);
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

  // The shorthands map their answers.
  WhenModal([](QWidget *box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_FALSE(DisplayYesNo("|bSure?"));
  WhenModal([](QWidget *box) { QTest::keyClick(box, Qt::Key_Return); });
  EXPECT_TRUE(DisplayOKCancel("|bSure?"));
  WhenModal([](QWidget *box) { QTest::keyClick(box, Qt::Key_2); });
  EXPECT_FALSE(DisplayOKCancel("|bSure?"));
}

TEST_F(MessageBox, ClicksLayoutAndGlyphs) {
  for (int index = 0; index < 4; ++index) {
    std::vector<int32_t> lefts;
    std::vector<int32_t> widths;
    std::vector<QImage> glyphs;
    WhenModal([&, index](QWidget *modal) {
      auto *box = qobject_cast<TMessageBoxForm *>(modal);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->Kind(), mbQuestion);
      for (TBtnTransparent *b : box->Buttons()) {
        lefts.push_back(b->x());
        widths.push_back(b->width());
        glyphs.push_back(b->Glyph().toImage());
      }
      QTest::mouseClick(box->Buttons()[index], Qt::LeftButton);
    });
    EXPECT_EQ(DisplayMany(mbQuestion, "|b|4Copy or Move?", "Copy,Move,Copy X,Cancel"), index);
    EXPECT_EQ(lefts, (std::vector<int32_t>{4, 88, 172, 256}));
    EXPECT_EQ(widths, (std::vector<int32_t>{80, 80, 80, 80}));
    ASSERT_EQ(glyphs.size(), 4u);
    EXPECT_EQ(glyphs[0], MessageBoxGlyphImage(4).toImage());
    EXPECT_EQ(glyphs[1], MessageBoxGlyphImage(5).toImage());
    EXPECT_EQ(glyphs[2], MessageBoxGlyphImage(4).toImage());  // "Copy X" is a copy
    EXPECT_EQ(glyphs[3], MessageBoxGlyphImage(1).toImage());
  }

  // Five buttons: the window is at least 4 + 5 x 84 wide; one button sits at 4.
  TMessageBoxForm five(mbInformation, "x", "A,B,C,D,E");
  EXPECT_GE(five.width() - 2 * TMessageBoxForm::Frame, 4 + 5 * 84);
  TMessageBoxForm one(mbError, "|1|bERROR: x", "OK");
  ASSERT_EQ(one.Buttons().size(), 1u);
  EXPECT_EQ(one.Buttons()[0]->geometry(), QRect(4, 4, 80, 26));
  EXPECT_TRUE(one.Buttons()[0]->Glyph().toImage() == MessageBoxGlyphImage(0).toImage());
  // The message sets the size: a taller text pushes the strip down.
  TMessageBoxForm tall(mbInformation, "a|nb|nc|nd|ne|nf", "OK");
  EXPECT_GT(tall.Layout().stripTop, one.Layout().stripTop);
  EXPECT_EQ(tall.Box->y(), TMessageBoxForm::Frame + tall.Layout().stripTop);

  // Each kind paints its own icon.
  QImage icons[3];
  for (uint8_t kind = 0; kind < 3; ++kind) {
    icons[kind] = QImage(mbIconWidth, mbIconHeight, QImage::Format_RGB32);
    icons[kind].fill(Qt::gray);
    QPainter p(&icons[kind]);
    PaintMessageBoxIcon(p, kind, mbIconWidth, mbIconHeight);
  }
  EXPECT_EQ(icons[0].pixelColor(5, 25), QColor(0, 0, 255));   // blue ellipse
  EXPECT_EQ(icons[1].pixelColor(8, 40), QColor(255, 0, 0));   // red triangle
  EXPECT_EQ(icons[2].pixelColor(5, 25), QColor(255, 255, 0));  // yellow octagon
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
  EXPECT_STREQ(TEditStringForm::HistoryKey, "EditStringFormEdit");

  delete EditStringForm;
  EditStringForm = nullptr;
}

// Screenshots of the finished windows, written when TROVIX_SHOT_DIR names a
// folder.
TEST_F(MessageBox, Screenshots) {
  const QByteArray dir = qgetenv("TROVIX_SHOT_DIR");
  if (dir.isEmpty()) GTEST_SKIP() << "TROVIX_SHOT_DIR not set";
  QDir().mkpath(QString::fromUtf8(dir));
  auto shoot = [&](const char *name) {
    return [name, dir](QWidget *modal) {
      modal->grab().save(QString::fromUtf8(dir) + "/" + name);
      QTest::keyClick(modal, Qt::Key_Escape);
    };
  };
  WhenModal(shoot("message_box_copy_or_move.png"));
  DisplayMany(mbQuestion, "|b|4Copy or Move?", "Copy,Move,Copy X,Cancel");
  WhenModal(shoot("message_box_error.png"));
  DisplayError("|1|bERROR: Can not Open file |u/home/user/Documents/report.txt|u");
  WhenModal(shoot("message_box_message.png"));
  DisplayMessage(
      "|bSource: |b/home/user/a.txt|n|t12,345 bytes|n|t6 Dec 2026  20:02:07|n|n"
      "|bDestination: |b/media/usb/a.txt|n|t|b|1CAN NOT BE OPENED OR DOES NOT EXIST");
  EditStringForm = new TEditStringForm();
  EditStringForm->Edit->addItems({"/home/user/Music", "/media/usb"});
  WhenModal([dir](QWidget *modal) {
    modal->grab().save(QString::fromUtf8(dir) + "/edit_string_prompt.png");
    QTest::keyClick(EditStringForm->Edit->lineEdit(), Qt::Key_Escape);
  });
  std::string path = "/home/user/Documents/";
  EditString("|b|4Enter New Path", path);
  delete EditStringForm;
  EditStringForm = nullptr;
}

}  // namespace
}  // namespace trovix
