#include "browser/browse_tabs.h"

#include <gtest/gtest.h>

#include "browser/launch_commands.h"
#include "foundation/platform.h"

using namespace trovix;

namespace {

// A tab row over a vector of captions that records the events it fires.
class FakeRow : public TTabRow {
 public:
  explicit FakeRow(std::vector<std::string> captions, int32_t index = 0)
      : captions_(std::move(captions)), index_(index) {
    LastIndex = index;
    OnFill = [this](int32_t i) { events.push_back("fill " + std::to_string(i)); };
    OnRead = [this](int32_t i) { events.push_back("read " + std::to_string(i)); };
    OnSwapData = [this](int32_t i, int32_t j) {
      events.push_back("swap " + std::to_string(i) + " " + std::to_string(j));
      SwapTabStates(i, j);
    };
  }
  int32_t TabCount() const override { return static_cast<int32_t>(captions_.size()); }
  std::string Caption(int32_t i) const override { return captions_[static_cast<size_t>(i)]; }
  void SetCaption(int32_t i, const std::string &c) override { captions_[static_cast<size_t>(i)] = c; }
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
void SetStates() {
  TabStates.clear();
  EnsureTabStates(5);
  const char *names[] = {"A", "B", "C"};
  for (int i = 0; i < 3; ++i) {
    TabStates[i].Folder = std::string("/") + names[i] + "/";
    TabStates[i].CurrentFile = std::string("file") + names[i];
    TabStates[i].EntryCount = i;
  }
}

std::vector<std::string> Folders() {
  std::vector<std::string> folders;
  for (const TabState &t : TabStates) folders.push_back(t.Folder);
  return folders;
}

}  // namespace

TEST(TabRow, ChoosingClosingAndDropping) {
  SetStates();
  FakeRow row({"A", "B", "C", ""});
  // A click on another tab reads the one left and fills the new one; a click
  // on the tab on show does nothing.
  row.SetTabIndex(1);
  row.TabChosen();
  row.TabChosen();
  EXPECT_EQ(row.events, (std::vector<std::string>{"read 0", "fill 1"}));

  // Closing B walks its data to the end; A is shown; C keeps its file.
  row.events.clear();
  ASSERT_TRUE(CloseCurrentTab(row));
  EXPECT_EQ(row.events, (std::vector<std::string>{"read 1", "swap 1 2", "swap 2 3", "swap 3 4", "fill 0"}));
  EXPECT_EQ(row.Captions(), (std::vector<std::string>{"A", "C", ""}));
  EXPECT_EQ(row.TabIndex(), 0);
  EXPECT_EQ(TabStates[1].CurrentFile, "fileC");
  EXPECT_EQ(TabStates[2].Folder, "");  // the new-tab tab's own entry moved up with it
  // Closing tab 0 shows the new tab 0.
  row.SetTabIndex(0);
  ASSERT_TRUE(row.CloseTab(0));
  EXPECT_EQ(row.Captions(), (std::vector<std::string>{"C", ""}));
  EXPECT_EQ(row.LastIndex, 0);
  // The only real tab is never closed; neither is the new-tab tab, whatever
  // data its entry still holds.
  EXPECT_FALSE(CloseCurrentTab(row));
  row.SetTabIndex(1);
  TabStates[1].Folder = "/stale/";
  EXPECT_FALSE(CloseCurrentTab(row));
  EXPECT_FALSE(CloseOtherTabs(row));
  EXPECT_EQ(row.TabCount(), 2);

  // Dragging C onto A gives C, A, B, each with its own data, shown as is.
  SetStates();
  FakeRow drag({"A", "B", "C", ""}, 2);
  ASSERT_TRUE(drag.DropCurrentOn(0));
  EXPECT_EQ(drag.Captions(), (std::vector<std::string>{"C", "A", "B", ""}));
  EXPECT_EQ(Folders()[0], "/C/");
  EXPECT_EQ(TabStates[1].CurrentFile, "fileA");
  EXPECT_EQ(TabStates[2].EntryCount, 1);
  EXPECT_EQ(drag.TabIndex(), 0);
  EXPECT_EQ(drag.LastIndex, 0);
  EXPECT_EQ(drag.events, (std::vector<std::string>{"swap 2 1", "swap 1 0"}));
  // Back to the right, and never onto the new-tab tab or outside the row.
  ASSERT_TRUE(drag.DropCurrentOn(2));
  EXPECT_EQ(drag.Captions(), (std::vector<std::string>{"A", "B", "C", ""}));
  EXPECT_FALSE(drag.DropCurrentOn(3));
  EXPECT_FALSE(drag.DropCurrentOn(-1));
  EXPECT_FALSE(drag.AcceptsTabDrop(3));
}

TEST(TabRow, CloseOthersAndToTheRight) {
  SetStates();
  TabStates[1].Folder = "/a, b c/";
  FakeRow row({"A", "/a, b c", "C", ""}, 1);
  ASSERT_TRUE(CloseOtherTabs(row));
  EXPECT_EQ(row.Captions(), (std::vector<std::string>{"/a, b c", ""}));
  EXPECT_EQ(TabStates[0].Folder, "/a, b c/");
  EXPECT_EQ(TabStates[0].CurrentFile, "fileB");
  EXPECT_EQ(row.TabIndex(), 0);
  EXPECT_EQ(row.LastIndex, 0);
  EXPECT_EQ(row.events, (std::vector<std::string>{"read 1"}));  // nothing listed again

  SetStates();
  FakeRow right({"A", "B", "C", ""}, 0);
  EXPECT_EQ(CloseTabsToTheRight(right), 2);
  EXPECT_EQ(right.Captions(), (std::vector<std::string>{"A", ""}));
  EXPECT_EQ(right.TabIndex(), 0);
  EXPECT_EQ(CloseTabsToTheRight(right), 0);
  FakeRow none({"A", "B", ""}, -1);
  EXPECT_EQ(CloseTabsToTheRight(none), 0);  // no current tab closes nothing
  EXPECT_EQ(none.TabCount(), 3);
}

TEST(TabRow, CountLine) {
  TabState tab;
  tab.ImageIndex = -1;
  EXPECT_EQ(TabCountLine(tab), "");
  tab.ImageIndex = 1;
  tab.EntryCount = 1;
  tab.TotalBytes = 12;
  EXPECT_EQ(TabCountLine(tab), "1 item: 12 Bytes");
  tab.EntryCount = 0;
  tab.TotalBytes = 0;
  EXPECT_EQ(TabCountLine(tab), "0 items: 0 Bytes");
  tab.EntryCount = 12345;
  tab.TotalBytes = 3ull << 30;
  EXPECT_EQ(TabCountLine(tab), "12,345 items: 3,072 MB");
}

TEST(SavedTabs, EncodingKeepsEveryByte) {
  EXPECT_EQ(TabListEncode("/a,b/"), "/a\x80" "b/");
  EXPECT_EQ(TabListDecode("/a\x80" "b/"), "/a,b/");
  // Byte 128 inside a UTF-8 name ("À" is C3 80) is not taken for a comma.
  EXPECT_EQ(TabListEncode("/\xC3\x80/"), "/\xC3\x81" "80/");
  EXPECT_EQ(TabListDecode("/\xC3\x81" "80/"), "/\xC3\x80/");
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  std::string stored = TabListEncode(all);
  EXPECT_EQ(stored.find(','), std::string::npos);
  EXPECT_EQ(stored.find_first_of("\r\n"), std::string::npos);
  EXPECT_EQ(TabListDecode(stored), all);
  // A damaged escape is kept as it stands.
  EXPECT_EQ(TabListDecode("a\x81" "Zq"), "a\x81" "Zq");
  EXPECT_EQ(TabListDecode("a\x81" "8"), "a\x81" "8");
}

TEST(SavedTabs, ListsKeepTabsAndFilesTogether) {
  TabStates.clear();
  EnsureTabStates(4);
  TabStates[0] = {"/x,y/", 3, 1, 1, ""};
  TabStates[1] = {"/b/", 3, 1, 1, "two,2"};
  TabStates[2] = {"/stale/", 0, 0, 0, "z"};  // the new-tab tab's entry
  FakeRow row({"/x,y", "/b", ""}, 0);
  std::string folders, files;
  TabsToSettings(row, folders, files);
  EXPECT_EQ(folders, "/x\x80y/,/b/");
  EXPECT_EQ(files, ",two\x80" "2");  // tab 0's empty file keeps its place

  std::vector<SavedTab> tabs = TabsFromSettings(folders, files);
  ASSERT_EQ(tabs.size(), 2u);
  EXPECT_EQ(tabs[0].Folder, "/x,y/");
  EXPECT_EQ(tabs[0].CurrentFile, "");
  EXPECT_EQ(tabs[1].CurrentFile, "two,2");
  EXPECT_TRUE(TabsFromSettings("", "").empty());
  EXPECT_EQ(TabsFromSettings("/a/,,/c/", "").size(), 1u);  // an empty folder ends the list

  TabStates.clear();
  std::vector<std::string> captions = RestoreTabStates(tabs);
  EXPECT_EQ(captions, (std::vector<std::string>{"/x,y", "/b", ""}));
  EXPECT_EQ(TabStates[1].Folder, "/b/");
  EXPECT_EQ(TabStates[1].ImageIndex, -1);
  EXPECT_EQ(RestoreTabStates({}), std::vector<std::string>{""});
}

TEST(LaunchCommands, NetworkMountsAndRunText) {
  const char *old = std::getenv("XDG_RUNTIME_DIR");
  std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", "/tmp/trovix-rt", 1);
  EXPECT_EQ(NetworkMountOf("/tmp/trovix-rt/gvfs/smb-share:server=s,share=d/a/b/"),
            "/tmp/trovix-rt/gvfs/smb-share:server=s,share=d/");
  EXPECT_EQ(NetworkMountOf("/tmp/trovix-rt/gvfs/sftp:host=h/"), "/tmp/trovix-rt/gvfs/sftp:host=h/");
  EXPECT_EQ(NetworkMountOf("/tmp/trovix-rt/gvfs/"), "");
  EXPECT_FALSE(FolderOnNetwork("/tmp/"));
  EXPECT_FALSE(FolderOnNetwork(""));
  if (old)
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  else
    unsetenv("XDG_RUNTIME_DIR");

  FileEntry entry;
  entry.Name = "run me.sh";
  EXPECT_EQ(RunCommandText(&entry, true), "run me.sh");
  EXPECT_EQ(RunCommandText(&entry, false), "");
  EXPECT_EQ(RunCommandText(nullptr, true), "");
}
