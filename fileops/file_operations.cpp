// SPDX-License-Identifier: GPL-3.0-or-later
// The file operation engine over the file-system layer.
#include "fileops/file_operations.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <random>

#include "browser/operation_state.h"
#include "dialogs/event_log.h"
#include "dialogs/options.h"
#include "foundation/file_system.h"
#include "foundation/strings.h"

namespace trovix {

// ---- Kinds and the issue list ----------------------------------------------------------

std::string OperationKindName(uint8_t kind) {
  static const char *const names[] = {"No Op", "Copy", "CopySpecial", "Move", "Test", "Delete"};
  return kind < 6 ? names[kind] : "";
}

TIssueList IssueList;

void TIssueList::Add(uint8_t kind, const std::string &source, const std::string &destination,
                     const std::string &problem) {
  OperationIssue issue;
  issue.Kind = kind;
  issue.Source = source;
  issue.Destination = destination;
  issue.Problem = problem;
  std::lock_guard<std::mutex> guard(lock_);
  items_.push_back(std::move(issue));
}

int32_t TIssueList::Count() const {
  std::lock_guard<std::mutex> guard(lock_);
  return static_cast<int32_t>(items_.size());
}

bool TIssueList::Get(int32_t index, OperationIssue &issue) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return false;
  issue = items_[static_cast<size_t>(index)];
  return true;
}

std::vector<OperationIssue> TIssueList::Items() const {
  std::lock_guard<std::mutex> guard(lock_);
  return items_;
}

void TIssueList::Change(const std::function<void(std::vector<OperationIssue> &)> &change) {
  std::lock_guard<std::mutex> guard(lock_);
  change(items_);
}

void TIssueList::Clear() {
  std::lock_guard<std::mutex> guard(lock_);
  items_.clear();
}

namespace {

thread_local std::string tExclusions;

// ---- Paths -------------------------------------------------------------------------------

bool EndsWithDelim(const std::string &path) { return !path.empty() && path.back() == PathDelim; }

std::string WithDelim(const std::string &folder) {
  return EndsWithDelim(folder) ? folder : folder + PathDelim;
}

std::string WithoutDelim(const std::string &path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == PathDelim) --end;
  return path.substr(0, end);
}

// The folder part of a file path, with its final delimiter.
std::string FolderOf(const std::string &path) {
  size_t slash = path.rfind(PathDelim);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool IsRealFolder(const FsEntry &e) { return (e.attr & faDirectory) && !(e.attr & faReparsePoint); }
bool IsLink(const FsEntry &e) { return (e.attr & faReparsePoint) != 0; }

// ---- Handles and temporary files -----------------------------------------------------

// An open file, closed when it goes out of scope unless released.
class THandle {
 public:
  explicit THandle(int fd = FsInvalidHandle) : fd_(fd) {}
  ~THandle() {
    if (fd_ != FsInvalidHandle) FsClose(fd_);
  }
  THandle(const THandle &) = delete;
  THandle &operator=(const THandle &) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ != FsInvalidHandle; }
  // Closes now; false when closing reported an error.
  bool Close() {
    int fd = fd_;
    fd_ = FsInvalidHandle;
    return fd == FsInvalidHandle || FsClose(fd);
  }

 private:
  int fd_;
};

// A part of the temporary name that differs between processes and calls.
std::string UniquePart() {
  static const uint64_t salt = [] {
    uint64_t s = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    try {
      std::random_device device;
      s ^= (static_cast<uint64_t>(device()) << 32) ^ device();
    } catch (...) {
    }
    return s;
  }();
  static std::atomic<uint64_t> counter{0};
  uint64_t n = counter.fetch_add(1, std::memory_order_relaxed);
  return CardToHex(static_cast<uint32_t>(salt >> 32)) + CardToHex(static_cast<uint32_t>(salt)) +
         "-" + CardToHex(static_cast<uint32_t>(n));
}

