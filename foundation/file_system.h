// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file, folder and volume calls of the program, on Linux.
//
// Paths are byte strings as the file system gives them (any bytes but NUL,
// valid UTF-8 or not). A folder path may end with PathDelim; calls that act on
// a link itself (info, attributes, times, delete, move, link calls) ignore a
// trailing PathDelim, so "dir/link/" still names the link. Calls report
// failure by their result and leave the error number (errno values) in
// FsLastError() of the calling thread. No call throws; every call may run on
// any thread.
//
// A fault-injection seam (FsInjectFault) lets tests make a chosen call fail
// for a chosen path, because tests run as root and permissions cannot.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace trovix {

inline constexpr char PathDelim = '/';

// Attribute bits, as the rest of the program knows them.
inline constexpr uint32_t faReadOnly = 0x01;       // owner write bit clear
inline constexpr uint32_t faHidden = 0x02;         // name starts with "."
inline constexpr uint32_t faDirectory = 0x10;      // a folder, or a link to one
inline constexpr uint32_t faReparsePoint = 0x400;  // a symbolic link
inline constexpr uint32_t faInvalid = 0xFFFFFFFF;  // attributes could not be read

// File times: 100 ns ticks since 1601-01-01 UTC.
int64_t FileTimeFromUnixNs(int64_t unixNs);
int64_t FileTimeToUnixNs(int64_t fileTime);
int64_t FileTimeNow();

// Error number of the last failed call on this thread; 0 after a success.
int FsLastError();
std::string FsErrorText(int error);

// One entry of a folder, or what FsGetInfo reads of a path. For a link the
// size and time are the link's own; the folder bit follows the link. A
// folder's size is 0.
struct FsEntry {
  std::string name;
  int64_t size = 0;
  int64_t time = 0;
  uint32_t attr = 0;
  uint32_t mode = 0;    // type and permission bits (st_mode)
  uint64_t device = 0;  // device and inode: which file this is
  uint64_t inode = 0;
  int64_t changeTime = 0;  // last change of content or state (ctime), a file time
  int64_t allocated = 0;   // bytes the file occupies on disk (less than size when sparse)
};

// What a folder tells of an entry's kind without examining it (Unknown on
// file systems that do not say).
enum class FsKind : uint8_t { Unknown, File, Folder, Link, Other };

// Reads a folder entry by entry ("." and ".." left out).
class FsFolderReader {
 public:
  FsFolderReader() = default;
  ~FsFolderReader();
  FsFolderReader(const FsFolderReader &) = delete;
  FsFolderReader &operator=(const FsFolderReader &) = delete;
  bool Open(const std::string &folder);
  // Opens the sub folder name of the open folder parent, relative to it and
  // never through a link (a link fails with ELOOP or ENOTDIR), so a folder
  // swapped for a link while a tree is walked cannot lead outside the tree.
  // path, the sub folder's full path, is what List faults look at.
  bool OpenAt(const FsFolderReader &parent, const std::string &name, const std::string &path);
  // False at the end of the folder or on an error (FsLastError tells which:
  // 0 at the end).
  bool Next(FsEntry &entry);
  // The next name only, without reading the entry's details: for counting.
  bool NextName(std::string &name);
  // The next name and the kind the folder gives for it, without examining
  // the entry.
  bool NextKind(std::string &name, FsKind &kind);
  // Examines the entry name of the open folder, as Next reports it.
  bool Info(const std::string &name, FsEntry &entry);
  // The open folder's device and inode, to recognise a folder met again.
  bool Identity(uint64_t &device, uint64_t &inode);
  // Opens the regular file name of the open folder for reading: never
  // through a link (ELOOP), never a pipe, socket or device (EINVAL), and
  // where the system allows without changing the file's access time. path,
  // the file's full path, is what Open and Read faults look at.
  int OpenFile(const std::string &name, const std::string &path);
  void Close();

  // ---- Tree walks -----------------------------------------------------------
  // A walk (delete, copy, move) opens its folders so that a folder swapped
  // for a link while it runs cannot lead it outside its tree: the last
  // component is never followed, sub folders are opened relative to the open
  // parent and must still be the folder the walk listed (device and inode,
  // as rm -r checks), and files are read and removed relative to the folder.
  // The calls below take a name inside the open folder; Path() + name is
  // what faults and the hook see.

  // Opens folder for a walk; a link (even to a folder) fails with ELOOP.
  bool OpenWalk(const std::string &folder);
  // Opens the sub folder entry (as parent.Next gave it) of parent; fails
  // with ELOOP or ENOTDIR when it is no longer a folder, ESTALE when another
  // folder took its place.
  bool OpenSub(const FsFolderReader &parent, const FsEntry &entry);
  // The folder's path, ending with PathDelim.
  const std::string &Path() const { return folder_; }
  // Opens a regular file of the folder for reading, never through a link.
  int OpenRead(const std::string &name) const;
  bool ReadLink(const std::string &name, std::string &target) const;
  // The entry of name as it is now (a link's own).
  bool Info(const std::string &name, FsEntry &entry) const;
  // Removes a file or link of the folder; refuses a read-only file (EACCES)
  // as FsDeleteFile does.
  bool DeleteFile(const std::string &name) const;
  // Clears the read-only state of a file of the folder (a link: nothing).
  bool ClearReadOnly(const std::string &name) const;
  // Removes an empty sub folder.
  bool RemoveFolder(const std::string &name) const;

