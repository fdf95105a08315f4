// SPDX-License-Identifier: GPL-3.0-or-later
// The file operation engine over the file-system layer.
#include "fileops/file_operations.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <random>

#include "browser/operation_state.h"
#include "dialogs/event_log.h"
#include "dialogs/markup.h"
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
                     const std::string &problem, int32_t error) {
  OperationIssue issue;
  issue.Error = error;
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

// ---- Issues ------------------------------------------------------------------------------

// Records an issue; one with a cause also goes to the event log with it.
void AddIssue(uint8_t kind, const std::string &source, const std::string &destination,
              const std::string &problem, int error = 0) {
  IssueList.Add(kind, source, destination, problem, error);
  if (error != 0)
    LogDetail((source.empty() ? destination : source) + ": " + MarkupPlainText(problem, '|') +
              ": " + FsErrorText(error));
}

void ReadErrorIssue(const std::string &source, bool force, int error) {
  if (!force) AddIssue(okCopy, source, "", prReadError, error);
}

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

// A part of the temporary name that differs between processes and calls:
// 16 hexadecimal digits, "-", 8 more.
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
  return CardToHexFill(static_cast<uint32_t>(salt >> 32), 8) +
         CardToHexFill(static_cast<uint32_t>(salt), 8) + "-" +
         CardToHexFill(static_cast<uint32_t>(n), 8);
}

// A hidden name beside destination for its temporary file: "." + the start
// of its name + the marker + a unique part, short enough for any name limit.
std::string TempNameFor(const std::string &destination) {
  return FolderOf(destination) + "." + PathName(destination).substr(0, 80) + CopyTempMarker +
         UniquePart();
}

// Temporary files of copies that were killed: unchanged for a day and not
// locked by a copy still writing them.
void RemoveStaleTemps(const std::string &folder, TOperationContext &context) {
  if (!context.FirstVisit(folder)) return;
  FsRemoveUnused(folder, IsCopyTempName, FileTimeNow() - ftDay);
}

// Creates a private temporary file (or, with linkTarget, a link) beside
// destination, exclusively, creating the destination's folder when it is
// missing. Sets temp to its name. Returns the handle (for a link: 0 on
// success); on failure error tells why.
int CreateTemp(const std::string &destination, std::string &temp, const std::string *linkTarget,
               TOperationContext &context, int &error) {
  RemoveStaleTemps(FolderOf(destination), context);
  bool madeFolder = false;
  for (int attempt = 0; attempt < 16; ++attempt) {
    temp = TempNameFor(destination);
    int fd = FsInvalidHandle;
    if (linkTarget) {
      if (FsCreateLink(*linkTarget, temp)) fd = 0;
    } else {
      fd = FsCreate(temp, true, 0600);
      if (fd != FsInvalidHandle) FsLockShared(fd);  // in use: no cleanup may take it
    }
    if (fd != FsInvalidHandle) return fd;
    error = FsLastError();
    if (error == ENOENT && !madeFolder) {
      madeFolder = true;
      if (!FsCreateFolders(FolderOf(destination))) return error = FsLastError(), FsInvalidHandle;
      continue;
    }
    if (error != EEXIST) return FsInvalidHandle;
  }
  return FsInvalidHandle;
}

// Removes a temporary file; one that stays is an issue the user can act on.
// One that is already gone (its folder went away) is no failure.
void RemoveTemp(const std::string &temp, bool force) {
  if (!FsDeleteFile(temp) && FsLastError() != ENOENT && !force)
    AddIssue(okDelete, temp, "", prCannotDelete, FsLastError());
}

// ---- Permission bits ---------------------------------------------------------------------

// A copied file's bits: the source's without set-user-ID and set-group-ID,
// minus the umask for a new file (as cp does); a replaced or moved file
// keeps them whole.
uint32_t FileModeFor(const FsEntry &src, bool exists, bool moving) {
  uint32_t bits = src.mode ? src.mode & 0777 : 0666;
  return exists || moving ? bits : bits & ~FsUmask();
}

