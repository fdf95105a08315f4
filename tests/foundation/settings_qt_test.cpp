#include "foundation/settings_qt.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableWidget>
#include <QTreeWidget>

#include "foundation/settings.h"

using namespace trovix;

namespace {

class SettingsQtTest : public testing::Test {
 protected:
  void SetUp() override {
    INIFilename.clear();
    INIStore.Clear();
  }
  void TearDown() override { INIStore.Clear(); }
};

TEST_F(SettingsQtTest, WindowPositionIsKeptOnScreen) {
  QRect desk = QGuiApplication::primaryScreen()->virtualGeometry();
  int right = desk.x() + desk.width();
  int bottom = desk.y() + desk.height();

  QWidget form;
  form.setObjectName("MainForm");
  form.setGeometry(10, 20, 300, 200);
  INIWinLoad(&form);  // nothing stored: the current values, keys listed
  EXPECT_EQ(form.pos(), QPoint(10, 20));
  EXPECT_EQ(INIStore.Lines(), (std::vector<std::string>{"WinMainFormLeft", "WinMainFormTop",
                                                         "WinMainFormWidth", "WinMainFormHeight"}));

  INIWriteNum("WinMainFormLeft", right + 2000);
  INIWriteNum("WinMainFormTop", bottom - 32);  // exactly 32 pixels left: still too few
  INIWriteNum("WinMainFormWidth", 400);
  INIWriteNum("WinMainFormHeight", 250);
  INIWinLoad(&form);
  EXPECT_EQ(form.pos(), QPoint(0, 0));
  EXPECT_EQ(form.size(), QSize(400, 250));

  INIWriteNum("WinMainFormLeft", desk.x() - 5000);  // past the left edge as well
  INIWriteNum("WinMainFormTop", bottom - 33);
  INIWinLoad(&form);
  EXPECT_EQ(form.pos(), QPoint(0, bottom - 33));

  // Damaged sizes keep the current size.
  INIWriteNum("WinMainFormWidth", 0);
  INIWriteNum("WinMainFormHeight", -3);
  INIWinLoad(&form);
  EXPECT_EQ(form.size(), QSize(400, 250));

  // Save only in the normal state.
  form.move(30, 40);
  INIWinSave(&form);
  EXPECT_EQ(INIRead("WinMainFormLeft"), "30");
  EXPECT_EQ(INIRead("WinMainFormHeight"), "250");
  form.move(1, 1);
  form.setWindowState(Qt::WindowMaximized);
  INIWinSave(&form);
  EXPECT_EQ(INIRead("WinMainFormLeft"), "30");
  form.setWindowState(Qt::WindowMinimized);
  INIWinSave(&form);
  EXPECT_EQ(INIRead("WinMainFormTop"), "40");
}

TEST_F(SettingsQtTest, FixedBorderKeepsDesignSize) {
  QDialog fixed;
  fixed.setObjectName("OptionsForm");
  fixed.setFixedSize(320, 180);
  INIWriteNum("WinOptionsFormLeft", 50);
  INIWriteNum("WinOptionsFormTop", 60);
  INIWriteNum("WinOptionsFormWidth", 900);
  INIWriteNum("WinOptionsFormHeight", 700);
  INIWinLoad(&fixed);
  EXPECT_EQ(fixed.pos(), QPoint(50, 60));
  EXPECT_EQ(fixed.size(), QSize(320, 180));

  // The fixed-size hint counts as a fixed border too, without equal limits.
  QDialog hinted;
  hinted.setObjectName("OptionsForm");
  hinted.setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
  hinted.resize(330, 190);
  INIWinLoad(&hinted);
  EXPECT_EQ(hinted.pos(), QPoint(50, 60));
  EXPECT_EQ(hinted.size(), QSize(330, 190));
}

TEST_F(SettingsQtTest, ColumnWidths) {
  QTableWidget grid(2, 3);
  grid.horizontalHeader()->setStretchLastSection(false);
  grid.setColumnWidth(0, 114);
  grid.setColumnWidth(1, 64);
  grid.setColumnWidth(2, 123);
  INIGridSave(&grid, "MainGrid");
  EXPECT_EQ(INIStore.Lines(),
            (std::vector<std::string>{"MainGrid1\t114", "MainGrid2\t64", "MainGrid3\t123"}));

  INIWrite("MainGrid2", "");  // empty: the current width stays
  INIWriteNum("MainGrid3", -1);
  INIWriteNum("MainGrid1", 200);
  grid.setColumnWidth(1, 70);
  INIGridLoad(&grid, "MainGrid");
  EXPECT_EQ(grid.columnWidth(0), 200);
  EXPECT_EQ(grid.columnWidth(1), 70);
  EXPECT_EQ(grid.columnWidth(2), 123);

  QTreeWidget list;
  list.setColumnCount(2);
  list.header()->setStretchLastSection(false);
  list.setColumnWidth(0, 90);
  list.setColumnWidth(1, 45);
  INIListViewSave(&list, "Summary");
  list.setColumnWidth(0, 10);
  list.setColumnWidth(1, 10);
  INIListViewLoad(&list, "Summary");
  EXPECT_EQ(list.columnWidth(0), 90);
  EXPECT_EQ(list.columnWidth(1), 45);
}

TEST_F(SettingsQtTest, ComboHistory) {
  INIWrite("E.Text", "typed");
  INIWriteNum("E.Count", 4);
  INIWrite("E.1", "first");
  INIWrite("E.2", "");
  INIWrite("E.3", "th\xc3\xafrd");
  INIWrite("E.4", "last");
  QComboBox combo;
  combo.setEditable(true);
  combo.addItem("stale");
  INIComboLoad(&combo, "E");
  ASSERT_EQ(combo.count(), 3);  // the empty item is skipped
  EXPECT_EQ(combo.itemText(0), "first");
  EXPECT_EQ(combo.itemText(1), QString::fromUtf8("th\xc3\xafrd"));
  EXPECT_EQ(combo.itemText(2), "last");
  EXPECT_EQ(combo.currentText(), "typed");

  // Save and load again.
  combo.setEditText("now");
  INIComboSave(&combo, "E");
  EXPECT_EQ(INIReadNum("E.Count", 0), 3);
  EXPECT_EQ(INIRead("E.2"), "th\xc3\xafrd");
  EXPECT_EQ(INIRead("E.Text"), "now");
  QComboBox again;
  again.setEditable(true);
  INIComboLoad(&again, "E");
  EXPECT_EQ(again.count(), 3);
  EXPECT_EQ(again.currentText(), "now");

  // With a limit the count says how many were written.
  INIComboSave(&combo, "L", 2);
  EXPECT_EQ(INIReadNum("L.Count", 0), 2);
  EXPECT_EQ(INIStore.IndexOf("L.3"), -1);

  // A non-editable combo selects the stored text among its items.
  INIWrite("E.Text", "last");
  QComboBox fixed;
  INIComboLoad(&fixed, "E");
  EXPECT_EQ(fixed.currentIndex(), 2);

  // A damaged count does not fill the store with empty keys.
  INIWriteNum("D.Count", 2000000000);
  INIWrite("D.1", "one");
  size_t before = INIStore.Count();
  QComboBox damaged;
  damaged.setEditable(true);
  INIComboLoad(&damaged, "D");
  EXPECT_EQ(damaged.count(), 1);
  EXPECT_LE(INIStore.Count(), before + 1);  // D.Text at most
}

}  // namespace