 private:
  bool Attach(int fd, const std::string &folder);
  void *dir_ = nullptr;
  std::string folder_;
};

// The whole folder at once; false when it cannot be read.
bool FsListFolder(const std::string &folder, std::vector<FsEntry> &entries);

bool FsGetInfo(const std::string &path, FsEntry &info);  // name = last component
bool FsGetInfo(int handle, FsEntry &info);               // of an open file; name empty
bool FsExists(const std::string &path);                  // a link counts, even a broken one
bool FsFileExists(const std::string &path);              // exists and is not a folder
bool FsFolderExists(const std::string &path);            // a folder, or a link to one

uint32_t FsGetAttributes(const std::string &path);  // faInvalid on failure
// Read-only clears every write bit; writable sets the owner's. A link has no
// read-only state of its own: clearing it succeeds, setting it fails
// (EOPNOTSUPP); what the link points to is never changed.
bool FsSetReadOnly(const std::string &path, bool readOnly);

// The last-write time; of a link, the link's own. Setting leaves the access
// time as it was.
bool FsGetFileTime(const std::string &path, int64_t &fileTime);
bool FsGetFileTime(int handle, int64_t &fileTime);  // of an open file
bool FsSetFileTime(const std::string &path, int64_t fileTime);
bool FsSetFileTime(int handle, int64_t fileTime);

// Files. Handles are file descriptors; FsInvalidHandle on failure.
inline constexpr int FsInvalidHandle = -1;
int FsOpenRead(const std::string &path);  // a folder fails with EISDIR
// The same, failing with ELOOP when the path names a link.
int FsOpenReadNoFollow(const std::string &path);
// Creates a file for writing: replaces an existing one (but refuses a
// read-only one with EACCES, as a delete would), or with exclusive fails when
// the name exists. A new file gets the permission bits mode minus the umask.
int FsCreate(const std::string &path, bool exclusive, uint32_t mode = 0666);
// Bytes read (0 at the end), -1 on failure.
int64_t FsRead(int handle, void *buffer, int64_t count);
// Bytes written, which may be fewer than count (a short write, FsLastError
// then tells why, ENOSPC for a full disk), -1 on failure.
int64_t FsWrite(int handle, const void *buffer, int64_t count);
bool FsSync(int handle);
// Makes a folder's entries (names created or removed in it) durable.
bool FsSyncFolder(const std::string &path);
bool FsClose(int handle);
int64_t FsFileSize(int handle);  // -1 on failure
// The permission bits (07777) of the file path reaches, links followed.
bool FsGetMode(const std::string &path, uint32_t &mode);
// Sets the permission bits (07777) of an open file, or of a file or folder
// (never through a link).
bool FsSetMode(int handle, uint32_t mode);
bool FsSetMode(const std::string &path, uint32_t mode);
// The process's umask (read once; the program never changes it).
uint32_t FsUmask();

// Temporary files. A writer locks its temporary file shared while it works
// on it; FsRemoveUnused removes the files and links of folder whose name
// match accepts, that were last written before before (a file time) and that
// no process holds locked. Returns how many it removed.
bool FsLockShared(int handle);
int FsRemoveUnused(const std::string &folder, const std::function<bool(const std::string &)> &match,
                   int64_t before);

// Sparse files. The next stretch of data at or after from: [start, end).
// False at the end of the data (FsLastError 0) or on an error.
bool FsNextData(int handle, int64_t from, int64_t &start, int64_t &end);
bool FsSeek(int handle, int64_t position);
bool FsSetSize(int handle, int64_t size);  // truncates or extends (with a hole)

// Deletes a file or a link (never what a link points to); refuses a
// read-only file with EACCES.
bool FsDeleteFile(const std::string &path);
// Creates a folder with every missing level; true when it exists afterwards.
// A folder made here gets the permission bits mode (the last level) or 0777
// (the levels above it), minus the umask.
bool FsCreateFolders(const std::string &path, uint32_t mode = 0777);
// Removes an empty folder.
bool FsRemoveFolder(const std::string &path);
// Moves a file, folder or link; never replaces an existing destination
// (EEXIST) and fails across volumes (EXDEV). Where the file system lacks
// RENAME_NOREPLACE it moves a file by a hard link, and where it lacks hard
// links too by a rename after checking that the destination is free (or is
// the same file, as a case-only rename on a case-insensitive volume is).
bool FsMove(const std::string &from, const std::string &to);
// Renames over an existing destination, atomically (to finish a safe copy);
// refuses a read-only destination file with EACCES, as a delete would.
bool FsReplace(const std::string &from, const std::string &to);

// Symbolic links.
bool FsIsLink(const std::string &path);
bool FsReadLink(const std::string &path, std::string &target);
bool FsCreateLink(const std::string &target, const std::string &path);