// A hidden name beside destination for its temporary file: "." + the start
// of its name + the marker + a unique part, short enough for any name limit.
std::string TempNameFor(const std::string &destination) {
  return FolderOf(destination) + "." + PathName(destination).substr(0, 80) + CopyTempMarker +
         UniquePart();
}

// Creates a temporary file (or, with linkTarget, a link) beside destination,
// exclusively, creating the destination's folder when it is missing. Sets
// temp to its name. Returns the handle (for a link: 0 on success).
int CreateTemp(const std::string &destination, std::string &temp, const std::string *linkTarget) {
  bool madeFolder = false;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = TempNameFor(destination);
    int fd = FsInvalidHandle;
    if (linkTarget) {
      if (FsCreateLink(*linkTarget, temp)) fd = 0;
    } else {
      fd = FsCreate(temp, true);
    }
    if (fd != FsInvalidHandle) return fd;
    int error = FsLastError();
    if (error == ENOENT && !madeFolder) {
      madeFolder = true;
      if (!FsCreateFolders(FolderOf(destination))) return FsInvalidHandle;
      continue;
    }
    if (error != EEXIST) return FsInvalidHandle;
  }
  return FsInvalidHandle;
}

// Removes a temporary file; one that stays is an issue the user can act on.
void RemoveTemp(const std::string &temp, bool force) {
  if (!FsDeleteFile(temp) && !force) IssueList.Add(okDelete, temp, "", prCannotDelete);
}

// ---- Copying one file --------------------------------------------------------------------

enum class TransferResult { Done, ReadFailed, WriteFailed };

// Moves the source's bytes to out (or, for a test, reads them), through one
// buffer of at most CopyBufferSize bytes, until a read returns nothing.
TransferResult Transfer(int in, int out, int64_t expectedSize) {
  // Where the file systems can, the kernel copies the bytes itself; any
  // refusal or failure leaves the rest (and the final read that finds the
  // end) to the buffer below, which also tells a read from a write failure.
  if (out != FsInvalidHandle) {
    while (expectedSize > 0) {
      int64_t n = FsCopyRange(in, out, expectedSize);
      if (n <= 0) break;
      expectedSize -= n;
    }
  }
  // A buffer the size of the file (plus the byte that shows its end) when it
  // is small; grown to the full size when the file turns out larger.
  int64_t size = std::clamp<int64_t>(expectedSize + 1, 4096, CopyBufferSize);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(size)]);
  if (!buffer) return TransferResult::ReadFailed;
  for (;;) {
    int64_t n = FsRead(in, buffer.get(), size);
    if (n < 0) return TransferResult::ReadFailed;
    if (n == 0) return TransferResult::Done;
    if (out != FsInvalidHandle && FsWrite(out, buffer.get(), n) != n)
      return TransferResult::WriteFailed;
    if (n == size && size < CopyBufferSize) {
      size = CopyBufferSize;
      buffer.reset(new (std::nothrow) char[static_cast<size_t>(size)]);
      if (!buffer) return TransferResult::ReadFailed;
    }
  }
}

void ReadErrorIssue(const std::string &source, bool force) {
  if (!force) IssueList.Add(okCopy, source, "", prReadError);
}

// What an existing destination means for a copy: true to go ahead (exists
// tells whether it must be replaced); false with result set otherwise.
bool CheckDestination(const std::string &source, const std::string &destination, const FsEntry &src,
                      bool force, bool &exists, bool &result) {
  result = false;
  FsEntry dst;
  exists = FsGetInfo(destination, dst);
  if (!exists) return true;
  if (FsSameFile(source, destination)) {
    if (!force) IssueList.Add(okCopy, source, destination, prIdentical);
    return false;
  }
  if (!force) {
    CopyVerdict verdict =
        CompareForCopy(src.size, src.time, dst.size, dst.time, CheckSizeOnly, WarnOverwriteOlder);
    if (verdict.Decision == CopyDecision::UpToDate) {
      result = true;
      return false;
    }
    if (verdict.Decision == CopyDecision::Issue) {
      IssueList.Add(okCopy, source, destination, verdict.Problem);
      return false;
    }
  }
  // A folder or a read-only file in the way cannot be replaced: say so now
  // rather than after writing the whole copy.
  if (IsRealFolder(dst) || (dst.attr & faReadOnly)) {
    IssueList.Add(okCopy, source, destination, prCreateError);
    return false;
  }
  return true;
}

