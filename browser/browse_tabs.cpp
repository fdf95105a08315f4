// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/browse_tabs.h"

#include <utility>

#include "foundation/strings.h"

namespace trovix {

namespace {

constexpr char kCommaByte = static_cast<char>(0x80);
constexpr char kEscapeByte = static_cast<char>(0x81);

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

// ---- The tab row ------------------------------------------------------------

void TTabRow::FireRead(int32_t index) {
  if (index >= 0 && OnRead) OnRead(index);
}

void TTabRow::FireFill(int32_t index) {
  if (index >= 0 && OnFill) OnFill(index);
}

void TTabRow::SetTabs(const std::vector<std::string> &captions, int32_t index) {
  while (TabCount() > 0) DeleteTab(TabCount() - 1);
  for (const std::string &caption : captions) AddTab(caption);
  SetTabIndex(index);
}

void TTabRow::TabChosen() {
  int32_t index = TabIndex();
  if (index == LastIndex) return;
  FireRead(LastIndex);
  LastIndex = index;
  FireFill(LastIndex);
}

void TTabRow::FocusLost() { FireRead(LastIndex); }

bool TTabRow::CloseTab(int32_t index) {
  FireRead(LastIndex);
  const int32_t count = TabCount();
  if (index < 0 || index >= count) return false;
  if (count < 2 || Caption(1).empty()) return false;  // the only real tab stays
  // The closed tab's data walks to the end; the later tabs' data moves up.
  for (int32_t k = index; k < count; ++k)
    if (!Designing && OnSwapData) OnSwapData(k, k + 1);
  DeleteTab(index);
  SetTabIndex(index == 0 ? 0 : index - 1);
  if (!Designing) {
    LastIndex = TabIndex();
    FireFill(LastIndex);
  }
  return true;
}

bool TTabRow::AcceptsTabDrop(int32_t target) const {
  return target >= 0 && target < TabCount() && !Caption(target).empty();
}

bool TTabRow::DropCurrentOn(int32_t target) {
  int32_t current = TabIndex();
  if (!AcceptsTabDrop(target) || !AcceptsTabDrop(current)) return false;
  auto step = [this](int32_t from, int32_t to) {
    std::string caption = Caption(from);
    SetCaption(from, Caption(to));
    SetCaption(to, caption);
    if (!Designing && OnSwapData) OnSwapData(from, to);
  };
  for (; target < current; --current) step(current, current - 1);
  for (; target > current; ++current) step(current, current + 1);
  SetTabIndex(target);
  LastIndex = target;
  return true;
}

// ---- The main window's tab commands ----------------------------------------------

void SwapTabStates(TFileListState &list, int32_t i, int32_t j) {
  const auto size = static_cast<int32_t>(list.TabStates.size());
  if (i < 0 || j < 0 || i >= size || j >= size || i == j) return;
  std::swap(list.TabStates[static_cast<size_t>(i)], list.TabStates[static_cast<size_t>(j)]);
}

bool IsFolderTab(const TTabRow &row, int32_t index) {
  return index >= 0 && index < row.TabCount() && !row.Caption(index).empty();
}

namespace {

// The current tab when it is a folder tab with a folder, in a row of at least
// two tabs; -1 otherwise.
int32_t CurrentFolderTab(const TFileListState &list, const TTabRow &row) {
  int32_t index = row.TabIndex();
  if (row.TabCount() < 2 || !IsFolderTab(row, index)) return -1;
  if (index >= static_cast<int32_t>(list.TabStates.size())) return -1;
  return list.TabStates[static_cast<size_t>(index)].Folder.empty() ? -1 : index;
}

}  // namespace

bool CloseCurrentTab(TFileListState &list, TTabRow &row) {
  int32_t index = CurrentFolderTab(list, row);
  return index >= 0 && row.CloseTab(index);
}

bool CloseOtherTabs(TFileListState &list, TTabRow &row) {
  int32_t index = CurrentFolderTab(list, row);
  if (index < 0) return false;
  row.FocusLost();  // the tab on show remembers its current file first
  list.TabStates[0] = list.TabStates[static_cast<size_t>(index)];
  list.EnsureTabStates(2);
  list.TabStates[1] = TabState();
  row.SetTabs({FolderCaption(list.TabStates[0].Folder), std::string()}, 0);
  row.LastIndex = 0;
  return true;
}

int32_t CloseTabsToTheRight(TTabRow &row) {
  int32_t current = row.TabIndex();
  if (current < 0) return 0;
  int32_t closed = 0;
  for (int32_t k = current + 1; row.TabCount() - 1 > k; ++closed)
    if (!row.CloseTab(k)) break;
  return closed;
}

std::string TabCountLine(const TabState &tab) {
  if (tab.ImageIndex < 0) return std::string();
  return NumToStrCommas(tab.EntryCount) + " " + ItemWord(tab.EntryCount) + ": " +
         FormatSizeBytes(static_cast<int64_t>(tab.TotalBytes));
}

// ---- Saved tabs ----------------------------------------------------------------------

std::string TabListEncode(const std::string &item) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string stored;
  stored.reserve(item.size());
  for (char c : item) {
    if (c == ',') {
      stored += kCommaByte;
    } else if (c == kCommaByte || c == kEscapeByte || c == '\r' || c == '\n') {
      const auto b = static_cast<unsigned char>(c);
      stored += kEscapeByte;
      stored += kHex[b >> 4];
      stored += kHex[b & 15];
    } else {
      stored += c;
    }
  }
  return stored;
}

std::string TabListDecode(const std::string &stored) {
  std::string item;
  item.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    char c = stored[i];
    if (c == kCommaByte) {
      item += ',';
    } else if (c == kEscapeByte && i + 2 < stored.size() && HexValue(stored[i + 1]) >= 0 &&
               HexValue(stored[i + 2]) >= 0) {
      item += static_cast<char>(HexValue(stored[i + 1]) * 16 + HexValue(stored[i + 2]));
      i += 2;
    } else {
      item += c;
    }
  }
  return item;
}

