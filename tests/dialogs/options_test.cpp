// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/options.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <fstream>

#include "dialogs/controls_ui.h"
#include "dialogs/options_form.h"
#include "dialogs/options_ui.h"
#include "foundation/settings.h"
#include "foundation/strings.h"
#include "test_util.h"

namespace trovix {
namespace {

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override { Start(); }
  void TearDown() override { INIUninit(); }
  // A new run on the settings file as it is on disk.
  void Start() { INIInitFile(ini); }
  // Ends the run (the store is written) and starts the next one.
  void Restart() {
    INIBackup();
    Start();
  }
  void Write(const std::string &text) {
    std::ofstream(ini, std::ios::binary) << text;
    Start();
  }

  test::TempFolder home{"trovix-options"};
  std::string ini = home / "Trovix.ini";
};

TEST_F(OptionsTest, StoredColoursAreHexadecimalText) {
  Write("ColourTree\tFF\r\nColourOdd\t\r\nColourEven\tnot hex\r\nColourSearchOdd\t7FABCDEF\r\n");
  OptionsLoad();
  EXPECT_EQ(OptionQColor(csTree), QColor(255, 0, 0));  // "FF" is pure red
  EXPECT_EQ(OptionColour(csOdd), 15794175u);           // empty: the default
  EXPECT_EQ(OptionColour(csEven), 14286847u);          // not hexadecimal: the default
  EXPECT_EQ(OptionColour(csSearchOdd), 0xABCDEFu);     // only the colour bits
  SetOptionColour(csSearchEven, 0x123456);
  OptionsSave();
  EXPECT_EQ(INIRead("ColourTree"), "FF");
  EXPECT_EQ(INIRead("ColourSearchEven"), "123456");
  EXPECT_EQ(OptionQColor(csSearchEven), QColor(0x56, 0x34, 0x12));
  EXPECT_EQ(ColourToSystem(QColor(0x56, 0x34, 0x12)), 0x123456u);
}

TEST_F(OptionsTest, OutOfRangeValuesAreClamped) {
  Write(
      "TabSize\t0\r\nCompareThreshold\t10000\r\nFolders:FontSize\t-3\r\n"
      "Items:FontSize\t500\r\nFileView:FontSize\tbig\r\nGrtadient\tno\r\n"
      "CopyMoveWarnOlder\t2\r\nMultimediaExtensions\t\r\n");
  OptionsLoad();
  EXPECT_EQ(OptionTabSize(), 1);
  EXPECT_EQ(OptionCompareThreshold(), 100);
  EXPECT_EQ(OptionFont(fuFolders).Size, 4);
  EXPECT_EQ(OptionFont(fuItems).Size, 127);
  EXPECT_EQ(OptionFont(fuFileView).Size, 8);  // not a number: the default
  EXPECT_TRUE(OptionUseGradients());
  EXPECT_TRUE(WarnOverwriteOlder);
  EXPECT_EQ(OptionMultimediaExtensions(), "mp3 wav avi");
  EXPECT_FALSE(trovix::StrError);

  Write("TabSize\t10000\r\nCompareThreshold\t-4\r\n");
  OptionsLoad();
  EXPECT_EQ(OptionTabSize(), 100);
  EXPECT_EQ(OptionCompareThreshold(), 1);
  SetOptionTabSize(0);
  SetOptionCompareThreshold(101);
  SetOptionFont(fuItems, {"X", 1000, true});
  EXPECT_EQ(OptionTabSize(), 1);
  EXPECT_EQ(OptionCompareThreshold(), 100);
  EXPECT_EQ(OptionFont(fuItems).Size, 127);
  EXPECT_EQ(OptionColour(-1), 0u);  // a slot out of range reads nothing, writes nothing
  SetOptionColour(csCount, 1);
}

TEST_F(OptionsTest, EveryOptionRoundTripsButTheCheckSizeSwitch) {
  OptionsLoad();
  CheckSizeOnly = true;
  WarnOverwriteOlder = true;
  CopyXExclusions = ".obj .tmp";
  for (int slot = 0; slot < csCount; ++slot) SetOptionColour(slot, 0x010203u * (slot + 1));
  SetOptionUseGradients(false);
  SetOptionCompareThreshold(7);
  SetOptionTabSize(4);
  SetOptionMultimediaExtensions("mid ogg");
  SetOptionFont(fuFolders, {"DejaVu Serif", 12, true});
  SetOptionFont(fuItems, {"No Such Font", 9, false});
  SetOptionFont(fuFileView, {"DejaVu Sans Mono", 11, true});
  OptionsSave();
  Restart();
  CopyXExclusions.clear();
  OptionsLoad();
  EXPECT_FALSE(CheckSizeOnly);
  EXPECT_TRUE(WarnOverwriteOlder);
  EXPECT_EQ(CopyXExclusions, ".obj .tmp");
  for (int slot = 0; slot < csCount; ++slot) EXPECT_EQ(OptionColour(slot), 0x010203u * (slot + 1));
  EXPECT_FALSE(OptionUseGradients());
  EXPECT_EQ(OptionCompareThreshold(), 7);
  EXPECT_EQ(OptionTabSize(), 4);
  EXPECT_EQ(OptionMultimediaExtensions(), "mid ogg");
  EXPECT_EQ(OptionFont(fuFolders).Name, "DejaVu Serif");
  EXPECT_EQ(OptionFont(fuFolders).Size, 12);
  EXPECT_TRUE(OptionFont(fuFolders).Bold);
  EXPECT_EQ(OptionFont(fuItems).Name, "No Such Font");
  EXPECT_EQ(OptionFont(fuFileView).Size, 11);
  EXPECT_EQ(INIRead("Grtadient"), "0");
  EXPECT_EQ(INIRead("FileView:FontBold"), "1");
  EXPECT_EQ(INIStore.IndexOf("CheckSizeOnly"), -1);
}

TEST_F(OptionsTest, UninstalledFontsFallBackToTheDesktopFont) {
  SetOptionFont(fuItems, {"No Such Font", 14, true});
  const QFont font = OptionQFont(fuItems);
  EXPECT_FALSE(FontInstalled("No Such Font"));
  EXPECT_EQ(font.family(), QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
  EXPECT_EQ(font.pointSize(), 14);
  EXPECT_TRUE(font.bold());
}

// ---- The window ----

class OptionsFormTest : public OptionsTest {
 protected:
  void TearDown() override {
    form.reset();
    OptionsTest::TearDown();
  }
  void Open() {
    form = std::make_unique<TOptionsForm>();
    form->show();
    form->activateWindow();
    QApplication::processEvents();
  }
  // Closes the window as at the end of a run and opens the next run's.
  void Reopen() {
    form.reset();
    Restart();
    Open();
  }
  std::unique_ptr<TOptionsForm> form;
};

TEST_F(OptionsFormTest, ControlsShowTheStoredValuesAndWriteThemBack) {
  Write(
      "CopyMoveWarnOlder\t1\r\nCopyXExclusions\t.bak\r\nTabSize\t0\r\nCompareThreshold\t5\r\n"
      "Grtadient\t0\r\nItems:FontSize\t11\r\nItems:FontBold\t1\r\n");
  Open();
  EXPECT_FALSE(form->cbCheckSizeOnly->isChecked());
  EXPECT_TRUE(form->cbWarnOverwriteOlder->isChecked());
  EXPECT_EQ(form->eCopyXExclusions->text(), ".bak");
  EXPECT_EQ(form->eMinutesTollerence->Value(), 0);
  EXPECT_EQ(form->eTabSize->Text(), "1");
  EXPECT_EQ(form->eCompareThreshold->Value(), 5);
  EXPECT_FALSE(form->cbGradient->isChecked());
  EXPECT_EQ(form->eMultimediaExtensions->text(), "mp3 wav avi");
  EXPECT_EQ(form->fSelectFontItems->eFontSize->Value(), 11);
  EXPECT_TRUE(form->fSelectFontItems->cbFontBold->isChecked());

  QSignalSpy gradients(&OptionsNotifier(), &TOptionsNotifier::gradientsChanged);
  QSignalSpy textView(&OptionsNotifier(), &TOptionsNotifier::textViewChanged);
  QSignalSpy fonts(&OptionsNotifier(), &TOptionsNotifier::fontsChanged);
  form->cbCheckSizeOnly->click();
  form->cbWarnOverwriteOlder->click();
  form->cbGradient->click();
  form->eCopyXExclusions->setText(".o .a");
  // The wheel changes the value without OnChange; the option follows all the same.
  QWheelEvent wheel(QPointF(5, 5), form->eTabSize->mapToGlobal(QPointF(5, 5)), {}, {0, 120},
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(form->eTabSize, &wheel);
  form->eCompareThreshold->Edit()->setFocus();
  QTest::keyClick(form->eCompareThreshold->Edit(), Qt::Key_Up);
  form->fSelectFontItems->cbFontBold->click();
  EXPECT_TRUE(CheckSizeOnly);
  EXPECT_FALSE(WarnOverwriteOlder);
  EXPECT_TRUE(OptionUseGradients());
  EXPECT_EQ(CopyXExclusions, ".o .a");
  EXPECT_EQ(OptionTabSize(), 2);
  EXPECT_EQ(OptionCompareThreshold(), 6);
  EXPECT_FALSE(OptionFont(fuItems).Bold);
  EXPECT_EQ(gradients.count(), 1);
  EXPECT_EQ(textView.count(), 2);
  EXPECT_EQ(fonts.count(), 1);
}

TEST_F(OptionsFormTest, SwatchesPickAColourForTheirSlot) {
  Open();
  QSignalSpy colours(&OptionsNotifier(), &TOptionsNotifier::coloursChanged);
  QColor offered;
  form->PickColour = [&](QColor &colour) {
    offered = colour;
    colour = QColor(10, 20, 30);
    return true;
  };
  form->bColourSearchOdd->click();
  EXPECT_EQ(offered, QColor(236, 255, 255));
  EXPECT_EQ(OptionQColor(csSearchOdd), QColor(10, 20, 30));
  EXPECT_EQ(colours.count(), 1);

  form->PickColour = [](QColor &colour) {
    colour = Qt::black;
    return false;  // cancelled
  };
  form->bColourTree->click();
  EXPECT_EQ(OptionQColor(csTree), QColor(255, 236, 236));
  EXPECT_EQ(colours.count(), 1);
}

TEST_F(OptionsFormTest, TheMultimediaListIsAnnouncedWhenItsEditIsLeftAndEscCloses) {
  Open();
  QSignalSpy multimedia(&OptionsNotifier(), &TOptionsNotifier::multimediaChanged);
  form->eMultimediaExtensions->setFocus();
  form->eMultimediaExtensions->end(false);
  QTest::keyClicks(form->eMultimediaExtensions, " mid");
  EXPECT_EQ(OptionMultimediaExtensions(), "mp3 wav avi mid");
  EXPECT_EQ(multimedia.count(), 0);
  form->eCopyXExclusions->setFocus();
  EXPECT_EQ(multimedia.count(), 1);
  // Esc closes the window.
  form->activateWindow();
  QTest::keyClick(form->eCopyXExclusions, Qt::Key_Escape);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(OptionsFormTest, AnUninstalledFontIsShownAsTheFontInUseAndKept) {
  Write("Folders:FontName\tMS Sans Serif\r\nFolders:FontSize\t10\r\n");
  Open();
  TFrameSelectFont *frame = form->fSelectFontFolders;
  const QString used = QFontInfo(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).family();
  EXPECT_EQ(frame->cbFontName->currentText(), used);
  EXPECT_EQ(frame->pbSample->font().family(), OptionQFont(fuFolders).family());
  // Only the size changes: the stored name stays.
  frame->eFontSize->SetValue(12);
  Reopen();
  EXPECT_EQ(INIRead("Folders:FontName"), "MS Sans Serif");
  EXPECT_EQ(INIRead("Folders:FontSize"), "12");

  // Typing a beginning completes to an installed font, which becomes the choice.
  frame = form->fSelectFontFolders;
  QSignalSpy fonts(&OptionsNotifier(), &TOptionsNotifier::fontsChanged);
  frame->cbFontName->setFocus();
  frame->cbFontName->lineEdit()->selectAll();
  QTest::keyClicks(frame->cbFontName->lineEdit(), "DejaVu Ser");
  EXPECT_EQ(frame->cbFontName->currentText(), "DejaVu Serif");
  EXPECT_EQ(OptionFont(fuFolders).Name, "DejaVu Serif");
  EXPECT_EQ(QFontInfo(frame->pbSample->font()).family(), "DejaVu Serif");
  EXPECT_GE(fonts.count(), 1);
}

// Every caption fits its control and no two controls of a group overlap.
TEST_F(OptionsFormTest, EveryLabelFitsAndNothingOverlaps) {
  Open();
  const QList<QWidget *> all = form->findChildren<QWidget *>();
  for (QWidget *w : all) {
    if (!w->isVisible()) continue;
    if (qobject_cast<QLabel *>(w) || qobject_cast<QCheckBox *>(w)) {
      EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString();
    }
    QWidget *parent = w->parentWidget();
    if (!parent || !parent->rect().contains(w->geometry()))
      ADD_FAILURE() << "outside its parent: " << w->metaObject()->className();
    for (QWidget *other : all) {
      if (other != w && other->parentWidget() == parent && other->isVisible()) {
        EXPECT_FALSE(w->geometry().intersects(other->geometry()))
            << w->metaObject()->className() << " over " << other->metaObject()->className();
      }
    }
  }
}

}  // namespace
}  // namespace trovix
