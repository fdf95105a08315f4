// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/settings_qt.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableWidget>

#include "foundation/platform_ui.h"
#include "foundation/settings.h"
#include "test_util.h"

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

// Stores a window's place as INIWinSave would.
void StoreWindow(const std::string &name, int left, int top, int width, int height) {
  const std::pair<const char *, int> keys[] = {
      {"Left", left}, {"Top", top}, {"Width", width}, {"Height", height}};
  for (auto [key, value] : keys) INIWriteNum("Win" + name + key, value);
}

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

  // Exactly 32 pixels left on screen are still too few.
  StoreWindow("MainForm", right + 2000, bottom - 32, 400, 250);
  INIWinLoad(&form);
  EXPECT_EQ(form.geometry(), QRect(0, 0, 400, 250));
  StoreWindow("MainForm", desk.x() - 5000, bottom - 33, 0, -3);  // past the left edge as well
  INIWinLoad(&form);
  EXPECT_EQ(form.geometry(),
            QRect(0, bottom - 33, 400, 250));  // damaged sizes keep the current size

  // Save only in the normal state.
  form.move(30, 40);
  INIWinSave(&form);
  EXPECT_EQ(INIRead("WinMainFormLeft"), "30");
  EXPECT_EQ(INIRead("WinMainFormHeight"), "250");
  form.move(1, 1);
  form.setWindowState(Qt::WindowMaximized);
  INIWinSave(&form);
  EXPECT_EQ(INIRead("WinMainFormLeft"), "30");
  EXPECT_EQ(INIRead("WinMainFormMaximized"), "1");
  form.setWindowState(Qt::WindowMinimized);
  INIWinSave(&form);
  EXPECT_EQ(INIRead("WinMainFormTop"), "40");
  // The saved maximised state comes back; a later normal close clears it.
  QWidget next;
  next.setObjectName("MainForm");
  INIWinLoad(&next);
  EXPECT_TRUE(next.windowState() & Qt::WindowMaximized);
  next.setWindowState(Qt::WindowNoState);
  INIWinSave(&next);
  EXPECT_EQ(INIRead("WinMainFormMaximized"), "0");
}

// A window that was never placed and has no stored place is left where the
// window manager puts it (a client position of 0, 0 hides its title bar).
TEST_F(SettingsQtTest, FirstStartLeavesThePlaceToTheWindowManager) {
  QWidget log;
  log.setObjectName("LogForm");
  log.resize(300, 200);
  INIWinLoad(&log);
  EXPECT_FALSE(log.testAttribute(Qt::WA_Moved));
  EXPECT_EQ(log.size(), QSize(300, 200));
  StoreWindow("LogForm", 40, 50, 320, 210);
  INIWinLoad(&log);
  EXPECT_EQ(log.geometry(), QRect(40, 50, 320, 210));
}

TEST_F(SettingsQtTest, FixedBorderKeepsDesignSize) {
  QDialog fixed;
  fixed.setObjectName("OptionsForm");
  fixed.setFixedSize(320, 180);
  StoreWindow("OptionsForm", 50, 60, 900, 700);
  INIWinLoad(&fixed);
  EXPECT_EQ(fixed.geometry(), QRect(50, 60, 320, 180));
}

TEST_F(SettingsQtTest, ColumnWidths) {
  QTableWidget grid(2, 3);
  grid.horizontalHeader()->setStretchLastSection(false);
  const int widths[] = {114, 64, 123}, loaded[] = {200, 70, 123};
  for (int c = 0; c < 3; ++c) grid.setColumnWidth(c, widths[c]);
  INIGridSave(&grid, "MainGrid");
  EXPECT_EQ(INIStore.Lines(),
            (std::vector<std::string>{"MainGrid1\t114", "MainGrid2\t64", "MainGrid3\t123"}));

  INIWrite("MainGrid2", "");  // empty: the current width stays
  INIWriteNum("MainGrid3", -1);
  INIWriteNum("MainGrid1", 200);
  grid.setColumnWidth(1, 70);
  INIGridLoad(&grid, "MainGrid");
  for (int c = 0; c < 3; ++c) EXPECT_EQ(grid.columnWidth(c), loaded[c]) << c;
}

TEST_F(SettingsQtTest, ComboHistory) {
  INIStore.SetText(
      "E.Text\ttyped\r\nE.Count\t4\r\nE.1\tfirst\r\nE.2\t\r\n"
      "E.3\tth\xc3\xafrd\r\nE.4\tlast\r\n");
  QComboBox combo;
  combo.setEditable(true);
  combo.addItem("stale");
  INIComboLoad(&combo, "E");
  auto items = [](const QComboBox &c) {
    QStringList texts;
    for (int i = 0; i < c.count(); ++i) texts << c.itemText(i);
    return texts.join("|");
  };
  EXPECT_EQ(items(combo),
            QString::fromUtf8("first|th\xc3\xafrd|last"));  // the empty item is skipped
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
  EXPECT_EQ(items(again), items(combo));
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

// Paths that are not UTF-8 stay the same bytes through the history, a save,
// a restart and a load; two that show alike stay two items.
TEST_F(SettingsQtTest, ComboHistoryKeepsBytes) {
  test::TempFolder dir("trovix-combo");
  const std::string latin1 = "/srv/caf\xe9", other = "/srv/caf\xff", ini = dir / "c.ini";
  INIInitFile(ini);
  {
    QComboBox combo;
    combo.setEditable(true);
    for (const std::string &path : {other, latin1}) {
      ComboSetText(&combo, path);
      ComboFill(&combo);
    }
    EXPECT_EQ(combo.count(), 2);
    EXPECT_EQ(ComboText(&combo), latin1);
    INIComboSave(&combo, "H");
  }
  INIUninit();
  INIInitFile(ini);  // the next run
  QComboBox combo;
  combo.setEditable(true);
  INIComboLoad(&combo, "H");
  EXPECT_EQ(ComboText(&combo), latin1);
  ASSERT_EQ(combo.count(), 2);
  EXPECT_EQ(ComboItemBytes(&combo, 0), latin1);
  EXPECT_EQ(ComboItemBytes(&combo, 1), other);
  // Chosen from the list, the older one comes back as its bytes and moves up.
  combo.setCurrentIndex(1);
  EXPECT_EQ(ComboText(&combo), other);
  ComboFill(&combo);
  EXPECT_EQ(ComboItemBytes(&combo, 0), other);
  EXPECT_EQ(combo.count(), 2);
  // Typed text is the user's UTF-8.
  combo.setEditText(QString::fromUtf8("/srv/caf\xc3\xa9"));
  EXPECT_EQ(ComboText(&combo), "/srv/caf\xc3\xa9");
  INIComboSave(&combo, "H");
  EXPECT_EQ(INIRead("H.1"), other);
  EXPECT_EQ(INIRead("H.2"), latin1);
  INIFilename.clear();
}

}  // namespace