// Puts the finished temporary file in the destination's place.
bool PutInPlace(const std::string &temp, const std::string &destination, bool exists) {
  return exists ? FsReplace(temp, destination) : FsMove(temp, destination);
}

// Moves a complete temporary copy into place and logs the copy.
bool FinishCopy(const std::string &temp, const std::string &source, const std::string &destination,
                bool exists, bool force) {
  if (!PutInPlace(temp, destination, exists)) {
    IssueList.Add(okCopy, source, destination, prCreateError);
    RemoveTemp(temp, force);
    return false;
  }
  LogDetail(source + " copied");
  return true;
}

// A link is copied as a link: the same target text, the same time.
bool CopyLink(const std::string &source, const std::string &destination, bool force,
              const FsEntry &src) {
  std::string target;
  if (!FsReadLink(source, target)) {
    ReadErrorIssue(source, force);
    return false;
  }
  if (destination.empty()) return true;
  bool exists = false, result = false;
  if (!CheckDestination(source, destination, src, force, exists, result)) return result;
  std::string temp;
  if (CreateTemp(destination, temp, &target) == FsInvalidHandle) {
    IssueList.Add(okCopy, source, destination, prCreateError);
    return false;
  }
  if (!FsSetFileTime(temp, src.time)) {
    IssueList.Add(okCopy, "", destination, prWriteError);
    RemoveTemp(temp, force);
    return false;
  }
  return FinishCopy(temp, source, destination, exists, force);
}

// FileCopy, with the source's entry when a folder walk has already read it.
bool CopyOneFile(const std::string &source, const std::string &destination, bool force,
                 const FsEntry *known) {
  if (source == destination) {
    if (!force) IssueList.Add(okCopy, source, destination, prIdentical);
    return false;
  }
  if (!tExclusions.empty() && FileNameExcluded(PathName(source), tExclusions)) return false;

  FsEntry src;
  if (known) {
    src = *known;
  } else if (!FsGetInfo(source, src)) {
    ReadErrorIssue(source, force);
    return false;
  }
  if (IsLink(src)) return CopyLink(source, destination, force, src);

  // The destination is looked at first: one that is already up to date
  // needs the source's name and entry only, not its content.
  const bool test = destination.empty();
  bool exists = false, result = false;
  if (!test && !CheckDestination(source, destination, src, force, exists, result)) return result;

  THandle in(FsOpenRead(source));
  if (!in.valid()) {
    ReadErrorIssue(source, force);
    return false;
  }
  if (test) {  // read everything, write nothing
    if (Transfer(in.get(), FsInvalidHandle, src.size) == TransferResult::Done) return true;
    ReadErrorIssue(source, force);
    return false;
  }

  std::string temp;
  THandle out(CreateTemp(destination, temp, nullptr));
  if (!out.valid()) {
    IssueList.Add(okCopy, source, destination, prCreateError);
    return false;
  }
  TransferResult transfer = Transfer(in.get(), out.get(), src.size);
  // Replacing a file: its old content goes only once the new one is on disk.
  if (transfer == TransferResult::Done &&
      ((exists && !FsSync(out.get())) || !FsSetFileTime(out.get(), src.time) || !out.Close()))
    transfer = TransferResult::WriteFailed;
  if (transfer != TransferResult::Done) {
    if (transfer == TransferResult::ReadFailed)
      ReadErrorIssue(source, force);
    else
      IssueList.Add(okCopy, "", destination, prWriteError);
    out.Close();
    RemoveTemp(temp, force);
    return false;
  }
  return FinishCopy(temp, source, destination, exists, force);
}