// A copied folder's bits: the same, the sticky bit kept.
uint32_t FolderModeFor(const FsEntry &src, bool moving) {
  uint32_t bits = src.mode ? src.mode & 01777 : 0777;
  return moving ? bits : bits & ~FsUmask();
}

// ---- What a move has copied ---------------------------------------------------------------

// The source files, links and folders a move has copied, by device and inode
// with the size and time they had: only these may be deleted afterwards.
class TMoveRecord {
 public:
  void Add(const FsEntry &e) { copied_[Key(e)] = {e.size, e.time}; }
  void AddFolder(const FsEntry &e) { copied_[Key(e)] = {-1, 0}; }
  // Copied, and unchanged since.
  bool Holds(const FsEntry &e) const {
    auto it = copied_.find(Key(e));
    if (it == copied_.end()) return false;
    return IsRealFolder(e) ? it->second.first == -1
                           : it->second.first == e.size && it->second.second == e.time;
  }

 private:
  static std::pair<uint64_t, uint64_t> Key(const FsEntry &e) { return {e.device, e.inode}; }
  std::map<std::pair<uint64_t, uint64_t>, std::pair<int64_t, int64_t>> copied_;
};

// ---- Copying one file --------------------------------------------------------------------

// A source file: its path, and in a tree walk the open folder holding it, so
// that it is read relative to that folder and never through a link.
struct SourceRef {
  const FsFolderReader *dir = nullptr;
  std::string path;
  std::string name;
};

SourceRef SourceAt(const std::string &path) { return SourceRef{nullptr, path, PathName(path)}; }

int OpenSource(const SourceRef &s) {
  return s.dir ? s.dir->OpenRead(s.name) : FsOpenReadNoFollow(s.path);
}

bool ReadSourceLink(const SourceRef &s, std::string &target) {
  return s.dir ? s.dir->ReadLink(s.name, target) : FsReadLink(s.path, target);
}

enum class TransferResult { Done, ReadFailed, WriteFailed };

// Copies count bytes from in's position to out's (count < 0: until a read
// returns nothing), or for a test (out invalid) reads them.
TransferResult CopyBytes(int in, int out, int64_t count, TOperationContext &context, int &error) {
  const bool toEnd = count < 0;
  // Where the file systems can, the kernel copies the bytes itself; any
  // refusal or failure leaves the rest (and the final read that finds the
  // end) to the buffer below, which also tells a read from a write failure.
  int64_t expected = toEnd ? -count - 1 : count;
  if (out != FsInvalidHandle) {
    while (expected > 0) {
      int64_t n = FsCopyRange(in, out, expected);
      if (n <= 0) break;
      expected -= n;
      if (!toEnd) count -= n;
      context.BytesDone += n;
    }
    if (!toEnd && count == 0) return TransferResult::Done;
  }
  // A buffer the size of the file (plus the byte that shows its end) when it
  // is small; grown to the full size when the file turns out larger.
  int64_t size = std::clamp<int64_t>(expected + 1, 4096, CopyBufferSize);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(size)]);
  if (!buffer) return error = ENOMEM, TransferResult::ReadFailed;
  for (;;) {
    int64_t want = toEnd ? size : std::min(size, count);
    if (!toEnd && want == 0) return TransferResult::Done;
    int64_t n = FsRead(in, buffer.get(), want);
    if (n < 0) return error = FsLastError(), TransferResult::ReadFailed;
    if (n == 0) return toEnd ? TransferResult::Done : (error = EIO, TransferResult::ReadFailed);
    if (out != FsInvalidHandle && FsWrite(out, buffer.get(), n) != n)
      return error = FsLastError() ? FsLastError() : EIO, TransferResult::WriteFailed;
    context.BytesDone += n;
    if (!toEnd) count -= n;
    if (n == size && size < CopyBufferSize) {
      size = CopyBufferSize;
      buffer.reset(new (std::nothrow) char[static_cast<size_t>(size)]);
      if (!buffer) return error = ENOMEM, TransferResult::ReadFailed;
    }
  }
}

