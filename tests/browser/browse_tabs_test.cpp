// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/browse_tabs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <chrono>

#include "browser/browse_tabs_ui.h"
#include "browser/launch_commands.h"
#include "foundation/platform.h"
#include "test_util.h"

using namespace trovix;

namespace {

using Strings = std::vector<std::string>;

// A tab row over a vector of captions that records the events it fires.
class FakeRow : public TTabRow {
 public:
  FakeRow(TFileListState &list, std::vector<std::string> captions, int32_t index = 0)
      : captions_(std::move(captions)), index_(index) {
    LastIndex = index;
    OnFill = [this](int32_t i) { events.push_back("fill " + std::to_string(i)); };
    OnRead = [this](int32_t i) { events.push_back("read " + std::to_string(i)); };
    OnSwapData = [this, &list](int32_t i, int32_t j) {
      events.push_back("swap " + std::to_string(i) + " " + std::to_string(j));
      SwapTabStates(list, i, j);
    };
  }
  int32_t TabCount() const override { return static_cast<int32_t>(captions_.size()); }
  std::string Caption(int32_t i) const override { return captions_[static_cast<size_t>(i)]; }
  void SetCaption(int32_t i, const std::string &c) override {
    captions_[static_cast<size_t>(i)] = c;
  }
  int32_t AddTab(const std::string &c) override {
    captions_.push_back(c);
    return TabCount() - 1;
  }
  void DeleteTab(int32_t i) override { captions_.erase(captions_.begin() + i); }
  int32_t TabIndex() const override { return index_; }
  void SetTabIndex(int32_t i) override { index_ = i; }

  const std::vector<std::string> &Captions() const { return captions_; }
  std::vector<std::string> events;

 private:
  std::vector<std::string> captions_;
  int32_t index_;
};

// TabStates for A, B, C and the new-tab tab, each with its current file.
void SetStates(TFileListState &list) {
  list.TabStates.clear();
  list.EnsureTabStates(5);
  const char *names[] = {"A", "B", "C"};
  for (int i = 0; i < 3; ++i) {
    list.TabStates[i].Folder = std::string("/") + names[i] + "/";
    list.TabStates[i].CurrentFile = std::string("file") + names[i];
    list.TabStates[i].EntryCount = i;
  }
}

}  // namespace

// The window tests run the tab cases on the real tab row; these are the
// edges they do not reach.
TEST(TabRow, ChoosingAgainFirstTabDropToTheRightAndNoCurrentTab) {
  TFileListState list;
  SetStates(list);
  FakeRow row(list, {"A", "B", "C", ""});
  // Choosing the tab on show again reads and fills nothing.
  row.SetTabIndex(1);
  row.TabChosen();
  row.TabChosen();
  EXPECT_EQ(row.events, (Strings{"read 0", "fill 1"}));
  // Closing tab 0 shows the new tab 0 with its own data.
  row.SetTabIndex(0);
  row.LastIndex = 0;
  ASSERT_TRUE(row.CloseTab(0));
  EXPECT_EQ(row.Captions(), (Strings{"B", "C", ""}));
  EXPECT_EQ(row.events.back(), "fill 0");
  EXPECT_EQ(list.TabStates[0].CurrentFile, "fileB");
  // Dropped to the right, the tab takes its data along.
  ASSERT_TRUE(row.DropCurrentOn(1));
  EXPECT_EQ(row.Captions(), (Strings{"C", "B", ""}));
  EXPECT_EQ(list.TabStates[1].CurrentFile, "fileB");
  EXPECT_EQ(row.LastIndex, 1);
  // Close others lists nothing again: it only reads the tab on show.
  row.events.clear();
  ASSERT_TRUE(CloseOtherTabs(list, row));
  EXPECT_EQ(row.events, Strings{"read 1"});
  EXPECT_EQ(row.Captions(), (Strings{"/B", ""}));
  // Without a current tab nothing closes.
  FakeRow none(list, {"A", "B", ""}, -1);
  EXPECT_EQ(CloseTabsToTheRight(none), 0);
  EXPECT_FALSE(CloseCurrentTab(list, none));
  EXPECT_EQ(none.TabCount(), 3);
  // A large listing's count line.
  TabState tab;
  tab.ImageIndex = 1;
  tab.EntryCount = 12345;
  tab.TotalBytes = 3ull << 30;
  EXPECT_EQ(TabCountLine(tab), "12,345 items: 3,072 MB");
}