// ---- Folder trees -------------------------------------------------------------------------

// Copies (or tests, with an empty destination) the tree below source into
// destination. root is the destination of the whole operation: a subfolder
// that is the root itself (a copy into its own subfolder) is left out.
bool CopyTree(const std::string &source, const std::string &destination, bool force,
              const std::string &root) {
  const bool test = destination.empty();
  bool result = true;
  if (!test && !FsFolderExists(destination) && !FsCreateFolders(destination)) result = false;

  FsFolderReader reader;
  if (!reader.Open(source)) {
    ReadErrorIssue(source, force);
    return false;
  }
  FsEntry entry;
  for (;;) {
    if (CancelRequested) {
      result = false;  // entries are left uncopied
      break;
    }
    if (!reader.Next(entry)) {
      if (FsLastError() != 0) {
        ReadErrorIssue(source, force);
        result = false;
      }
      break;
    }
    const std::string from = source + entry.name;
    if (!IsRealFolder(entry)) {
      result &= CopyOneFile(from, test ? std::string() : destination + entry.name, false, &entry);
      continue;
    }
    const std::string sub = from + PathDelim;
    if (test) {
      result &= CopyTree(sub, std::string(), force, root);
      continue;
    }
    if (FsSameFile(sub, root)) {
      if (!force) IssueList.Add(okCopy, sub, root, prIdentical);
      result = false;
      continue;
    }
    const std::string to = destination + entry.name + PathDelim;
    FsEntry existing;
    if (FsGetInfo(to, existing) && IsLink(existing)) {
      // A link in the destination tree would lead the copy outside it.
      IssueList.Add(okCopy, sub, to, prCreateError);
      result = false;
      continue;
    }
    result &= CopyTree(sub, to, force, root);
  }
  return result;
}

}  // namespace

void SetOperationExclusions(const std::string &exclusions) { tExclusions = exclusions; }
const std::string &OperationExclusions() { return tExclusions; }

std::string PathName(const std::string &path) {
  std::string p = WithoutDelim(path);
  size_t slash = p.rfind(PathDelim);
  if (slash == std::string::npos || p.size() == 1) return p;
  return p.substr(slash + 1);
}

// ---- The comparison ------------------------------------------------------------------------

CopyVerdict CompareForCopy(int64_t sourceSize, int64_t sourceTime, int64_t destinationSize,
                           int64_t destinationTime, bool sizeOnly, bool warnOlder) {
  int64_t difference =
      sourceTime < 0 || destinationTime < 0 ? ftUnreadableDifference : destinationTime - sourceTime;
  if (difference == ftHour || difference == -ftHour) difference = 0;
  if (difference > -ftSameTimeWindow && difference < ftSameTimeWindow) difference = 0;
  CopyVerdict verdict;
  if (difference != 0 && !sizeOnly) {
    if (difference < 0 && !warnOlder) return verdict;  // an older destination is replaced
    verdict.Decision = CopyDecision::Issue;
    verdict.Problem = std::string(prDestinationAge) + FileAgeText(difference);
    return verdict;
  }
  if (sourceSize == destinationSize) {
    verdict.Decision = CopyDecision::UpToDate;
  } else {
    verdict.Decision = CopyDecision::Issue;
    verdict.Problem = prSizeDifferent;
  }
  return verdict;
}

// ---- Operations -------------------------------------------------------------------------------

bool FileCopy(const std::string &source, const std::string &destination, bool force) {
  return CopyOneFile(source, destination, force, nullptr);
}