namespace {

// The comma fields of s, found in one pass (a field per call of
// StrGetFieldComma would read the list again for every tab).
std::vector<std::string> CommaFields(const std::string &s) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t end = s.find(',', start);
    fields.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return fields;
    start = end + 1;
  }
}

}  // namespace

std::vector<SavedTab> TabsFromSettings(const std::string &folders, const std::string &files) {
  const std::vector<std::string> folderFields = CommaFields(folders);
  const std::vector<std::string> fileFields = CommaFields(files);
  std::vector<SavedTab> tabs;
  tabs.reserve(folderFields.size());
  for (size_t n = 0; n < folderFields.size(); ++n) {
    std::string folder = TabListDecode(folderFields[n]);
    if (folder.empty()) break;
    tabs.push_back({folder, n < fileFields.size() ? TabListDecode(fileFields[n]) : std::string()});
  }
  return tabs;
}

void TabsToSettings(const TFileListState &list, const TTabRow &row, std::string &folders,
                    std::string &files) {
  folders.clear();
  files.clear();
  bool first = true;
  for (int32_t i = 0; i < row.TabCount(); ++i) {
    if (row.Caption(i).empty() || i >= static_cast<int32_t>(list.TabStates.size())) continue;
    const TabState &tab = list.TabStates[static_cast<size_t>(i)];
    if (tab.Folder.empty()) continue;  // would end the list when read back
    // Joined by hand: an empty current file must keep its place in the list.
    if (!first) {
      folders += ',';
      files += ',';
    }
    first = false;
    folders += TabListEncode(tab.Folder);
    files += TabListEncode(tab.CurrentFile);
  }
}

std::vector<std::string> RestoreTabStates(TFileListState &list, const std::vector<SavedTab> &tabs) {
  std::vector<std::string> captions;
  list.EnsureTabStates(static_cast<int32_t>(tabs.size()) + 1);
  for (size_t n = 0; n < tabs.size(); ++n) {
    TabState &state = list.TabStates[n];
    state = TabState();
    state.Folder = tabs[n].Folder;
    state.CurrentFile = tabs[n].CurrentFile;
    state.ImageIndex = -1;
    captions.push_back(FolderCaption(state.Folder));
  }
  captions.emplace_back();  // the new-tab tab
  return captions;
}

}  // namespace trovix