// Moves the source's bytes to out (or, for a test, reads them). A sparse
// source has only its data stretches copied; its holes stay holes.
TransferResult Transfer(int in, int out, const FsEntry &src, TOperationContext &context,
                        int &error) {
  if (src.size <= 0 || src.allocated >= src.size)
    return CopyBytes(in, out, -src.size - 1, context, error);
  int64_t from = 0, start = 0, end = 0;
  while (from < src.size && FsNextData(in, from, start, end)) {
    end = std::min(end, src.size);
    if (!FsSeek(in, start)) return error = FsLastError(), TransferResult::ReadFailed;
    if (out != FsInvalidHandle && !FsSeek(out, start))
      return error = FsLastError(), TransferResult::WriteFailed;
    TransferResult r = CopyBytes(in, out, end - start, context, error);
    if (r != TransferResult::Done) return r;
    from = end;
  }
  if (FsLastError() != 0) return error = FsLastError(), TransferResult::ReadFailed;
  if (out != FsInvalidHandle && !FsSetSize(out, src.size))
    return error = FsLastError(), TransferResult::WriteFailed;
  return TransferResult::Done;
}

// True when the two open files hold the same bytes.
bool SameContent(int a, int b) {
  constexpr int64_t kChunk = 1 << 20;
  std::unique_ptr<char[]> x(new (std::nothrow) char[kChunk]), y(new (std::nothrow) char[kChunk]);
  if (!x || !y || FsFileSize(a) != FsFileSize(b)) return false;
  for (;;) {
    int64_t n = FsRead(a, x.get(), kChunk);
    if (n < 0) return false;
    int64_t m = 0;
    while (m < n) {
      int64_t got = FsRead(b, y.get() + m, n - m);
      if (got <= 0) return false;
      m += got;
    }
    if (n == 0) return FsRead(b, y.get(), 1) == 0;
    if (std::memcmp(x.get(), y.get(), static_cast<size_t>(n)) != 0) return false;
  }
}

// What an existing destination means for a copy: true to go ahead (exists
// tells whether it must be replaced); false with result set otherwise.
// upToDate tells that the destination looked up to date.
bool CheckDestination(const std::string &source, const std::string &destination, const FsEntry &src,
                      bool force, TOperationContext &context, bool &exists, bool &result,
                      bool &upToDate) {
  result = false;
  upToDate = false;
  FsEntry dst;
  exists = FsGetInfo(destination, dst);
  if (!exists) return true;
  // Two files that are no links are the same file by their own entries;
  // with a link on either side, by what the links lead to.
  const bool plain = !IsLink(src) && !IsLink(dst) && src.inode != 0;
  if (plain ? src.device == dst.device && src.inode == dst.inode
            : FsSameFile(source, destination)) {
    if (!force) AddIssue(okCopy, source, destination, prIdentical);
    return false;
  }
  if (!force) {
    CopyVerdict verdict = CompareForCopy(src.size, src.time, dst.size, dst.time,
                                         context.CheckSizeOnly, context.WarnOverwriteOlder);
    if (verdict.Decision == CopyDecision::UpToDate) {
      result = upToDate = true;
      return false;
    }
    if (verdict.Decision == CopyDecision::Issue) {
      AddIssue(okCopy, source, destination, verdict.Problem);
      return false;
    }
  }
  // A folder or a read-only file in the way cannot be replaced: say so now
  // rather than after writing the whole copy.
  if (IsRealFolder(dst) || (dst.attr & faReadOnly)) {
    AddIssue(okCopy, source, destination, prCreateError, IsRealFolder(dst) ? EISDIR : EACCES);
    return false;
  }
  return true;
}

