// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/file_list.h"

#include <algorithm>
#include <ctime>
#include <string_view>

#include "dialogs/options.h"
#include "foundation/file_system.h"
#include "foundation/strings.h"

namespace trovix {

void TFileListState::EnsureTabStates(int32_t n) {
  if (n > static_cast<int32_t>(TabStates.size())) TabStates.resize(n);
}

// ---- Listing ---------------------------------------------------------------------

bool FileEntryListed(const std::string &name, uint32_t attributes) {
  if ((attributes & faDirectory) == 0) return true;
  return name != "." && name != "..";
}

namespace {

// The two passes of a listing: the first counts the entries, the second
// fills at most that many in the order the listing gives them.
bool ReadEntries(const std::string &folder, std::vector<FileEntry> &out, uint64_t &totalBytes,
                 const std::function<bool()> &cancelled, std::atomic<int64_t> *read) {
  totalBytes = 0;
  FsFolderReader reader;
  if (!reader.Open(folder)) return false;
  // The first pass counts names only: every entry the reader gives is listed
  // ("." and ".." never come), so no entry's details are needed yet.
  std::string name;
  size_t count = 0;
  while (reader.NextName(name)) {
    if ((++count & 1023) == 0 && cancelled && cancelled()) return false;
  }
  reader.Close();

  FsEntry entry;
  std::vector<FileEntry> list;
  list.reserve(count);
  // The folder may have changed since the count: never store more than
  // counted, so the list stays one allocation.
  if (count > 0 && reader.Open(folder)) {
    while (list.size() < count && reader.Next(entry)) {
      if (!FileEntryListed(entry.name, entry.attr)) continue;
      FileEntry &e = list.emplace_back();
      e.Name = std::move(entry.name);
      const bool isFolder = (entry.attr & faDirectory) != 0;
      e.Size = isFolder || entry.size < 0 ? 0 : static_cast<uint64_t>(entry.size);
      e.LastWrite = entry.time;
      e.Attributes = entry.attr;
      totalBytes += e.Size;
      if ((list.size() & 255) == 0) {
        if (read) read->store(static_cast<int64_t>(list.size()), std::memory_order_relaxed);
        if (cancelled && cancelled()) return false;
      }
    }
    reader.Close();
  }
  if (read) read->store(static_cast<int64_t>(list.size()), std::memory_order_relaxed);
  out = std::move(list);
  return true;
}

}  // namespace

bool TFileListState::ReadFileList(const std::string &folder, uint64_t &totalBytes) {
  // Free the old list before reading so two lists never coexist.
  FileList = std::vector<FileEntry>();
  return ReadEntries(folder, FileList, totalBytes, nullptr, nullptr);
}

bool TFileListState::ListTabFolder(TabState &tab) {
  ListedFolder = tab.Folder;
  tab.TotalBytes = 0;
  ResetMouseState();
  const bool ok = ReadFileList(tab.Folder, tab.TotalBytes);
  tab.EntryCount = FileCount();
  SortFileList();
  return ok;
}

bool ReadFolderListing(const std::string &folder, int32_t sortMode, TFolderListing &listing,
                       const std::function<bool()> &cancelled, std::atomic<int64_t> *read) {
  listing.Folder = folder;
  listing.SortMode = sortMode;
  listing.Entries.clear();
  listing.Ok = ReadEntries(folder, listing.Entries, listing.TotalBytes, cancelled, read);
  if (cancelled && cancelled()) return false;
  SortFileEntries(listing.Entries, sortMode);
  return true;
}

bool ReadFolderPreview(const std::string &folder, int32_t sortMode, size_t count,
                       TFolderListing &preview, size_t &total,
                       const std::function<bool()> &cancelled) {
  total = 0;
  if (sortMode != smName && sortMode != smExtension) return false;
  FsFolderReader reader;
  if (!reader.Open(folder)) return false;
  // Names and kinds only: the order needs nothing else but whether an entry
  // is a folder, which the folder tells except for links (examined).
  struct Named {
    FileEntry entry;
    size_t index;  // place in the listing: ties keep it, as the stable sort does
  };
  std::vector<Named> all;
  std::string name;
  FsKind kind;
  while (reader.NextKind(name, kind)) {
    Named &n = all.emplace_back();
    n.index = all.size() - 1;
    n.entry.Name = std::move(name);
    if (kind == FsKind::Folder) {
      n.entry.Attributes = faDirectory;
    } else if (kind == FsKind::Link || kind == FsKind::Unknown) {
      FsEntry info;
      if (reader.Info(n.entry.Name, info)) n.entry.Attributes = info.attr & faDirectory;
    }
    if ((all.size() & 4095) == 0 && cancelled && cancelled()) return false;
  }
  total = all.size();
  if (total <= count) return false;
  auto before = [sortMode](const Named &a, const Named &b) {
    const int32_t c = CompareFileEntries(a.entry, b.entry, sortMode);
    return c != 0 ? c < 0 : a.index < b.index;
  };
  std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(count), all.end(),
                    before);
  preview.Folder = folder;
  preview.SortMode = sortMode;
  preview.Entries.clear();
  preview.TotalBytes = 0;
  for (size_t i = 0; i < count; ++i) {
    FileEntry &e = preview.Entries.emplace_back(std::move(all[i].entry));
    FsEntry info;
    if (!reader.Info(e.Name, info)) continue;  // gone meanwhile: the whole listing tells
    e.Attributes = info.attr;
    e.Size = (info.attr & faDirectory) || info.size < 0 ? 0 : static_cast<uint64_t>(info.size);
    e.LastWrite = info.time;
  }
  preview.Ok = true;
  return !(cancelled && cancelled());
}

