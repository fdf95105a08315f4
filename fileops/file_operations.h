// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file operation engine: copy, move, test-read and delete of files and
// folder trees, with the comparison that decides whether an existing
// destination may be replaced, and the process-wide list of issues that the
// user reviews afterwards. Plain blocking functions, safe on any thread; they
// never show anything: every problem becomes an OperationIssue or a false
// result, every action done becomes an event-log detail line.
//
// Paths are full paths; one that ends in PathDelim names a folder, any other a
// file.
//
// Safety rules kept by every function here:
//  - A copy writes into a hidden temporary file in the destination's folder
//    and moves it onto the destination's name only once the whole file is
//    written and its time set (and, when it replaces a file, synced). A copy
//    that fails leaves an existing destination as it was and no temporary
//    file behind.
//  - Source and destination that are one file (the same path, or the same
//    device and inode through another path or a link) are never copied onto
//    each other.
//  - Symbolic links are never followed when deleting, moving or walking a
//    tree: a link is deleted, moved or copied as a link.
//  - A move never replaces an existing file; where the system cannot move
//    (another volume, an existing destination) it copies, makes the copy
//    durable (fsync), and then deletes only the source files it copied and
//    that are unchanged since; a destination that only looks up to date
//    must hold the source's bytes before the source goes.
//  - Copies get the source's permission bits (without set-user-ID and
//    set-group-ID) minus the umask, as cp does; a replaced file and a moved
//    one keep the source's bits. The temporary file is private (0600) until
//    it is complete. Holes of sparse files stay holes.
//  - A source that changes while it is copied is not put in place.
//  - Tree walks read and delete relative to open folders, never through a
//    link, so a folder swapped for a link cannot lead them out of the tree.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "browser/operation_state.h"
#include "foundation/file_text.h"

namespace trovix {

// ---- Operations, requests and issues ---------------------------------------------

enum OperationKind : uint8_t {
  okNoOp = 0,
  okCopy = 1,
  okCopySpecial = 2,  // copy leaving out the Copy X exclusions ("Copy X")
  okMove = 3,
  okTest = 4,
  okDelete = 5,
};

// "No Op", "Copy", "CopySpecial", "Move", "Test", "Delete"; empty for others.
std::string OperationKindName(uint8_t kind);

// One request handed to a worker: Destinations[i] is where Sources[i] goes
// (empty for Delete; ignored for Test). Exclusions only for CopySpecial.
struct OperationRequest {
  OperationKind Kind = okNoOp;
  std::vector<std::string> Sources;
  std::vector<std::string> Destinations;
  std::string Exclusions;
};

// One problem met by an operation, awaiting the user's review.
struct OperationIssue {
  bool Ticked = false;
  uint8_t Kind = okCopy;    // what proceeding performs: okCopy or okDelete
  std::string Source;       // may be empty
  std::string Destination;  // may be empty
  std::string Problem;      // markup text, one of the pr* texts below
  int32_t Error = 0;        // the system's error number behind the problem; 0 when none
};

// Problem texts.
inline constexpr char prIdentical[] = "|b|1Source && Destination Identical";
inline constexpr char prReadError[] = "|2|bFile Read Error";
inline constexpr char prSizeDifferent[] = "|b|1Destination Size Different";
inline constexpr char prDestinationAge[] = "|b|2Destination ";  // + FileAgeText
inline constexpr char prCreateError[] = "|2|bFile Create Error";
inline constexpr char prWriteError[] = "|2|bFile Write Error";
inline constexpr char prCannotDelete[] = "Can NOT Delete File";
inline constexpr char prRemoveFolder[] = "Error Removing Folder";
// A move whose destination looks up to date but holds other bytes (kind
// Move: proceeding replaces the destination and deletes the source).
inline constexpr char prDestinationDiffers[] = "|2|bDestination differs";
// The source changed while it was copied; the copy was dropped.
inline constexpr char prSourceChanged[] = "|2|bSource changed while copying";
// A folder move left this source entry in place: it was added or changed
// after the copy (kind Move: proceeding moves it).
inline constexpr char prChangedWhileMoving[] = "|2|bSource changed while moving";

// The process-wide, ordered list of issues. Every call is serialised, so
// workers may append while the issues dialog reads, changes or clears it.
class TIssueList {
 public:
  void Add(uint8_t kind, const std::string &source, const std::string &destination,
           const std::string &problem, int32_t error = 0);
  int32_t Count() const;
  // A copy of the issue at index (from 0); false when there is none.
  bool Get(int32_t index, OperationIssue &issue) const;
  std::vector<OperationIssue> Items() const;
  // Runs change on the issues with the list locked (tick, swap, sort). The
  // change must not call back into the list.
  void Change(const std::function<void(std::vector<OperationIssue> &)> &change);
  void Clear();

 private:
  mutable std::mutex lock_;
  std::vector<OperationIssue> items_;
};

extern TIssueList IssueList;

// ---- The context of one operation ----------------------------------------------

// What one operation carries: its options (taken when it starts), its own
// cancel flag and its progress. Each running operation has its own, so two
// may run at once with different options and be cancelled one by one.
class TOperationContext : public TOperationProgress {
 public:
  // Options; set before the operation starts and not changed while it runs.
  bool CheckSizeOnly = false;       // compare sizes only, ignoring times
  bool WarnOverwriteOlder = false;  // an older destination is an issue, not replaced
  std::string Exclusions;           // Copy X: names holding one of these items are left out

