// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/file_list.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "dialogs/options.h"
#include "foundation/file_system.h"
#include "test_util.h"

using namespace trovix;

namespace {

using Strings = std::vector<std::string>;

FileEntry Entry(const std::string &name, uint32_t attr = 0, uint64_t size = 0, int64_t time = 0) {
  FileEntry e;
  e.Name = name;
  e.Attributes = attr;
  e.Size = size;
  e.LastWrite = time;
  return e;
}

class FileListTest : public ::testing::Test {
 protected:
  void SetList(std::vector<FileEntry> entries) { list.FileList = std::move(entries); }

  Strings Names() {
    Strings names;
    for (const FileEntry &e : list.FileList) names.push_back(e.Name);
    return names;
  }

  std::vector<int32_t> MarkedRows() {
    std::vector<int32_t> rows;
    for (int32_t i = 0; i < list.FileCount(); ++i)
      if (list.FileList[i].Selected) rows.push_back(i + 1);
    return rows;
  }

  TFileListState list;
  test::TempFolder dir{"trovix-filelist"};
  const std::string d = dir.path();
};

}  // namespace

TEST_F(FileListTest, ListsAFolderInTwoPasses) {
  test::WriteAll(d + "b.txt", "abc");
  test::WriteAll(d + "A.doc", "0123456789");
  test::WriteAll(d + ".hidden", "x");
  test::WriteAll(d + "locked", "1234");
  ASSERT_TRUE(FsSetReadOnly(d + "locked", true));
  ASSERT_TRUE(FsCreateFolders(d + "zdir"));
  ASSERT_TRUE(FsCreateFolders(d + "Adir"));
  test::WriteAll(d + "zdir/inner", "not listed");

  TabState tab;
  tab.Folder = d;
  EXPECT_TRUE(list.ListTabFolder(tab));
  EXPECT_EQ(list.ListedFolder, d);
  EXPECT_EQ(tab.EntryCount, 6);
  EXPECT_EQ(list.FileCount(), 6);
  EXPECT_EQ(list.FileList.size(), list.FileList.capacity());  // one exact allocation
  EXPECT_EQ(tab.TotalBytes, 3u + 10u + 1u + 4u);              // folders count 0
  // Folders first, then names ignoring case; hidden files are listed.
  EXPECT_EQ(Names(), (Strings{"Adir", "zdir", ".hidden", "A.doc", "b.txt", "locked"}));
  EXPECT_NE(list.FileList[0].Attributes & faDirectory, 0u);
  EXPECT_NE(list.FileList[2].Attributes & faHidden, 0u);
  EXPECT_NE(list.FileList[5].Attributes & faReadOnly, 0u);
  EXPECT_GT(list.FileList[4].LastWrite, FileTimeFromUnixNs(0));
  FsSetReadOnly(d + "locked", false);

  // An empty folder has one empty data row; a missing one lists nothing.
  ASSERT_TRUE(FsCreateFolders(d + "empty"));
  tab.Folder = d + "empty/";
  EXPECT_TRUE(list.ListTabFolder(tab));
  EXPECT_EQ(tab.EntryCount, 0);
  EXPECT_EQ(tab.TotalBytes, 0u);
  EXPECT_EQ(FileGridRowCount(tab.EntryCount), 2);
  uint64_t total = 7;
  EXPECT_FALSE(list.ReadFileList(d + "missing/", total));
  EXPECT_EQ(list.FileCount(), 0);
  EXPECT_EQ(total, 0u);

  // "." and ".." folders never enter the list; a file so named would.
  EXPECT_FALSE(FileEntryListed(".", faDirectory));
  EXPECT_FALSE(FileEntryListed("..", faDirectory));
  EXPECT_TRUE(FileEntryListed("..", 0));
  EXPECT_TRUE(FileEntryListed(".x", faDirectory));
}

TEST_F(FileListTest, FolderWithNonUtf8NameIsListedAndEntered) {
  const std::string bad = "bad\xFF\xFEname";
  ASSERT_TRUE(FsCreateFolders(d + bad));
  test::WriteAll(d + bad + "/inside.txt", "hello");
  TabState tab;
  tab.Folder = d;
  ASSERT_TRUE(list.ListTabFolder(tab));
  ASSERT_EQ(list.FileCount(), 1);
  EXPECT_EQ(list.FileList[0].Name, bad);
  tab.Folder = d + list.FileList[0].Name + "/";
  EXPECT_TRUE(list.ListTabFolder(tab));
  ASSERT_EQ(list.FileCount(), 1);
  EXPECT_EQ(list.FileList[0].Name, "inside.txt");
  EXPECT_EQ(tab.TotalBytes, 5u);
  EXPECT_EQ(FolderCaption(tab.Folder), "/../" + bad);
}

