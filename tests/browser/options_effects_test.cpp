// SPDX-License-Identifier: GPL-3.0-or-later
// The options window acting on the widgets that show an option: the folder
// tree and the file grid.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <fstream>

#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_tree_ui.h"
#include "dialogs/controls_ui.h"
#include "dialogs/options_form.h"
#include "dialogs/options_ui.h"
#include "foundation/settings.h"
#include "test_util.h"

using namespace trovix;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject *, QEvent *event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

class OptionsEffectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(ini, std::ios::binary) << "ColourTree\tFF\r\n";
    INIInitFile(ini);
    tree.resize(200, 200);
    tree.show();
    grid.resize(420, 200);
    grid.show();
    for (const char *name : {"a.mp3", "b.txt", "song.mid", "d.txt"}) {
      FileEntry e;
      e.Name = name;
      list.FileList.push_back(e);
    }
    grid.ShowListing();
    grid.SetRow(2);
    form = std::make_unique<TOptionsForm>();
    form->show();
    QApplication::processEvents();
  }
  void TearDown() override {
    form.reset();
    SetOptionMultimediaExtensions("mp3 wav avi");
    for (int slot = 0; slot < csCount; ++slot) SetOptionColour(slot, DefaultColour(slot));
    INIUninit();
  }
  // The colour dialog answers colour.
  void Answer(const QColor &colour) {
    form->PickColour = [colour](QColor &c) {
      c = colour;
      return true;
    };
  }
  QColor TreeBackground() {
    const QImage image = tree.viewport()->grab().toImage();
    return image.pixelColor(image.width() - 3, image.height() - 3);
  }
  QImage Icon(int32_t row) {
    const QRect cell = grid.CellRect(0, row);
    return grid.viewport()->grab().toImage().copy(cell.left(), cell.top(), 18, cell.height());
  }

  test::TempFolder home{"trovix-effects"};
  std::string ini = home / "Trovix.ini";
  TFolderTree tree;
  TFileListState list;
  TFileGrid grid{list};
  std::unique_ptr<TOptionsForm> form;
};

TEST_F(OptionsEffectsTest, TheTreeSwatchRecoloursTheTreeAtOnce) {
  EXPECT_EQ(TreeBackground(), QColor(255, 0, 0));  // the stored colour, from creation on
  Answer(QColor(0, 0, 200));
  form->bColourTree->click();
  EXPECT_EQ(TreeBackground(), QColor(0, 0, 200));
  TFolderTree later;  // a tree made afterwards starts in the colour too
  EXPECT_EQ(later.palette().color(QPalette::Base), QColor(0, 0, 200));
}

TEST_F(OptionsEffectsTest, TheOddSwatchRecoloursTheGridsOddRowsAtOnce) {
  const QRect odd = grid.CellRect(1, 3);
  const QRect even = grid.CellRect(1, 4);
  Answer(QColor(12, 34, 56));
  QApplication::processEvents();
  PaintCounter counter(grid.viewport());
  form->bColourOdd->click();
  QApplication::processEvents();
  EXPECT_GT(counter.paints, 0);  // the grid repaints by itself
  const QImage image = grid.viewport()->grab().toImage();
  EXPECT_EQ(image.pixelColor(odd.left() + 3, odd.bottom() - 1), QColor(12, 34, 56));
  EXPECT_EQ(image.pixelColor(even.left() + 3, even.bottom() - 1), OptionQColor(csEven));
}

TEST_F(OptionsEffectsTest, MidTypedAndLeftGivesMidFilesTheMultimediaIcon) {
  // Rows 1 (a.mp3) and 3 (song.mid) share the odd rows' background.
  EXPECT_NE(Icon(3), Icon(1));
  form->activateWindow();
  form->eMultimediaExtensions->setFocus();
  form->eMultimediaExtensions->end(false);
  QTest::keyClicks(form->eMultimediaExtensions, " mid");
  QApplication::processEvents();
  PaintCounter counter(grid.viewport());
  form->eTabSize->Edit()->setFocus();  // leaves the edit
  QApplication::processEvents();
  EXPECT_GT(counter.paints, 0);  // the grid repaints by itself
  EXPECT_EQ(Icon(3), Icon(1));
}

TEST_F(OptionsEffectsTest, FontsFollowTheSelectors) {
  form->fSelectFontItems->eFontSize->SetValue(15);
  form->fSelectFontFolders->cbFontBold->click();
  EXPECT_EQ(grid.font().pointSize(), 15);
  EXPECT_TRUE(tree.font().bold());
  EXPECT_FALSE(grid.font().bold());
}

}  // namespace
