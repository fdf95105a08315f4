// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Browse tabs without widgets: the rules of the tab row (changing, closing,
// reordering by dragging), the main window's tab commands over TabStates,
// the second caption line of a listed tab and the open tabs as the settings
// keep them.
//
// The tab row's captions are its only data; everything else of a tab lives in
// TabStates (file_list.h), index for index with the tabs. The row always ends
// with one tab whose caption is empty, the new-tab tab.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "browser/file_list.h"

namespace trovix {

// ---- The tab row ------------------------------------------------------------

// A row of tabs as the rules see it. TTabControlSmart (browse_tabs_ui.h)
// implements it over a tab bar; tests use a plain vector of captions.
class TTabRow {
 public:
  virtual ~TTabRow() = default;

  virtual int32_t TabCount() const = 0;
  virtual std::string Caption(int32_t index) const = 0;
  virtual void SetCaption(int32_t index, const std::string &caption) = 0;
  // Appends a tab and returns its index.
  virtual int32_t AddTab(const std::string &caption) = 0;
  virtual void DeleteTab(int32_t index) = 0;
  // The current tab (-1 for none). Setting it fires no event.
  virtual int32_t TabIndex() const = 0;
  virtual void SetTabIndex(int32_t index) = 0;

  // The tab whose content is on show; -1 at creation.
  int32_t LastIndex = -1;
  // Show the content of a tab; save what the user did in a tab before it is
  // left; two tabs exchanged places, so exchange their data.
  std::function<void(int32_t index)> OnFill;
  std::function<void(int32_t index)> OnRead;
  std::function<void(int32_t index1, int32_t index2)> OnSwapData;
  // While designing, moves and closes exchange no data and fill nothing.
  bool Designing = false;

  // The row is replaced by the given captions; the current tab becomes index.
  virtual void SetTabs(const std::vector<std::string> &captions, int32_t index);

  // A tab chosen with the mouse, after the row made it current: reads the tab
  // that was on show and fills the new one when they differ.
  void TabChosen();
  // Keyboard focus left the row: the tab on show is read.
  void FocusLost();
  // Closes the tab at index: reads the tab on show, then, when at least two
  // real tabs exist before the new-tab tab, walks the closed tab's data to the
  // end, deletes the tab and shows the one before it (tab 0 when index was 0).
  // False when the close was refused.
  bool CloseTab(int32_t index);
  // A dragged tab may be dropped on target: only a tab with a caption.
  bool AcceptsTabDrop(int32_t target) const;
  // The current tab dropped on target moves there one place at a time,
  // exchanging captions and data on each step; it becomes current without
  // being filled again. False (and nothing moved) for a target that does not
  // accept the drop.
  bool DropCurrentOn(int32_t target);

 protected:
  void FireRead(int32_t index);
  void FireFill(int32_t index);
};

// ---- The main window's tab commands ----------------------------------------------

// Exchanges two entries of list.TabStates when both exist.
void SwapTabStates(TFileListState &list, int32_t i, int32_t j);
// A tab of the row that stands for a folder (not the new-tab tab).
bool IsFolderTab(const TTabRow &row, int32_t index);
// "Close Tab": closes the current tab when it is a folder tab and the row has
// at least two tabs. False when nothing was closed.
bool CloseCurrentTab(TFileListState &list, TTabRow &row);
// "Close other Tabs": the current folder tab becomes the only one (tab 0,
// with its data), followed by the new-tab tab. Nothing is listed again.
bool CloseOtherTabs(TFileListState &list, TTabRow &row);
// "Close Tabs to the right": closes every folder tab after the current one,
// one at a time; the new-tab tab stays. Returns how many were closed.
int32_t CloseTabsToTheRight(TTabRow &row);

// The second caption line of a listed tab: "12 items: 3.4 KB"; empty while
// the tab has not been listed (ImageIndex < 0).
std::string TabCountLine(const TabState &tab);

// ---- Saved tabs ----------------------------------------------------------------------

// The open tabs are saved as two comma lists, "CurrentFolders" and
// "CurrentFiles". A comma inside an item is stored as byte 128; the bytes that
// would otherwise be taken for one (byte 128 itself, as in many UTF-8 names),
// the bytes a settings line cannot hold (CR, LF) and the escape byte 129 are
// stored as byte 129 followed by two hex digits. Items keep their places:
// an empty current file still takes its field.
std::string TabListEncode(const std::string &item);
std::string TabListDecode(const std::string &stored);

struct SavedTab {
  std::string Folder;
  std::string CurrentFile;
};

// The tabs of the two lists, in order, up to the first empty folder.
std::vector<SavedTab> TabsFromSettings(const std::string &folders, const std::string &files);
// The two lists for the folder tabs of the row (tabs with a caption), from
// their TabStates entries.
void TabsToSettings(const TFileListState &list, const TTabRow &row, std::string &folders,
                    std::string &files);

// The captions of restored tabs: each folder's caption, then the empty
// new-tab tab. TabStates takes the folders and current files, images -1.
std::vector<std::string> RestoreTabStates(TFileListState &list, const std::vector<SavedTab> &tabs);

}  // namespace trovix