TEST_F(FileListTest, FourSortOrdersAreStable) {
  const int64_t day = 864000000000;
  const std::vector<FileEntry> listing = {
      Entry("b.txt", 0, 300, 5 * day),         Entry("sub", faDirectory, 0, 1 * day),
      Entry("A.txt", 0, 100, 9 * day),         Entry("a.TXT", 0, 100, 9 * day),
      Entry("z.c", 0, 5ull << 32, 2 * day),    Entry("a.cpp", 0, 1, 8 * day),
      Entry("README", 0, 1ull << 32, 3 * day), Entry("Old", faDirectory, 0, 10 * day),
  };
  auto sorted = [&](int32_t mode) {
    SetList(listing);
    list.SortMode = mode;
    list.SortFileList();
    return Names();
  };
  // Equal names ignoring case keep their listing order.
  EXPECT_EQ(sorted(smName),
            (Strings{"Old", "sub", "a.cpp", "A.txt", "a.TXT", "b.txt", "README", "z.c"}));
  // Extension order compares extension + name as one key: ".cpp" + "a.cpp"
  // comes before ".c" + "z.c" because "p" < "z"; a name without extension is
  // its own key, so "README" follows the keys that start with ".".
  EXPECT_EQ(sorted(smExtension),
            (Strings{"Old", "sub", "a.cpp", "z.c", "A.txt", "a.TXT", "b.txt", "README"}));
  // Size order, smallest first: sizes far apart beyond 32 bits still order.
  EXPECT_EQ(sorted(smSize),
            (Strings{"sub", "Old", "a.cpp", "A.txt", "a.TXT", "b.txt", "README", "z.c"}));
  // Date order, newest first, folders and files mixed.
  EXPECT_EQ(sorted(smDate),
            (Strings{"Old", "A.txt", "a.TXT", "a.cpp", "b.txt", "README", "z.c", "sub"}));

  // ".." always goes first, whatever the order.
  SetList({Entry("a"), Entry("..", 0, 9, 0), Entry("b", faDirectory)});
  for (int32_t mode = smName; mode <= smDate; ++mode) {
    list.SortMode = mode;
    list.SortFileList();
    EXPECT_EQ(list.FileList[0].Name, "..") << mode;
  }
  EXPECT_EQ(CompareFileEntries(Entry(".."), Entry(".."), smName), 0);
}

TEST_F(FileListTest, HeaderClicksChooseTheOrder) {
  // Transitions the clicks below and the grid test do not make.
  EXPECT_EQ(HeaderClickSortMode(0, smExtension), smName);
  EXPECT_EQ(HeaderClickSortMode(2, smSize), smDate);
  EXPECT_EQ(HeaderClickSortMode(7, smDate), smDate);

  SetList({Entry("a.z", 0, 3, 1), Entry("b.y", 0, 1, 3), Entry("c.x", 0, 2, 2)});
  // Row 2 (b.y) is current; after sorting by size it is row 1 and marked.
  EXPECT_EQ(list.SortByHeader(1, 2), 1);
  EXPECT_EQ(list.SortMode, smSize);
  EXPECT_EQ(Names(), (Strings{"b.y", "c.x", "a.z"}));
  EXPECT_EQ(MarkedRows(), (std::vector<int32_t>{1}));
  list.SortMode = smName;
  EXPECT_EQ(list.SortByHeader(0, 1), 2);  // Name in name order: extension order, b.y still current
  EXPECT_EQ(Names(), (Strings{"c.x", "b.y", "a.z"}));
}