bool FolderCopy(const std::string &sourceFolder, const std::string &destinationFolder, bool force) {
  // A link chosen as the folder is copied as the link it is.
  if (FsIsLink(sourceFolder))
    return FileCopy(WithoutDelim(sourceFolder),
                    destinationFolder.empty() ? std::string() : WithoutDelim(destinationFolder),
                    force);
  const std::string source = WithDelim(sourceFolder);
  if (destinationFolder.empty()) return CopyTree(source, std::string(), force, std::string());
  const std::string destination = WithDelim(destinationFolder);
  if (source == destination || FsSameFile(source, destination)) {
    if (!force) IssueList.Add(okCopy, source, destination, prIdentical);
    return false;
  }
  return CopyTree(source, destination, force, destination);
}

void FileMove(const std::string &source, const std::string &destination, bool force) {
  if (source != destination && !FsSameFile(source, destination) && FsMove(source, destination)) {
    LogDetail(source + " moved");
    return;
  }
  if (FileCopy(source, destination, force)) FileDelete(source, force);
}

void FolderMove(const std::string &sourceFolder, const std::string &destinationFolder, bool force) {
  if (sourceFolder != destinationFolder && FsMove(sourceFolder, destinationFolder)) {
    LogDetail("Folder " + sourceFolder + " moved to " + destinationFolder);
    return;
  }
  if (FolderCopy(sourceFolder, destinationFolder, force) && FolderDelete(sourceFolder, force))
    LogDetail(sourceFolder + " copied & deleted");
}

bool FileDelete(const std::string &path, bool force) {
  bool failed = false;
  if (force) {
    uint32_t attr = FsGetAttributes(path);
    if (attr != faInvalid && (attr & faReadOnly) && !FsSetReadOnly(path, false)) failed = true;
  }
  if (!FsDeleteFile(path)) failed = true;
  if (failed && !force) IssueList.Add(okDelete, path, "", prCannotDelete);
  if (!failed) LogDetail(path + " deleted");
  return !failed;
}

bool FolderDelete(const std::string &folder, bool force) {
  // A link is removed, never what it points to.
  if (FsIsLink(folder)) return FileDelete(WithoutDelim(folder), force);
  const std::string path = WithDelim(folder);
  {
    FsFolderReader reader;
    if (reader.Open(path)) {
      FsEntry entry;
      while (!CancelRequested && reader.Next(entry)) {
        if (IsRealFolder(entry))
          FolderDelete(path + entry.name + PathDelim, force);
        else
          FileDelete(path + entry.name, force);
      }
    }
  }
  if (CancelRequested) return false;
  if (!FsRemoveFolder(path)) {
    IssueList.Add(okDelete, folder, "", prRemoveFolder);
    return false;
  }
  LogDetail(folder + " deleted");
  return true;
}

void ItemDelete(const std::string &path, bool force) {
  if (EndsWithDelim(path))
    FolderDelete(path, force);
  else
    FileDelete(path, force);
}

// ---- Helpers ------------------------------------------------------------------------------------

std::string FileAgeText(int64_t difference) {
  std::string text = difference < 0 ? "OLDER by " : "NEWER by ";
  uint64_t d =
      difference < 0 ? 0 - static_cast<uint64_t>(difference) : static_cast<uint64_t>(difference);
  const uint64_t day = ftDay;
  uint64_t rest = d;
  if (d >= 2 * day) {
    text += std::to_string(d / day) + " days ";
    rest = d % day;
  }
  // Under two days the hours run past 23, so the whole difference shows.
  if (rest != 0) {
    auto twoDigits = [](uint64_t v) {  // v < 60
      const char digits[2] = {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
      return std::string(digits, 2);
    };
    text += std::to_string(rest / ftHour) + ":" + twoDigits(rest / ftMinute % 60) + ":" +
            twoDigits(rest / ftSecond % 60);
  }
  return text;
}

bool FileNameExcluded(const std::string &name, const std::string &exclusions) {
  if (exclusions.empty()) return false;
  int32_t pos = 1;
  for (;;) {
    std::string item = StrGetItem(exclusions, pos);
    if (item.empty()) return false;
    if (StrPos(1, item, name) > 0) return true;
  }
}

}  // namespace trovix