// Inside a move, a destination that looks up to date must hold the source's
// bytes (made durable) before the source may go; otherwise it is an issue.
bool UpToDateForMove(const SourceRef &source, const std::string &destination, const FsEntry &src,
                     TMoveRecord &move) {
  bool same = false;
  if (IsLink(src)) {
    std::string a, b;
    same = ReadSourceLink(source, a) && FsReadLink(destination, b) && a == b;
  } else {
    THandle in(OpenSource(source)), out(FsOpenRead(destination));
    same = in.valid() && out.valid() && SameContent(in.get(), out.get()) && FsSync(out.get());
  }
  if (!same) {
    AddIssue(okMove, source.path, destination, prDestinationDiffers);
    return false;
  }
  move.Add(src);
  return true;
}

// Puts the finished temporary file in the destination's place and logs the
// copy.
bool FinishCopy(const std::string &temp, const std::string &source, const std::string &destination,
                bool exists, bool force, TOperationContext &context) {
  if (!(exists ? FsReplace(temp, destination) : FsMove(temp, destination))) {
    AddIssue(okCopy, source, destination, prCreateError, FsLastError());
    RemoveTemp(temp, force);
    return false;
  }
  ++context.FilesDone;
  LogDetail(source + " copied");
  return true;
}

// A link is copied as a link: the same target text, the same time.
bool CopyLink(const SourceRef &source, const std::string &destination, bool force,
              const FsEntry &src, TOperationContext &context, TMoveRecord *move) {
  std::string target;
  if (!ReadSourceLink(source, target)) {
    ReadErrorIssue(source.path, force, FsLastError());
    return false;
  }
  if (destination.empty()) return true;
  bool exists = false, result = false, upToDate = false;
  if (!CheckDestination(source.path, destination, src, force, context, exists, result, upToDate)) {
    ++context.FilesPassed;
    if (upToDate && move) return UpToDateForMove(source, destination, src, *move);
    return result;
  }
  std::string temp;
  int error = 0;
  if (CreateTemp(destination, temp, &target, context, error) == FsInvalidHandle) {
    AddIssue(okCopy, source.path, destination, prCreateError, error);
    return false;
  }
  if (!FsSetFileTime(temp, src.time)) {
    AddIssue(okCopy, "", destination, prWriteError, FsLastError());
    RemoveTemp(temp, force);
    return false;
  }
  if (!FinishCopy(temp, source.path, destination, exists, force, context)) return false;
  if (move) move->Add(src);
  return true;
}

