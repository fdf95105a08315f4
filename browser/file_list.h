// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file list of the current tab, without widgets: the listed entries, the
// per-tab records, reading a folder into the list, the sort orders, tab
// captions, marking by mouse and keyboard, the incremental search and the
// double-click rule. The grid widget (file_grid_ui.h) feeds its events in here
// and paints what the list holds.
//
// Rows are the grid's: row 0 is the header, row r >= 1 shows FileList[r-1].
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace trovix {

// One listed file or folder.
struct FileEntry {
  std::string Name;       // without path, as the folder listing gives it
  uint64_t Size = 0;      // bytes; 0 for folders
  int64_t LastWrite = 0;  // file time: 100 ns ticks since 1601, UTC
  uint32_t Attributes = 0;
  bool Selected = false;  // marked: what the file commands act on
};

// A folder read and sorted away from the list (on a worker), to be installed
// into it whole.
struct TFolderListing {
  std::string Folder;
  std::vector<FileEntry> Entries;
  uint64_t TotalBytes = 0;
  int32_t SortMode = 0;  // the order Entries are in
  bool Ok = false;       // the folder could be read
};

// Reads folder into listing and sorts it by sortMode, as ReadFileList and
// SortFileList do. cancelled (may be empty) is asked now and then: once it
// says yes the reading stops and false is returned. read (may be null)
// counts the entries read so far. Any thread.
bool ReadFolderListing(const std::string &folder, int32_t sortMode, TFolderListing &listing,
                       const std::function<bool()> &cancelled = nullptr,
                       std::atomic<int64_t> *read = nullptr);
// The first count entries of folder in sortMode order, without examining
// the others: for a first screen of a large folder while the whole listing
// is still read. Name and extension orders only (the others need every
// entry's details): false for them, when the folder cannot be read, when it
// holds no more than count entries (the whole listing is as quick) or when
// cancelled says so. total gets the number of entries.
bool ReadFolderPreview(const std::string &folder, int32_t sortMode, size_t count,
                       TFolderListing &preview, size_t &total,
                       const std::function<bool()> &cancelled = nullptr);
// Stable sort of entries in the given order.
void SortFileEntries(std::vector<FileEntry> &entries, int32_t mode);

// One per tab, indexed like the tabs.
struct TabState {
  std::string Folder;       // full path ending with PathDelim
  int32_t ImageIndex = 0;   // folder image of the tab; -1 while not listed
  int32_t EntryCount = 0;   // entries of the last listing
  uint64_t TotalBytes = 0;  // sum of their sizes
  std::string CurrentFile;  // item to make current when the tab is shown
};

enum : int32_t { smName = 0, smExtension = 1, smSize = 2, smDate = 3 };

// What a mouse event asks of the window after the list has taken it.
enum class GridAction {
  None,
  Repaint,       // marks changed
  StartDrag,     // a drag of the marked entries begins
  ViewFile,      // double click: view the current file
  OpenFile,      // double click with Ctrl: open it
  OpenInNewTab,  // middle click on a folder
  ViewRow,       // middle click on a file: make it current and view it
};
enum class MouseButton { Left, Middle, Right };

// The browse state of one window: the tabs' records, the current tab's
// entries and what the mouse, the keys and the listings leave between events.
// The window that shows the list owns it; its grid and commands share it.
// User-interface thread only.
struct TFileListState {
  std::vector<TabState> TabStates;
  std::vector<FileEntry> FileList;  // the current tab's entries
  int32_t SortMode = smName;        // not saved
  std::string PendingSelectName;    // made current by the next listing
  std::string ListedFolder;         // folder of the last successful listing
  int32_t FillDepth = 0;            // non-zero while a listing runs
  std::string TypeAheadText;        // characters typed for the incremental search
  bool TypeAheadMoved = false;      // the last row change came from the search or F3
  int32_t PressRow = -1;            // row of the left button press, -1 for none
  int32_t AnchorRow = -1;           // row of the last completed left click, -1 for none
  bool DragPending = false;         // the press was on an already marked row
  int32_t ClickCredit = 0;          // double-click detector

  // The one count of the list.
  int32_t FileCount() const { return static_cast<int32_t>(FileList.size()); }
  // Grows TabStates to exactly n entries when it is shorter; never shrinks it.
  void EnsureTabStates(int32_t n);

  // ---- Listing

  // Reads folder (ending with PathDelim) into FileList in two passes: the
  // first counts the entries, the second fills at most that many in the order
  // the listing gives them. A folder that cannot be read gives an empty list
  // and false. totalBytes is the sum of the sizes.
  bool ReadFileList(const std::string &folder, uint64_t &totalBytes);
  // Lists tab.Folder: ListedFolder, TotalBytes, FileList, EntryCount, then sorts.
  bool ListTabFolder(TabState &tab);
  // Installs a finished listing of tab.Folder as ListTabFolder would have
  // made it (sorted again when SortMode changed meanwhile).
  bool InstallListing(TabState &tab, TFolderListing &listing);
  // A tab whose folder cannot be reached: no image, no entries, an empty list.
  void ClearTabListing(TabState &tab);
  // After a listing: a pending name becomes the tab's current file.
  void TakePendingSelectName(TabState &tab);

  // ---- Sorting and names

  // Stable sort of FileList by SortMode.
  void SortFileList();
  // A header click: new order, sort, and the entry that was current stays
  // current (and gets marked). Returns the new current row.
  int32_t SortByHeader(int32_t column, int32_t currentRow);
  // Index in FileList of the entry called name: an exact match wins, else the
  // first that is the same ignoring case; -1 for none.
  int32_t FindFileEntry(const std::string &name) const;
  // Select by name: an empty name changes nothing (returns currentRow).
  // Otherwise the named entry is marked and its row returned; with no such
  // entry row 1 is returned and nothing is marked.
  int32_t SelectByName(const std::string &name, int32_t currentRow);

  // ---- Marks

  bool RowHasEntry(int32_t row) const;  // 1 <= row <= FileCount()
  void MarkAll(bool marked);            // "Select All" / "Select None"
  int32_t MarkedCount() const;
  // Space: toggles the mark of the row's entry; false when the row has none.
  bool ToggleMark(int32_t row);
  // "Select to here": with at least two entries, marks every row from the
  // current row to row when row holds an entry. False when nothing changed.
  bool SelectToHere(int32_t currentRow, int32_t row);
  // Left button down on row (the grid has made it current). Marks, arms a
  // drag or starts a drag-marking walk. Returns Repaint when marks changed.
  GridAction GridMouseDown(int32_t row, bool shift, bool ctrl);
  // Mouse move over row (-1 outside the rows): spends click credit, starts a
  // pending drag once the mouse leaves the pressed row, or walks the marks.
  GridAction GridMouseMove(int32_t row);
  // Button released over row: double click, mark fix-ups, middle click.
  GridAction GridMouseUp(MouseButton button, int32_t row, bool ctrl);
  // Forgets a press in progress and the anchor (after a new listing).
  void ResetMouseState();

  // ---- Incremental search

  // Searches from row forward, wrapping at the end, for the first entry whose
  // name contains TypeAheadText ignoring case; stops back at row. Returns the
  // row found, or 0 when none matches: then beep is set and the text cleared.
  int32_t TypeAheadSearch(int32_t row, bool &beep);
  // A typed character (33..127) with the current row: appends it and
  // searches. Returns the new current row (currentRow when nothing moved); 0
  // when the character is not for the search.
  int32_t TypeAheadChar(char c, int32_t currentRow, bool &beep);
  // F3: the search again from the row after currentRow (row 1 after the
  // last). Returns the new current row, or 0 when there are no entries.
  int32_t RepeatSearch(int32_t currentRow, bool &beep);
  // The current row changed: the typed text goes unless the search moved it.
  void CurrentRowChanged();

 private:
  void Mark(int32_t row);
  void WalkMarking(int32_t &row, int32_t target);
};

// ---- Listing ---------------------------------------------------------------------

// True when a folder-listing entry belongs in the list: everything but the
// folders named "." and "..".
bool FileEntryListed(const std::string &name, uint32_t attributes);
// Rows of the grid for a listing: the header and at least one data row.
int32_t FileGridRowCount(int32_t entryCount);
// True when the folder lies on a network volume.
bool FolderIsRemote(const std::string &folder);

// ---- Sorting -------------------------------------------------------------------------

// The extension key of a name: from its last "." to the end, or empty.
std::string FileExtension(const std::string &name);
// Negative when a goes first in the given order.
int32_t CompareFileEntries(const FileEntry &a, const FileEntry &b, int32_t mode);
// The order a left click on the header of column gives, from the current one:
// Name toggles name and extension order, Size gives size, Date gives date.
int32_t HeaderClickSortMode(int32_t column, int32_t mode);

// ---- Captions --------------------------------------------------------------------------

// Tab caption of a folder: the path without its trailing delimiter, shortened
// to first delimiter + ".." + last part once two delimiters remain: "/usr/"
// gives "/usr", "/usr/share/doc/" gives "/../doc". The root stays "/".
std::string FolderCaption(const std::string &folder);

// ---- Cell contents -------------------------------------------------------------------

// Image of the file-type image list for an item:
// 0 folder, 1 folder on a network volume, 2 program, 3 picture, 4 multimedia,
// 5 shortcut, 6 any other file. The read-only overlay is image 7.
enum : int32_t {
  fiIconFolder = 0,
  fiIconNetworkFolder = 1,
  fiIconProgram = 2,
  fiIconPicture = 3,
  fiIconMultimedia = 4,
  fiIconShortcut = 5,
  fiIconFile = 6,
  fiIconReadOnly = 7
};
int32_t FileIconIndex(const std::string &name, uint32_t attributes, bool remote,
                      const std::string &multimediaExtensions);
// With the options' multimedia extension list.
int32_t FileIconIndex(const std::string &name, uint32_t attributes, bool remote);

// The local date ("2024 Mar 07") and time ("09:05:03") of a file time;
// false when it cannot be converted.
bool FileDateText(int64_t fileTime, std::string &date, std::string &time);

}  // namespace trovix