// The comma's stored form is checked through a restart in the window tests.
TEST(SavedTabs, EncodingKeepsEveryByte) {
  // Byte 128 inside a UTF-8 name ("À" is C3 80) is escaped, not read as a comma.
  EXPECT_EQ(TabListEncode("/\xC3\x80/"),
            "/\xC3\x81"
            "80/");
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  std::string stored = TabListEncode(all);
  EXPECT_EQ(stored.find(','), std::string::npos);
  EXPECT_EQ(stored.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(TabListDecode(stored), all);
  // A damaged escape is kept as it stands.
  EXPECT_EQ(TabListDecode("a\x81"
                          "Zq"),
            "a\x81"
            "Zq");
  EXPECT_EQ(TabListDecode("a\x81"
                          "8"),
            "a\x81"
            "8");
}

// The round trip through a restart runs in the window tests.
TEST(SavedTabs, StaleNewTabDataAndEmptyLists) {
  TFileListState list;
  SetStates(list);  // the new-tab tab's entry still holds a folder
  list.TabStates[1].Folder = "/stale/";
  FakeRow row(list, {"/A", ""});
  std::string folders, files;
  TabsToSettings(list, row, folders, files);
  EXPECT_EQ(folders, "/A/");
  EXPECT_EQ(files, "fileA");
  EXPECT_TRUE(TabsFromSettings("", "").empty());
  EXPECT_EQ(TabsFromSettings("/a/,,/c/", "").size(), 1u);  // an empty folder ends the list
  EXPECT_EQ(RestoreTabStates(list, {}), Strings{""});
}

// The saved lists of many tabs: read in time proportional to their length
// (ten times the tabs nowhere near a hundred times as long), and put into a
// shown tab row whole.
TEST(SavedTabs, ManyTabsRestore) {
  auto lists = [](int n, std::string &folders, std::string &files) {
    folders.clear();
    files.clear();
    for (int i = 0; i < n; ++i) {
      folders +=
          (i ? "," : "") + TabListEncode("/home/u/projects, old/f " + std::to_string(i) + "/");
      files += (i ? "," : "") + std::string("file") + std::to_string(i) + ".txt";
    }
  };
  auto readTime = [&](int n) {
    std::string folders, files;
    lists(n, folders, files);
    auto best = std::chrono::steady_clock::duration::max();
    for (int round = 0; round < 3; ++round) {
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(TabsFromSettings(folders, files).size(), static_cast<size_t>(n));
      best = std::min(best, std::chrono::steady_clock::now() - start);
    }
    return best;
  };
  const auto small = readTime(5000), large = readTime(50000);
  EXPECT_LT(large, 30 * small + std::chrono::milliseconds(20));

  // Into a shown row: ten times the tabs, nowhere near a hundred times as long.
  QWidget window;
  TTabControlSmart row(&window);
  row.setGeometry(0, 0, 900, row.TabHeight());
  window.show();
  TFileListState list;
  auto restoreTime = [&](int n) {
    std::string folders, files;
    lists(n, folders, files);
    const auto start = std::chrono::steady_clock::now();
    row.SetTabs(RestoreTabStates(list, TabsFromSettings(folders, files)), n / 2);
    QApplication::processEvents();
    return std::chrono::steady_clock::now() - start;
  };
  const auto few = restoreTime(1000), many = restoreTime(10000);
  EXPECT_LT(many, 30 * few + std::chrono::milliseconds(200));
  ASSERT_EQ(row.TabCount(), 10001);
  EXPECT_EQ(row.Caption(10000), "");
  EXPECT_EQ(list.TabStates[9999].Folder, "/home/u/projects, old/f 9999/");
  EXPECT_EQ(list.TabStates[9999].CurrentFile, "file9999.txt");
  // Each tab as wide as its caption; the current one scrolled into view.
  EXPECT_GT(row.tabRect(1).width(), row.tabRect(10000).width());
  const QRect current = row.tabRect(5000);
  EXPECT_GE(current.left(), 0);
  EXPECT_EQ(row.TabAt(current.center()), 5000);
}

// Tabs beyond the right end: the scroll buttons cover no tab, scroll by whole
// tabs and stop at either end; a tab made current comes into view.
TEST(TabRow, ScrollsTabsThatDoNotFit) {
  QWidget window;
  TTabControlSmart row(&window);
  row.setGeometry(0, 0, 400, row.TabHeight());
  window.show();
  std::vector<std::string> captions(30, "/some/folder name");
  captions.push_back("");
  row.SetTabs(captions, 0);
  EXPECT_EQ(row.FirstShown(), 0);
  EXPECT_EQ(row.TabAt(QPoint(398, 5)), -1);  // under the right arrow
  EXPECT_EQ(row.TabAt(QPoint(row.tabRect(1).left() + 1, 5)), 1);
  row.SetTabIndex(30);
  EXPECT_GT(row.FirstShown(), 0);
  EXPECT_LE(row.tabRect(30).right(), 400);
  EXPECT_EQ(row.TabAt(row.tabRect(30).center()), 30);
  // Scrolling right at the end leaves the row; left goes back one tab.
  const auto arrows = row.findChildren<QToolButton *>();
  ASSERT_EQ(arrows.size(), 2);
  const int32_t last = row.FirstShown();
  QTest::mouseClick(arrows[1], Qt::LeftButton);
  EXPECT_EQ(row.FirstShown(), last);
  QTest::mouseClick(arrows[0], Qt::LeftButton);
  EXPECT_EQ(row.FirstShown(), last - 1);
  // Closing tabs until all fit brings the first tab back and the arrows go.
  for (int i = 0; i < 28; ++i) row.DeleteTab(0);
  EXPECT_EQ(row.FirstShown(), 0);
  EXPECT_FALSE(arrows[0]->isVisible());
  EXPECT_EQ(row.TabIndex(), 2);
}

TEST(LaunchCommands, NetworkMounts) {
  test::ScopedEnv runtime("XDG_RUNTIME_DIR", "/tmp/trovix-rt");
  EXPECT_EQ(NetworkMountOf("/tmp/trovix-rt/gvfs/smb-share:server=s,share=d/a/b/"),
            "/tmp/trovix-rt/gvfs/smb-share:server=s,share=d/");
  EXPECT_EQ(NetworkMountOf("/tmp/trovix-rt/gvfs/sftp:host=h/"), "/tmp/trovix-rt/gvfs/sftp:host=h/");
  EXPECT_EQ(NetworkMountOf("/tmp/trovix-rt/gvfs/"), "");
  EXPECT_FALSE(FolderOnNetwork("/tmp/"));
  EXPECT_FALSE(FolderOnNetwork(""));
}