// FileCopy, with the source's entry when a folder walk has already read it.
// move, in a move, records what was copied (or found equal).
bool CopyOneFile(const SourceRef &source, const std::string &destination, bool force,
                 const FsEntry *known, TOperationContext &context, TMoveRecord *move) {
  if (source.path == destination) {
    if (!force) AddIssue(okCopy, source.path, destination, prIdentical);
    return false;
  }
  if (!context.Exclusions.empty() && FileNameExcluded(source.name, context.Exclusions))
    return false;

  FsEntry src;
  if (known) {
    src = *known;
  } else if (!FsGetInfo(source.path, src)) {
    ReadErrorIssue(source.path, force, FsLastError());
    return false;
  }
  if (IsLink(src)) return CopyLink(source, destination, force, src, context, move);

  // The destination is looked at first: one that is already up to date
  // needs the source's name and entry only, not its content.
  const bool test = destination.empty();
  bool exists = false, result = false, upToDate = false;
  if (!test &&
      !CheckDestination(source.path, destination, src, force, context, exists, result, upToDate)) {
    // Left as it is: still part of the progress.
    ++context.FilesPassed;
    context.BytesPassed += src.size;
    if (upToDate && move) return UpToDateForMove(source, destination, src, *move);
    return result;
  }

  THandle in(OpenSource(source));
  // What the copy is checked against afterwards: the walk's entry of the
  // file (read relative to its folder), or the open file's own.
  FsEntry before = src;
  if (!in.valid() || (!known && !FsGetInfo(in.get(), before))) {
    ReadErrorIssue(source.path, force, FsLastError());
    return false;
  }
  int error = 0;
  if (test) {  // read everything, write nothing
    if (Transfer(in.get(), FsInvalidHandle, before, context, error) == TransferResult::Done) {
      ++context.FilesDone;
      return true;
    }
    ReadErrorIssue(source.path, force, error);
    return false;
  }

  std::string temp;
  THandle out(CreateTemp(destination, temp, nullptr, context, error));
  if (!out.valid()) {
    AddIssue(okCopy, source.path, destination, prCreateError, error);
    return false;
  }
  TransferResult transfer = Transfer(in.get(), out.get(), before, context, error);
  // A source written to meanwhile gave a mix of old and new bytes.
  FsEntry after;
  if (transfer == TransferResult::Done &&
      (!FsGetInfo(in.get(), after) || after.inode != before.inode ||
       after.device != before.device || after.size != before.size || after.time != before.time ||
       after.changeTime != before.changeTime)) {
    AddIssue(okCopy, source.path, destination, prSourceChanged);
    out.Close();
    RemoveTemp(temp, force);
    return false;
  }
  // Replacing a file, or moving one: the new content must be on disk before
  // the old one (or the source) goes. The final bits come last, so the file
  // is private while it is written.
  if (transfer == TransferResult::Done &&
      (((exists || move) && !FsSync(out.get())) ||
       !FsSetMode(out.get(), FileModeFor(before, exists, move != nullptr)) ||
       !FsSetFileTime(out.get(), before.time) || !out.Close())) {
    transfer = TransferResult::WriteFailed;
    error = FsLastError();
  }
  if (transfer != TransferResult::Done) {
    if (transfer == TransferResult::ReadFailed)
      ReadErrorIssue(source.path, force, error);
    else
      AddIssue(okCopy, "", destination, prWriteError, error);
    out.Close();
    RemoveTemp(temp, force);
    return false;
  }
  if (!FinishCopy(temp, source.path, destination, exists, force, context)) return false;
  if (move) move->Add(before);
  return true;
}

// ---- Folder trees -------------------------------------------------------------------------

// Copies (or tests, with an empty destination) the tree below source into
// destination. parent and entry: the open folder and entry of source in a
// walk (null at the top). root is the destination of the whole operation: a
// subfolder that is the root itself (a copy into its own subfolder) is left
// out. move, in a move, records what was copied.
bool CopyTree(const FsFolderReader *parent, const FsEntry *entry, const std::string &source,
              const std::string &destination, bool force, const std::string &root,
              TOperationContext &context, TMoveRecord *move) {
  const bool test = destination.empty();
  FsFolderReader reader;
  if (!(parent ? reader.OpenSub(*parent, *entry) : reader.OpenWalk(source))) {
    ReadErrorIssue(source, force, FsLastError());
    return false;
  }
  FsEntry self;
  if (entry)
    self = *entry;
  else
    FsGetInfo(source, self);

  bool result = true;
  bool created = false;
  const uint32_t mode = FolderModeFor(self, move != nullptr);
  if (!test && !FsFolderExists(destination)) {
    // Owner rights while it is filled; its own bits once it is complete.
    if (!FsCreateFolders(destination, mode | 0700)) {
      AddIssue(okCopy, source, destination, prCreateError, FsLastError());
      return false;
    }
    created = true;
    context.FirstVisit(destination);  // new: no stale temporary files to look for
  }

  FsEntry e;
  for (;;) {
    if (context.Cancelled()) {
      result = false;  // entries are left uncopied
      break;
    }
    if (!reader.Next(e)) {
      if (FsLastError() != 0) {
        ReadErrorIssue(source, force, FsLastError());
        result = false;
      }
      break;
    }
    const std::string from = source + e.name;
    if (!IsRealFolder(e)) {
      result &= CopyOneFile(SourceRef{&reader, from, e.name},
                            test ? std::string() : destination + e.name, false, &e, context, move);
      continue;
    }
    const std::string sub = from + PathDelim;
    if (test) {
      result &= CopyTree(&reader, &e, sub, std::string(), force, root, context, nullptr);
      continue;
    }
    if (FsSameFile(sub, root)) {
      if (!force) AddIssue(okCopy, sub, root, prIdentical);
      result = false;
      continue;
    }
    const std::string to = destination + e.name + PathDelim;
    FsEntry existing;
    if (FsGetInfo(to, existing) && IsLink(existing)) {
      // A link in the destination tree would lead the copy outside it.
      AddIssue(okCopy, sub, to, prCreateError, ELOOP);
      result = false;
      continue;
    }
    result &= CopyTree(&reader, &e, sub, to, force, root, context, move);
  }
  if (created) {
    FsEntry now;
    if (FsGetInfo(destination, now) && (now.mode & 01777) != mode &&
        !FsSetMode(destination, (now.mode & 02000) | mode)) {  // an inherited set-group-ID stays
      AddIssue(okCopy, source, destination, prWriteError, FsLastError());
      result = false;
    }
  }
  if (move && result) {
    // Everything of this folder is in place: its entries are made durable
    // before any source goes.
    if (!FsSyncFolder(destination)) {
      AddIssue(okCopy, "", destination, prWriteError, FsLastError());
      return false;
    }
    move->AddFolder(self);
  }
  return result;
}