TEST_F(FileListTest, CaptionsAndSelectByName) {
  EXPECT_EQ(FolderCaption("/"), "/");
  EXPECT_EQ(FolderCaption("/usr/"), "/usr");
  EXPECT_EQ(FolderCaption(""), "");

  SetList({Entry("Readme"), Entry("README"), Entry("other")});
  EXPECT_EQ(list.SelectByName("", 3), 3);  // empty: nothing changes
  EXPECT_EQ(list.MarkedCount(), 0);
  EXPECT_EQ(list.SelectByName("README", 3), 2);  // the exact name wins
  EXPECT_EQ(list.SelectByName("OTHER", 1), 3);   // else ignoring case
  EXPECT_EQ(MarkedRows(), (std::vector<int32_t>{2, 3}));
  list.MarkAll(false);
  EXPECT_EQ(list.SelectByName("gone", 3), 1);  // no such entry: row 1, no mark
  EXPECT_EQ(list.MarkedCount(), 0);
}

// Plain, Ctrl and Shift clicks, dragged marks, drag starts, double clicks and
// the middle button on a folder run through the grid's mouse tests; these are
// the cases they leave out.
TEST_F(FileListTest, MarkingByClickCtrlShiftAndDrag) {
  SetList({Entry("a"), Entry("b"), Entry("c"), Entry("d"), Entry("e"), Entry("f", faDirectory)});
  auto click = [this](int32_t row, bool ctrl = false) {
    list.ClickCredit = 0;
    list.GridMouseDown(row, false, ctrl);
    return list.GridMouseUp(MouseButton::Left, row, ctrl);
  };
  click(2);
  click(4, true);
  click(5, true);
  ASSERT_EQ(MarkedRows(), (std::vector<int32_t>{2, 4, 5}));
  // Ctrl+click on a marked row unmarks it at the release.
  list.ClickCredit = 0;
  EXPECT_EQ(list.GridMouseDown(5, false, true), GridAction::None);
  EXPECT_TRUE(list.DragPending);
  EXPECT_EQ(list.GridMouseUp(MouseButton::Left, 5, true), GridAction::Repaint);
  EXPECT_EQ(MarkedRows(), (std::vector<int32_t>{2, 4}));
  // A plain click on a marked row keeps only that row at the release.
  list.ClickCredit = 0;
  list.GridMouseDown(4, false, false);
  EXPECT_EQ(MarkedRows(), (std::vector<int32_t>{2, 4}));
  list.GridMouseUp(MouseButton::Left, 4, false);
  EXPECT_EQ(MarkedRows(), (std::vector<int32_t>{4}));
  // Dragging from an unmarked row marks every row passed, both ways.
  list.ClickCredit = 0;
  list.GridMouseDown(2, false, false);
  EXPECT_EQ(list.GridMouseMove(4), GridAction::Repaint);
  list.GridMouseMove(-1);  // outside the rows: nothing
  EXPECT_EQ(list.GridMouseMove(1), GridAction::Repaint);
  EXPECT_EQ(MarkedRows(), (std::vector<int32_t>{1, 2, 3, 4}));
  list.GridMouseUp(MouseButton::Left, 1, false);
  // A press on a row without an entry changes nothing.
  EXPECT_EQ(list.GridMouseDown(9, false, false), GridAction::None);
  EXPECT_EQ(list.GridMouseDown(0, false, false), GridAction::None);

  // Select None, space, Select to here.
  list.MarkAll(false);
  EXPECT_TRUE(list.ToggleMark(3));
  EXPECT_FALSE(list.ToggleMark(7));
  EXPECT_TRUE(list.SelectToHere(5, 2));
  EXPECT_EQ(MarkedRows(), (std::vector<int32_t>{2, 3, 4, 5}));
  EXPECT_FALSE(list.SelectToHere(5, 0));  // the header is not a data row
  SetList({Entry("only")});
  EXPECT_FALSE(list.SelectToHere(1, 1));  // needs two entries

  // Double clicks: three moves between the clicks still make one; a right
  // click in between takes the credit away; on the header nothing is viewed.
  SetList({Entry("a"), Entry("b"), Entry("dir", faDirectory)});
  click(2);
  for (int i = 0; i < 3; ++i) list.GridMouseMove(2);
  list.GridMouseDown(2, false, true);
  EXPECT_EQ(list.GridMouseUp(MouseButton::Left, 2, true), GridAction::OpenFile);
  EXPECT_EQ(list.ClickCredit, 0);
  EXPECT_EQ(list.AnchorRow, -1);
  click(1);
  list.GridMouseUp(MouseButton::Right, 1, false);
  list.GridMouseDown(1, false, false);
  EXPECT_NE(list.GridMouseUp(MouseButton::Left, 1, false), GridAction::ViewFile);
  list.ClickCredit = 0;
  list.GridMouseUp(MouseButton::Left, 0, false);
  EXPECT_EQ(list.GridMouseUp(MouseButton::Left, 0, false), GridAction::None);
  EXPECT_EQ(list.ClickCredit, 0);
  // Middle button: a file is viewed; outside the rows nothing happens.
  EXPECT_EQ(list.GridMouseUp(MouseButton::Middle, 2, false), GridAction::ViewRow);
  EXPECT_EQ(list.GridMouseUp(MouseButton::Middle, 8, false), GridAction::None);
}