bool TFileListState::InstallListing(TabState &tab, TFolderListing &listing) {
  ListedFolder = tab.Folder;
  ResetMouseState();
  tab.TotalBytes = listing.TotalBytes;
  FileList = std::move(listing.Entries);
  tab.EntryCount = FileCount();
  if (listing.SortMode != SortMode) SortFileList();
  return listing.Ok;
}

void TFileListState::ClearTabListing(TabState &tab) {
  tab.ImageIndex = -1;
  tab.EntryCount = 0;
  FileList = std::vector<FileEntry>();
  ResetMouseState();
}

void TFileListState::TakePendingSelectName(TabState &tab) {
  if (!PendingSelectName.empty()) tab.CurrentFile = PendingSelectName;
  PendingSelectName.clear();
}

int32_t FileGridRowCount(int32_t entryCount) { return std::max(entryCount + 1, 2); }

bool FolderIsRemote(const std::string &folder) {
  FsVolume volume;
  return FsVolumeOf(folder, volume) && volume.type == FsDriveType::Network;
}

// ---- Sorting -------------------------------------------------------------------------

namespace {

template <typename T>
int32_t Compare3(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

size_t ExtensionStart(const std::string &name) {
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? name.size() : dot;
}

// StrCompare of extension + name against the other's, without building the
// two keys (this runs n log n times in a sort).
int32_t CompareExtensionKeys(const std::string &a, const std::string &b) {
  const std::string_view extA = std::string_view(a).substr(ExtensionStart(a));
  const std::string_view extB = std::string_view(b).substr(ExtensionStart(b));
  const size_t lenA = extA.size() + a.size();
  const size_t lenB = extB.size() + b.size();
  const size_t n = std::min(lenA, lenB);
  for (size_t i = 0; i < n; ++i) {
    const char ca = i < extA.size() ? extA[i] : a[i - extA.size()];
    const char cb = i < extB.size() ? extB[i] : b[i - extB.size()];
    const int32_t d = static_cast<uint8_t>(UpCase(ca)) - static_cast<uint8_t>(UpCase(cb));
    if (d != 0) return d;
  }
  return Compare3(lenA, lenB);
}

}  // namespace

std::string FileExtension(const std::string &name) { return name.substr(ExtensionStart(name)); }

int32_t CompareFileEntries(const FileEntry &a, const FileEntry &b, int32_t mode) {
  const bool upA = a.Name == "..";
  const bool upB = b.Name == "..";
  if (upA || upB) return upA == upB ? 0 : (upA ? -1 : 1);
  if (mode != smDate) {
    const int32_t folders = static_cast<int32_t>(b.Attributes & faDirectory) -
                            static_cast<int32_t>(a.Attributes & faDirectory);
    if (folders != 0) return folders;
  }
  // Sizes and times are compared, not subtracted: a difference does not fit
  // the 32-bit result.
  switch (mode) {
    case smName: return StrCompare(a.Name, b.Name);
    case smExtension: return CompareExtensionKeys(a.Name, b.Name);
    case smSize: return Compare3(a.Size, b.Size);
    case smDate: return Compare3(b.LastWrite, a.LastWrite);
    default: return 0;
  }
}

void SortFileEntries(std::vector<FileEntry> &entries, int32_t mode) {
  std::stable_sort(entries.begin(), entries.end(), [mode](const FileEntry &a, const FileEntry &b) {
    return CompareFileEntries(a, b, mode) < 0;
  });
}

void TFileListState::SortFileList() { SortFileEntries(FileList, SortMode); }

int32_t HeaderClickSortMode(int32_t column, int32_t mode) {
  switch (column) {
    case 0: return mode == smName ? smExtension : smName;
    case 1: return smSize;
    case 2: return smDate;
    default: return mode;
  }
}

int32_t TFileListState::SortByHeader(int32_t column, int32_t currentRow) {
  const std::string name = RowHasEntry(currentRow) ? FileList[currentRow - 1].Name : std::string();
  SortMode = HeaderClickSortMode(column, SortMode);
  SortFileList();
  return SelectByName(name, currentRow);
}

// ---- Captions and names ---------------------------------------------------------------

std::string FolderCaption(const std::string &folder) {
  std::string s = folder;
  if (!s.empty() && s.back() == PathDelim) s.pop_back();
  // The root would otherwise get the empty caption of the new-tab tab.
  if (s.empty()) return folder.empty() ? std::string() : std::string(1, PathDelim);
  if (std::count(s.begin(), s.end(), PathDelim) < 2) return s;
  return s.substr(0, s.find(PathDelim) + 1) + ".." + s.substr(s.rfind(PathDelim));
}

int32_t TFileListState::FindFileEntry(const std::string &name) const {
  const int32_t n = FileCount();
  for (int32_t i = 0; i < n; ++i) {
    if (FileList[i].Name == name) return i;
  }
  for (int32_t i = 0; i < n; ++i) {
    if (StrSame(FileList[i].Name, name)) return i;
  }
  return -1;
}

int32_t TFileListState::SelectByName(const std::string &name, int32_t currentRow) {
  if (name.empty()) return currentRow;
  const int32_t i = FindFileEntry(name);
  if (i < 0) return 1;
  FileList[i].Selected = true;
  return i + 1;
}

// ---- Marks ---------------------------------------------------------------------------------

bool TFileListState::RowHasEntry(int32_t row) const { return row >= 1 && row <= FileCount(); }

void TFileListState::MarkAll(bool marked) {
  for (FileEntry &e : FileList) e.Selected = marked;
}

int32_t TFileListState::MarkedCount() const {
  return static_cast<int32_t>(std::count_if(FileList.begin(), FileList.end(),
                                            [](const FileEntry &e) { return e.Selected; }));
}

bool TFileListState::ToggleMark(int32_t row) {
  if (!RowHasEntry(row)) return false;
  FileList[row - 1].Selected = !FileList[row - 1].Selected;
  return true;
}

void TFileListState::Mark(int32_t row) {
  if (RowHasEntry(row)) FileList[row - 1].Selected = true;
}

// Steps from row toward target one row at a time, marking each row reached
// (not row itself). Leaves row at target.
void TFileListState::WalkMarking(int32_t &row, int32_t target) {
  while (row != target) {
    row += row < target ? 1 : -1;
    Mark(row);
  }
}

bool TFileListState::SelectToHere(int32_t currentRow, int32_t row) {
  if (FileCount() < 2 || !RowHasEntry(row)) return false;
  const int32_t from = std::max(1, std::min(currentRow, row));
  const int32_t to = std::max(currentRow, row);
  for (int32_t r = from; r <= to; ++r) Mark(r);
  return true;
}

GridAction TFileListState::GridMouseDown(int32_t row, bool shift, bool ctrl) {
  if (!RowHasEntry(row)) return GridAction::None;
  if (FileList[row - 1].Selected) {
    DragPending = true;
    PressRow = row;
    return GridAction::None;
  }
  if (shift && AnchorRow >= 0) {
    int32_t r = AnchorRow;
    WalkMarking(r, row);
  } else if (!ctrl) {
    MarkAll(false);
  }
  PressRow = row;
  Mark(row);
  return GridAction::Repaint;
}

GridAction TFileListState::GridMouseMove(int32_t row) {
  if (ClickCredit > 0) --ClickCredit;
  if (PressRow < 0) return GridAction::None;
  if (DragPending) {
    if (row == PressRow) return GridAction::None;
    DragPending = false;
    PressRow = -1;
    return GridAction::StartDrag;
  }
  if (!RowHasEntry(row) || row == PressRow) return GridAction::None;
  WalkMarking(PressRow, row);
  return GridAction::Repaint;
}

GridAction TFileListState::GridMouseUp(MouseButton button, int32_t row, bool ctrl) {
  GridAction action = GridAction::None;
  switch (button) {
    case MouseButton::Left:
      ClickCredit += 4;
      if (ClickCredit >= 5) {
        // Two releases with fewer than four moves between them.
        DragPending = false;
        PressRow = -1;
        AnchorRow = -1;
        if (row >= 1) action = ctrl ? GridAction::OpenFile : GridAction::ViewFile;
        ClickCredit = 0;
      } else if (DragPending && RowHasEntry(PressRow)) {
        FileEntry &pressed = FileList[PressRow - 1];
        if (ctrl) {
          pressed.Selected = !pressed.Selected;
          action = GridAction::Repaint;
        } else if (pressed.Selected) {
          MarkAll(false);
          pressed.Selected = true;
          action = GridAction::Repaint;
        }
      }
      break;
    case MouseButton::Middle:
      if (RowHasEntry(row)) {
        action = (FileList[row - 1].Attributes & faDirectory) != 0 ? GridAction::OpenInNewTab
                                                                   : GridAction::ViewRow;
      }
      break;
    case MouseButton::Right: ClickCredit = 0; break;
  }
  AnchorRow = PressRow;
  PressRow = -1;
  DragPending = false;
  return action;
}

void TFileListState::ResetMouseState() {
  PressRow = -1;
  AnchorRow = -1;
  DragPending = false;
}

// ---- Incremental search ----------------------------------------------------------------

int32_t TFileListState::TypeAheadSearch(int32_t row, bool &beep) {
  beep = false;
  if (FileCount() <= 0) return 0;
  if (!RowHasEntry(row)) row = 1;
  int32_t r = row;
  do {
    if (TypeAheadText.empty() || StrPos(1, TypeAheadText, FileList[r - 1].Name) > 0) {
      TypeAheadMoved = true;
      return r;
    }
    r = RowHasEntry(r + 1) ? r + 1 : 1;
  } while (r != row);
  beep = true;
  TypeAheadText.clear();
  return 0;
}

int32_t TFileListState::TypeAheadChar(char c, int32_t currentRow, bool &beep) {
  beep = false;
  const uint8_t b = static_cast<uint8_t>(c);
  if (b < 33 || b > 127 || FileCount() <= 0) return 0;
  TypeAheadText += c;
  const int32_t r = TypeAheadSearch(currentRow, beep);
  return r > 0 ? r : currentRow;
}

int32_t TFileListState::RepeatSearch(int32_t currentRow, bool &beep) {
  beep = false;
  if (FileCount() <= 0) return 0;
  TypeAheadMoved = true;
  const int32_t next = RowHasEntry(currentRow + 1) ? currentRow + 1 : 1;
  const int32_t r = TypeAheadSearch(next, beep);
  return r > 0 ? r : next;
}

void TFileListState::CurrentRowChanged() {
  if (!TypeAheadMoved) TypeAheadText.clear();
  TypeAheadMoved = false;
}

// ---- Cell contents -------------------------------------------------------------------

int32_t FileIconIndex(const std::string &name, uint32_t attributes, bool remote,
                      const std::string &multimediaExtensions) {
  if ((attributes & faDirectory) != 0) return remote ? fiIconNetworkFolder : fiIconFolder;
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return fiIconFile;
  const std::string ext = name.substr(dot + 1);
  auto any = [&ext](std::initializer_list<const char *> list) {
    for (const char *e : list) {
      if (StrSame(ext, e)) return true;
    }
    return false;
  };
  if (any({"exe", "bat", "com", "cmd"})) return fiIconProgram;
  if (any({"bmp", "jpg", "jpeg", "ico", "emf", "wmf", "gif", "png"})) return fiIconPicture;
  int32_t pos = 1;
  while (pos <= static_cast<int32_t>(multimediaExtensions.size())) {
    const std::string item = StrGetItem(multimediaExtensions, pos);
    if (!item.empty() && StrSame(ext, item)) return fiIconMultimedia;
  }
  if (StrSame(ext, "lnk")) return fiIconShortcut;
  return fiIconFile;
}

int32_t FileIconIndex(const std::string &name, uint32_t attributes, bool remote) {
  return FileIconIndex(name, attributes, remote, OptionMultimediaExtensions());
}

bool FileDateText(int64_t fileTime, std::string &date, std::string &time) {
  static const char *const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  constexpr int64_t kTicksPerSecond = 10000000;
  constexpr int64_t kUnixEpoch = 116444736000000000;  // 1970-01-01 in file time
  date.clear();
  time.clear();
  if (fileTime < 0) return false;
  int64_t seconds = (fileTime - kUnixEpoch) / kTicksPerSecond;
  if ((fileTime - kUnixEpoch) % kTicksPerSecond < 0) --seconds;
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (localtime_r(&t, &local) == nullptr) return false;
  const int32_t year = local.tm_year + 1900;
  if (year < 0 || year > 9999) return false;
  const int32_t month = local.tm_mon + 1;
  date = DDDD(static_cast<uint16_t>(year)) + " " +
         (month >= 1 && month <= 12 ? kMonths[month - 1] : "???") + " " +
         NumToStrFill(local.tm_mday, 2);
  time = NumToStrFill(local.tm_hour, 2) + ":" + DD(static_cast<uint8_t>(local.tm_min)) + ":" +
         DD(static_cast<uint8_t>(local.tm_sec % 60));
  return true;
}

}  // namespace trovix