// Deletes a file of an open folder as FileDelete does.
bool DeleteEntryFile(const FsFolderReader &dir, const std::string &name, bool force) {
  const std::string path = dir.Path() + name;
  bool failed = false;
  int error = 0;
  if (force && !dir.ClearReadOnly(name)) failed = true, error = FsLastError();
  if (!dir.DeleteFile(name)) failed = true, error = FsLastError();
  if (failed && !force) AddIssue(okDelete, path, "", prCannotDelete, error);
  if (!failed) LogDetail(path + " deleted");
  return !failed;
}

// Deletes what the open folder holds, depth first, relative to open folders.
// With move, only what the move copied (and is unchanged since) goes; any
// other entry stays and becomes an issue (destination: its place in the
// moved tree). True when the folder is now empty.
bool DeleteContents(FsFolderReader &dir, bool force, TOperationContext &context,
                    const TMoveRecord *move, const std::string &destination) {
  bool all = true;
  FsEntry e;
  while (!context.Cancelled()) {
    if (!dir.Next(e)) {
      if (FsLastError() != 0) all = false;
      break;
    }
    const std::string path = dir.Path() + e.name;
    const bool folder = IsRealFolder(e);
    if (move && !move->Holds(e)) {
      AddIssue(okMove, folder ? path + PathDelim : path,
               destination + e.name + (folder ? std::string(1, PathDelim) : ""),
               prChangedWhileMoving);
      all = false;
      continue;
    }
    if (!folder) {
      all &= DeleteEntryFile(dir, e.name, force);
      continue;
    }
    bool emptied = false;
    {
      FsFolderReader sub;
      if (!sub.OpenSub(dir, e)) {
        // No longer the folder that was listed (a link took its place):
        // nothing below that name is touched.
        AddIssue(okDelete, path + PathDelim, "", prRemoveFolder, FsLastError());
        all = false;
        continue;
      }
      emptied = DeleteContents(sub, force, context, move, destination + e.name + PathDelim);
    }
    if (context.Cancelled()) break;
    if (!emptied && move) {  // what stays was reported
      all = false;
      continue;
    }
    if (!dir.RemoveFolder(e.name)) {
      AddIssue(okDelete, path + PathDelim, "", prRemoveFolder, FsLastError());
      all = false;
    } else {
      LogDetail(path + PathDelim + " deleted");
    }
  }
  return all && !context.Cancelled();
}