// True when both paths reach the same file (device and inode).
bool FsSameFile(const std::string &a, const std::string &b);
// The user the program runs as (its real user id).
uint32_t FsUserId();

// Volumes.
enum class FsDriveType { Fixed, Removable, Network, CdRom };
struct FsVolume {
  std::string mountPoint;  // ends with PathDelim
  std::string label;       // empty when the volume has none
  std::string fsType;      // "ext4", "nfs", ...
  std::string device;
  FsDriveType type = FsDriveType::Fixed;
};
// The mounted real volumes (pseudo file systems left out), in mount-point
// order; "/" is always among them.
std::vector<FsVolume> FsVolumes();
// The same from the text of a mountinfo file (FsVolumes reads
// /proc/self/mountinfo); labels and removable devices come from this machine.
std::vector<FsVolume> FsVolumesFromMountInfo(const std::string &mountInfo);
// The volume holding path: the longest mount point that is a prefix of it.
bool FsVolumeOf(const std::string &path, FsVolume &volume);
bool FsFreeSpace(const std::string &path, int64_t &freeBytes, int64_t &totalBytes);

// Fault injection, for tests. A fault applies to every call of its kind on a
// path that contains pathPart, until cleared. Read and Write faults let the
// first afterBytes bytes of that open file through (the call that crosses the
// mark is cut at it), then fail with error. ShortWrite lets afterBytes bytes
// through, then the write that crosses that mark stores only up to it and
// returns the smaller count, and every later write returns 0 (what a full
// disk does; FsLastError is ENOSPC); error is unused. Handle calls (Read,
// Write, ShortWrite, SetTime, Sync, Close) know the path only of files opened
// while some fault was installed. The calls each kind fails: Open FsOpenRead;
// Create FsCreate, FsCreateLink; Delete FsDeleteFile; Rename FsMove,
// FsReplace (either path); RemoveFolder FsRemoveFolder; CreateFolder
// FsCreateFolders; SetTime FsSetFileTime; SetAttributes FsSetReadOnly,
// FsSetMode; List FsFolderReader::Open, OpenWalk, OpenSub, FsListFolder; Sync
// FsSync, FsSyncFolder; Close FsClose (the handle is closed all the same).
// The folder reader's walk calls fail as Open (OpenRead), Delete
// (DeleteFile), SetAttributes (ClearReadOnly) and RemoveFolder. NoReplace
// makes the rename without replacing answer error (a file system that lacks
// it) and HardLink the hard link of FsMove's fallback.
enum class FsOp {
  Open,
  Read,
  Write,
  ShortWrite,
  Create,
  Delete,
  Rename,
  RemoveFolder,
  CreateFolder,
  SetTime,
  SetAttributes,
  List,
  Sync,
  Close,
  NoReplace,
  HardLink
};
void FsInjectFault(FsOp op, const std::string &pathPart, int error, int64_t afterBytes = 0);
void FsClearFaults();

// Delay faults, for tests: a slow or hung disk or mount. Every call of the
// kind on a path that contains pathPart waits millis milliseconds before it
// runs, or with millis < 0 until the delays are released. List delays
// FsFolderReader::Open, OpenWalk and FsListFolder; Stat FsGetInfo (by path),
// FsExists, FsFileExists, FsFolderExists and FsGetAttributes; FreeSpace
// FsFreeSpace; Volumes FsVolumes and FsVolumeOf (their path is empty, so only
// an empty pathPart matches); Read FsOpenRead and FsOpenReadNoFollow; Change
// FsCreate, FsDeleteFile, FsCreateFolders, and FsMove and FsReplace (by their
// source path). FsReleaseDelays removes every delay and lets the calls
// waiting on one go on; FsClearFaults does too.
enum class FsDelayOp { List, Stat, FreeSpace, Volumes, Read, Change };
void FsInjectDelay(FsDelayOp op, const std::string &pathPart, int64_t millis);
void FsReleaseDelays();
// Calls now waiting on a delay (for tests, to know a worker is stuck).
int FsDelayedCalls();

// A hook, for tests, called at the start of every call that a fault could
// fail (and of FsRead, FsWrite and FsCopyRange as Read and Write) with its
// kind and path, before any fault applies: to act between two steps of an
// operation or to record the order of its calls. Handle calls know the path
// of files opened while a hook or fault was installed. Calls made by the
// hook itself do not call it again. An empty function removes it;
// FsClearFaults removes it too.
void FsSetHook(std::function<void(FsOp op, const std::string &path)> hook);

// ---- In-kernel copy (for the file operation engine) -------------------------

// Copies up to count bytes from in's position to out's position inside the
// kernel (copy_file_range), moving both positions on. Returns the bytes
// copied, 0 at the end of in (or where a file system reports no more, as
// some special files do: the caller then goes on with FsRead), -1 on
// failure, after which nothing was copied and the caller falls back to FsRead
// and FsWrite (EXDEV, EOPNOTSUPP, ENOSYS, EINVAL: the file systems cannot).
// A file that a Read, Write or ShortWrite fault concerns is declined with
// EOPNOTSUPP, so those faults meet the caller's FsRead and FsWrite.
int64_t FsCopyRange(int in, int out, int64_t count);

}  // namespace trovix