  // Stops this operation before its next item or folder entry.
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  // This operation's cancel, or the status bar's cancel of every operation.
  bool Cancelled() const;

  // Progress so far (FilesDone, BytesDone...): the TOperationProgress base.

  // For the engine, on the operation's thread: true the first time folder
  // is named (stale temporary files there are removed once per operation).
  bool FirstVisit(const std::string &folder) { return visited_.insert(folder).second; }

 private:
  std::atomic<bool> cancelled_{false};
  std::set<std::string> visited_;
};

// ---- Time constants (file-time ticks of 100 ns) ---------------------------------

inline constexpr int64_t ftSecond = 10'000'000;
inline constexpr int64_t ftMinute = 60 * ftSecond;
inline constexpr int64_t ftHour = 60 * ftMinute;
inline constexpr int64_t ftDay = 24 * ftHour;
inline constexpr int64_t ftSameTimeWindow = 2 * ftSecond;
inline constexpr int64_t ftUnreadableDifference = -9'999'999'999;

// Bytes moved per read and write call.
inline constexpr int64_t CopyBufferSize = 16 * 1024 * 1024;

// ---- The comparison of an existing destination -------------------------------------

enum class CopyDecision { Copy, UpToDate, Issue };
struct CopyVerdict {
  CopyDecision Decision = CopyDecision::Copy;
  std::string Problem;  // for Issue
};
// Source against an existing destination. A negative time is unreadable.
// Same age: under 2 seconds apart, or exactly one hour. A time difference
// stops the copy (with an age issue) when the destination is newer, or older
// while warnOlder is set; an older destination is otherwise overwritten.
// Same age, or sizeOnly: equal sizes are up to date, different ones an issue.
CopyVerdict CompareForCopy(int64_t sourceSize, int64_t sourceTime, int64_t destinationSize,
                           int64_t destinationTime, bool sizeOnly, bool warnOlder);

// ---- Operations --------------------------------------------------------------------
// Each takes the context of its operation; the forms without one run with
// a fresh context (no options, no exclusions), as the issues dialog does.

// Copies one file (a link as a link). An empty destination tests: the source
// is read completely and nothing is written. force (from the issues dialog)
// skips the identical, read-error and comparison steps. True when the
// destination now holds (or already held) the source.
bool FileCopy(const std::string &source, const std::string &destination, bool force,
              TOperationContext &context);
bool FileCopy(const std::string &source, const std::string &destination, bool force);
// Copies (or with an empty destination tests) a folder tree; its files are
// always copied unforced. Stops at the next entry once the operation is
// cancelled. True when every file and subfolder succeeded.
bool FolderCopy(const std::string &sourceFolder, const std::string &destinationFolder, bool force,
                TOperationContext &context);
bool FolderCopy(const std::string &sourceFolder, const std::string &destinationFolder, bool force);
void FileMove(const std::string &source, const std::string &destination, bool force,
              TOperationContext &context);
void FileMove(const std::string &source, const std::string &destination, bool force);
void FolderMove(const std::string &sourceFolder, const std::string &destinationFolder, bool force,
                TOperationContext &context);
void FolderMove(const std::string &sourceFolder, const std::string &destinationFolder, bool force);
// Deletes a file or a link; forced, a read-only file's attribute is cleared
// first. True when deleted.
bool FileDelete(const std::string &path, bool force);
// Deletes a folder tree (a link to a folder: the link alone). Stops once the
// operation is cancelled, leaving the folder. True when the folder is gone.
bool FolderDelete(const std::string &folder, bool force, TOperationContext &context);
bool FolderDelete(const std::string &folder, bool force);
// FolderDelete for a path ending in PathDelim, else FileDelete.
void ItemDelete(const std::string &path, bool force, TOperationContext &context);
void ItemDelete(const std::string &path, bool force);

// ---- Helpers -------------------------------------------------------------------------

// "NEWER by " or "OLDER by ", then "N days " from two days up, then
// "h:mm:ss" of what is left of the day (the whole time under two days).
std::string FileAgeText(int64_t difference);
// True when an item of exclusions (StrGetItem items) occurs in name,
// ignoring case.
bool FileNameExcluded(const std::string &name, const std::string &exclusions);

// Counts the files (links and other non-folders included) and the bytes of
// regular files below sources into progress.FilesTotal and BytesTotal as it
// goes, leaving out files whose name exclusions excludes, never following a
// link; sets Counted when it saw everything. Stops early when stop says so.
void CountSources(const std::vector<std::string> &sources, const std::string &exclusions,
                  TOperationProgress &progress, const std::function<bool()> &stop);

// The last component of a path, without a trailing PathDelim.
std::string PathName(const std::string &path);
// The temporary files a copy writes are named "." + the destination's name
// (its first 80 bytes) + CopyTempMarker + 16 hexadecimal digits + "-" + 8
// hexadecimal digits. A copy into a folder first removes such files there
// that are older than a day and not in use (left by a copy that was killed).
inline constexpr char CopyTempMarker[] = ".trovix-part-";
bool IsCopyTempName(const std::string &name);

}  // namespace trovix