// Deletes the source of a move: what the move copied, unchanged since.
// True when the source is gone.
bool DeleteMoved(const std::string &source, const std::string &destination, bool force,
                 TOperationContext &context, const TMoveRecord &move) {
  FsEntry top;
  if (FsGetInfo(source, top) && IsLink(top)) {
    if (!move.Holds(top)) {
      AddIssue(okMove, WithoutDelim(source), WithoutDelim(destination), prChangedWhileMoving);
      return false;
    }
    return FileDelete(WithoutDelim(source), force);
  }
  bool emptied = false;
  {
    FsFolderReader reader;
    if (!reader.OpenWalk(source)) {
      AddIssue(okDelete, source, "", prRemoveFolder, FsLastError());
      return false;
    }
    emptied = DeleteContents(reader, force, context, &move, destination);
  }
  if (!emptied) return false;
  if (!FsRemoveFolder(source)) {
    AddIssue(okDelete, source, "", prRemoveFolder, FsLastError());
    return false;
  }
  LogDetail(source + " deleted");
  return true;
}

bool FolderCopyWith(const std::string &sourceFolder, const std::string &destinationFolder,
                    bool force, TOperationContext &context, TMoveRecord *move) {
  // A link chosen as the folder is copied as the link it is.
  if (FsIsLink(sourceFolder))
    return CopyOneFile(SourceAt(WithoutDelim(sourceFolder)),
                       destinationFolder.empty() ? std::string() : WithoutDelim(destinationFolder),
                       force, nullptr, context, move);
  const std::string source = WithDelim(sourceFolder);
  if (destinationFolder.empty())
    return CopyTree(nullptr, nullptr, source, std::string(), force, std::string(), context,
                    nullptr);
  const std::string destination = WithDelim(destinationFolder);
  if (source == destination || FsSameFile(source, destination)) {
    if (!force) AddIssue(okCopy, source, destination, prIdentical);
    return false;
  }
  return CopyTree(nullptr, nullptr, source, destination, force, destination, context, move);
}

}  // namespace

bool TOperationContext::Cancelled() const {
  return cancelled_.load(std::memory_order_relaxed) || CancelRequested;
}