// A miss beeping and starting afresh, and the typed text living while the
// search moves the row, run through the grid's key test.
TEST_F(FileListTest, TypeAheadAndRepeatWrapAround) {
  SetList({Entry("alpha"), Entry("xAByz"), Entry("beta"), Entry("cab"), Entry("delta")});
  bool beep = false;
  // "ab" anywhere in the name, ignoring case, from the current row on.
  EXPECT_EQ(list.TypeAheadChar('a', 2, beep), 2);
  EXPECT_EQ(list.TypeAheadChar('b', 2, beep), 2);
  EXPECT_EQ(list.RepeatSearch(2, beep), 4);
  EXPECT_FALSE(beep);
  // Starting from the last row wraps to the first.
  list.TypeAheadText.clear();
  EXPECT_EQ(list.TypeAheadChar('l', 5, beep), 5);
  EXPECT_EQ(list.TypeAheadChar('p', 5, beep), 1);
  EXPECT_FALSE(beep);
  // With no text F3 moves one row down, wrapping after the last.
  list.TypeAheadText.clear();
  EXPECT_EQ(list.RepeatSearch(5, beep), 1);
  // Only characters 33..127 search.
  EXPECT_EQ(list.TypeAheadChar(' ', 1, beep), 0);
  EXPECT_EQ(list.TypeAheadChar('\xE9', 1, beep), 0);
  EXPECT_TRUE(list.TypeAheadText.empty());

  SetList({});
  EXPECT_EQ(list.TypeAheadChar('a', 1, beep), 0);
  EXPECT_EQ(list.RepeatSearch(1, beep), 0);
}

TEST_F(FileListTest, IconsAndDates) {
  EXPECT_EQ(FileIconIndex("x", faDirectory, false, ""), fiIconFolder);
  EXPECT_EQ(FileIconIndex("x.exe", faDirectory, true, ""), fiIconNetworkFolder);
  EXPECT_EQ(FileIconIndex("run.cmd", faReadOnly, false, ""), fiIconProgram);
  EXPECT_EQ(FileIconIndex("photo.JPeg", 0, false, ""), fiIconPicture);
  EXPECT_EQ(FileIconIndex("song.mid", 0, false, "mp3, mid"), fiIconMultimedia);
  EXPECT_EQ(FileIconIndex("Desk.LNK", 0, false, ""), fiIconShortcut);
  EXPECT_EQ(FileIconIndex("exe", 0, false, "exe"), fiIconFile);  // no "." means no extension
  SetOptionMultimediaExtensions("ogg");                          // without a list: the options' one
  EXPECT_EQ(FileIconIndex("a.wav", 0, false), fiIconFile);
  EXPECT_EQ(FileIconIndex("a.OGG", 0, false), fiIconMultimedia);
  SetOptionMultimediaExtensions("mp3 wav avi");

  {
    test::ScopedEnv utc("TZ", "UTC");
    tzset();
    std::string date, time;
    // 2024-03-07 09:05:03 UTC.
    ASSERT_TRUE(FileDateText(FileTimeFromUnixNs(1709802303LL * 1000000000LL), date, time));
    EXPECT_EQ(date, "2024 Mar 07");
    EXPECT_EQ(time, "09:05:03");
    ASSERT_TRUE(FileDateText(FileTimeFromUnixNs(0), date, time));
    EXPECT_EQ(date, "1970 Jan 01");
    EXPECT_EQ(time, "00:00:00");
    EXPECT_FALSE(FileDateText(-1, date, time));
    EXPECT_FALSE(FileDateText(INT64_MAX, date, time));
  }
  tzset();
}