bool IsCopyTempName(const std::string &name) {
  const size_t marker = name.find(CopyTempMarker);
  const size_t tail = 16 + 1 + 8;
  if (name.size() < 2 || name[0] != '.' || marker == std::string::npos ||
      name.size() != marker + std::strlen(CopyTempMarker) + tail)
    return false;
  const size_t at = marker + std::strlen(CopyTempMarker);
  for (size_t i = 0; i < tail; ++i) {
    const char c = name[at + i];
    if (i == 16 ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

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

bool FileCopy(const std::string &source, const std::string &destination, bool force,
              TOperationContext &context) {
  return CopyOneFile(SourceAt(source), destination, force, nullptr, context, nullptr);
}

bool FolderCopy(const std::string &sourceFolder, const std::string &destinationFolder, bool force,
                TOperationContext &context) {
  return FolderCopyWith(sourceFolder, destinationFolder, force, context, nullptr);
}

void FileMove(const std::string &source, const std::string &destination, bool force,
              TOperationContext &context) {
  if (source != destination && !FsSameFile(source, destination) && FsMove(source, destination)) {
    ++context.FilesDone;
    LogDetail(source + " moved");
    return;
  }
  TMoveRecord move;
  if (!CopyOneFile(SourceAt(source), destination, force, nullptr, context, &move)) return;
  // The copy's name is made durable before the source goes.
  if (!FsSyncFolder(FolderOf(destination))) {
    AddIssue(okCopy, "", destination, prWriteError, FsLastError());
    return;
  }
  FsEntry now;
  if (FsGetInfo(source, now) && !move.Holds(now)) {
    AddIssue(okMove, source, destination, prChangedWhileMoving);
    return;
  }
  FileDelete(source, force);
}

void FolderMove(const std::string &sourceFolder, const std::string &destinationFolder, bool force,
                TOperationContext &context) {
  if (sourceFolder != destinationFolder && FsMove(sourceFolder, destinationFolder)) {
    LogDetail("Folder " + sourceFolder + " moved to " + destinationFolder);
    return;
  }
  TMoveRecord move;
  if (!FolderCopyWith(sourceFolder, destinationFolder, force, context, &move)) return;
  if (!FsSyncFolder(FolderOf(WithoutDelim(destinationFolder)))) {
    AddIssue(okCopy, "", destinationFolder, prWriteError, FsLastError());
    return;
  }
  if (DeleteMoved(WithDelim(sourceFolder), WithDelim(destinationFolder), force, context, move))
    LogDetail(sourceFolder + " copied & deleted");
}

bool FileDelete(const std::string &path, bool force) {
  bool failed = false;
  int error = 0;
  if (force) {
    uint32_t attr = FsGetAttributes(path);
    if (attr != faInvalid && (attr & faReadOnly) && !FsSetReadOnly(path, false))
      failed = true, error = FsLastError();
  }
  if (!FsDeleteFile(path)) failed = true, error = FsLastError();
  if (failed && !force) AddIssue(okDelete, path, "", prCannotDelete, error);
  if (!failed) LogDetail(path + " deleted");
  return !failed;
}

bool FolderDelete(const std::string &folder, bool force, TOperationContext &context) {
  // A link is removed, never what it points to.
  if (FsIsLink(folder)) return FileDelete(WithoutDelim(folder), force);
  const std::string path = WithDelim(folder);
  {
    FsFolderReader reader;
    if (reader.OpenWalk(path)) DeleteContents(reader, force, context, nullptr, std::string());
  }
  if (context.Cancelled()) return false;
  if (!FsRemoveFolder(path)) {
    AddIssue(okDelete, folder, "", prRemoveFolder, FsLastError());
    return false;
  }
  LogDetail(folder + " deleted");
  return true;
}

void ItemDelete(const std::string &path, bool force, TOperationContext &context) {
  if (EndsWithDelim(path))
    FolderDelete(path, force, context);
  else
    FileDelete(path, force);
}

// The forms without a context run with a fresh one.
bool FileCopy(const std::string &source, const std::string &destination, bool force) {
  TOperationContext context;
  return FileCopy(source, destination, force, context);
}
bool FolderCopy(const std::string &sourceFolder, const std::string &destinationFolder, bool force) {
  TOperationContext context;
  return FolderCopy(sourceFolder, destinationFolder, force, context);
}
void FileMove(const std::string &source, const std::string &destination, bool force) {
  TOperationContext context;
  FileMove(source, destination, force, context);
}
void FolderMove(const std::string &sourceFolder, const std::string &destinationFolder, bool force) {
  TOperationContext context;
  FolderMove(sourceFolder, destinationFolder, force, context);
}
bool FolderDelete(const std::string &folder, bool force) {
  TOperationContext context;
  return FolderDelete(folder, force, context);
}
void ItemDelete(const std::string &path, bool force) {
  TOperationContext context;
  ItemDelete(path, force, context);
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

void CountSources(const std::vector<std::string> &sources, const std::string &exclusions,
                  TOperationProgress &progress, const std::function<bool()> &stop) {
  auto add = [&](const FsEntry &e) {
    if (!exclusions.empty() && FileNameExcluded(e.name, exclusions)) return;
    ++progress.FilesTotal;
    if ((e.mode & 0170000) == 0100000) progress.BytesTotal += e.size;  // a regular file
  };
  for (const std::string &source : sources) {
    if (stop()) return;
    FsEntry info;
    if (!EndsWithDelim(source)) {
      if (FsGetInfo(source, info)) add(info);
      continue;
    }
    // Depth first over open folders, so a deep tree holds one reader per level.
    std::vector<std::unique_ptr<FsFolderReader>> open;
    open.push_back(std::make_unique<FsFolderReader>());
    if (!open.back()->OpenWalk(WithDelim(source))) continue;
    while (!open.empty()) {
      if (stop()) return;
      FsEntry entry;
      if (!open.back()->Next(entry)) {
        open.pop_back();
        continue;
      }
      if ((entry.attr & faDirectory) && !IsLink(entry)) {
        auto sub = std::make_unique<FsFolderReader>();
        if (sub->OpenSub(*open.back(), entry)) open.push_back(std::move(sub));
      } else {
        add(entry);
      }
    }
  }
  progress.Counted = true;
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
