// SPDX-License-Identifier: GPL-3.0-or-later
// File, folder and volume calls over POSIX and Linux system calls.
#include "foundation/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <unordered_map>

#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

namespace trovix {

namespace {

// ---- Errors -----------------------------------------------------------------

thread_local int tLastError = 0;

bool Ok() {
  tLastError = 0;
  return true;
}

bool Fail(int error) {
  tLastError = error;
  return false;
}

bool FailErrno() { return Fail(errno); }

// Repeats a system call interrupted by a signal.
template <typename F>
auto Retry(F call) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

// ---- Paths ------------------------------------------------------------------

// The path without trailing delimiters, so that it names a link itself rather
// than what the link points to; "/" stays "/".
std::string NoTrailingDelim(const std::string &path) {
  size_t end = path.size();
  while (end > 1 && path[end - 1] == PathDelim) --end;
  return path.substr(0, end);
}

std::string LastComponent(const std::string &path) {
  std::string p = NoTrailingDelim(path);
  size_t slash = p.rfind(PathDelim);
  if (slash == std::string::npos || p.size() == 1) return p;
  return p.substr(slash + 1);
}

// ---- Times ------------------------------------------------------------------

constexpr int64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kUnixEpochTicks = 116'444'736'000'000'000;  // 1601 to 1970

int64_t Saturate(__int128 v) {
  if (v > INT64_MAX) return INT64_MAX;
  if (v < INT64_MIN) return INT64_MIN;
  return static_cast<int64_t>(v);
}

int64_t FileTimeFromTimespec(const timespec &ts) {
  return Saturate(static_cast<__int128>(ts.tv_sec) * kTicksPerSecond + ts.tv_nsec / 100 +
                  kUnixEpochTicks);
}

timespec TimespecFromFileTime(int64_t fileTime) {
  __int128 ticks = static_cast<__int128>(fileTime) - kUnixEpochTicks;
  __int128 sec = ticks / kTicksPerSecond;
  __int128 rem = ticks % kTicksPerSecond;
  if (rem < 0) {
    rem += kTicksPerSecond;
    --sec;
  }
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(sec);
  ts.tv_nsec = static_cast<long>(rem * 100);
  return ts;
}

// ---- Attributes -------------------------------------------------------------

uint32_t AttributesOf(const struct stat &st, const char *name, bool linkToFolder) {
  uint32_t attr = 0;
  if (S_ISLNK(st.st_mode)) {
    attr |= faReparsePoint;
    if (linkToFolder) attr |= faDirectory;
  } else {
    if (S_ISDIR(st.st_mode)) attr |= faDirectory;
    if (!(st.st_mode & S_IWUSR)) attr |= faReadOnly;
  }
  if (name[0] == '.') attr |= faHidden;
  return attr;
}

void FillEntry(FsEntry &entry, const struct stat &st, bool linkToFolder) {
  entry.attr = AttributesOf(st, entry.name.c_str(), linkToFolder);
  entry.size = S_ISDIR(st.st_mode) ? 0 : static_cast<int64_t>(st.st_size);
  entry.time = FileTimeFromTimespec(st.st_mtim);
  entry.mode = st.st_mode;
  entry.device = st.st_dev;
  entry.inode = st.st_ino;
  entry.changeTime = FileTimeFromTimespec(st.st_ctim);
  entry.allocated = static_cast<int64_t>(st.st_blocks) * 512;
}

// Reads what FsGetInfo reports of path (dirFd-relative when dirFd is a folder).
bool StatEntry(int dirFd, const char *path, FsEntry &entry) {
  struct stat st;
  if (Retry([&] { return fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW); }) != 0) return false;
  bool linkToFolder = false;
  if (S_ISLNK(st.st_mode)) {
    struct stat target;
    linkToFolder = fstatat(dirFd, path, &target, 0) == 0 && S_ISDIR(target.st_mode);
  }
  FillEntry(entry, st, linkToFolder);
  return true;
}

// ---- Fault injection --------------------------------------------------------

struct Fault {
  FsOp op;
  std::string pathPart;
  int error;
  int64_t afterBytes;
};

// A file opened while faults are installed: its path and the bytes moved so far.
struct TrackedFile {
  std::string path;
  int64_t bytesRead = 0;
  int64_t bytesWritten = 0;
};

std::mutex gFaultMutex;
std::vector<Fault> gFaults;
std::function<void(FsOp, const std::string &)> gHook;
std::unordered_map<int, TrackedFile> gTracked;
std::atomic<bool> gAnyFaults{false};  // faults or a hook; lets every call skip the lock when false
thread_local bool tInHook = false;

bool AnyFaults() { return gAnyFaults.load(std::memory_order_acquire); }

// Delay faults: their own lock and wake-up, so that a call held by one never
// holds up the fault lock that other threads' calls take.
struct Delay {
  FsDelayOp op;
  std::string pathPart;
  int64_t millis;
};
// Made once and never destroyed: a worker may still wait on a delay when the
// program exits, and destroying a condition variable waits for its waiters.
struct DelayState {
  std::mutex mutex;
  std::condition_variable released;
  std::vector<Delay> delays;
  uint64_t generation = 0;  // grows at every release
  int waiting = 0;
};
DelayState &Delays() {
  static DelayState *state = new DelayState;
  return *state;
}
std::atomic<bool> gAnyDelays{false};

// Waits as a delay fault of kind op for path says, if any; keeps errno.
void DelayPoint(FsDelayOp op, const std::string &path) {
  if (!gAnyDelays.load(std::memory_order_acquire)) return;
  DelayState &d = Delays();
  std::unique_lock lock(d.mutex);
  int64_t millis = 0;
  bool found = false;
  for (const Delay &delay : d.delays)
    if (delay.op == op && path.find(delay.pathPart) != std::string::npos) {
      millis = delay.millis;
      found = true;
    }
  if (!found) return;
  const uint64_t generation = d.generation;
  const int saved = errno;
  ++d.waiting;
  auto released = [&] { return d.generation != generation; };
  if (millis < 0)
    d.released.wait(lock, released);
  else
    d.released.wait_for(lock, std::chrono::milliseconds(millis), released);
  --d.waiting;
  errno = saved;
}

// Calls the hook, if any, outside the lock and never from inside itself.
void CallHook(FsOp op, const std::string &path) {
  if (!AnyFaults() || tInHook) return;
  std::function<void(FsOp, const std::string &)> hook;
  {
    std::lock_guard lock(gFaultMutex);
    hook = gHook;
  }
  if (!hook) return;
  int saved = errno;
  tInHook = true;
  hook(op, path);
  tInHook = false;
  errno = saved;
}

// The path a handle was opened with, when it is tracked.
std::string TrackedPath(int handle) {
  std::lock_guard lock(gFaultMutex);
  auto it = gTracked.find(handle);
  return it == gTracked.end() ? std::string() : it->second.path;
}

// The fault of kind op for path, or null. Called with gFaultMutex held.
const Fault *FindFault(FsOp op, const std::string &path) {
  for (const Fault &f : gFaults)
    if (f.op == op && path.find(f.pathPart) != std::string::npos) return &f;
  return nullptr;
}

// True (and FsLastError set) when a fault fails this call on path or path2.
bool Injected(FsOp op, const std::string &path, const std::string *path2 = nullptr) {
  if (!AnyFaults()) return false;
  CallHook(op, path);
  std::lock_guard lock(gFaultMutex);
  const Fault *f = FindFault(op, path);
  if (!f && path2) f = FindFault(op, *path2);
  if (!f) return false;
  tLastError = f->error;
  return true;
}

// The error a fault injects into this call on handle, or 0.
int HandleFault(FsOp op, int handle) {
  if (!AnyFaults()) return 0;
  CallHook(op, TrackedPath(handle));
  std::lock_guard lock(gFaultMutex);
  auto it = gTracked.find(handle);
  if (it == gTracked.end()) return 0;
  const Fault *f = FindFault(op, it->second.path);
  return f ? f->error : 0;
}

void TrackOpen(int handle, const std::string &path) {
  if (!AnyFaults()) return;
  std::lock_guard lock(gFaultMutex);
  gTracked[handle] = TrackedFile{path};
}

void TrackClose(int handle) {
  if (!AnyFaults()) return;
  std::lock_guard lock(gFaultMutex);
  gTracked.erase(handle);
}

// What the Read, Write and ShortWrite faults allow of the next transfer.
struct Allowance {
  int failError = 0;      // fail at once with this error
  bool fullDisk = false;  // store nothing and return 0
  int64_t limit = -1;     // at most this many bytes (-1: no limit)
  int cutError = 0;       // the reason for a transfer cut at limit
};

Allowance AllowanceFor(int handle, bool writing) {
  Allowance a;
  std::lock_guard lock(gFaultMutex);
  auto it = gTracked.find(handle);
  if (it == gTracked.end()) return a;
  const TrackedFile &file = it->second;
  int64_t done = writing ? file.bytesWritten : file.bytesRead;
  if (const Fault *f = FindFault(writing ? FsOp::Write : FsOp::Read, file.path)) {
    if (done >= f->afterBytes) {
      a.failError = f->error ? f->error : EIO;
      return a;
    }
    a.limit = f->afterBytes - done;
    a.cutError = f->error;
  }
  if (writing) {
    if (const Fault *f = FindFault(FsOp::ShortWrite, file.path)) {
      if (done >= f->afterBytes) {
        a.fullDisk = true;
        return a;
      }
      if (a.limit < 0 || f->afterBytes - done < a.limit) {
        a.limit = f->afterBytes - done;
        a.cutError = ENOSPC;
      }
    }
  }
  return a;
}

void CountTransfer(int handle, bool writing, int64_t bytes) {
  std::lock_guard lock(gFaultMutex);
  auto it = gTracked.find(handle);
  if (it != gTracked.end()) (writing ? it->second.bytesWritten : it->second.bytesRead) += bytes;
}

// ---- Moving -----------------------------------------------------------------

int RenameNoReplace(const char *from, const char *to) {
  return static_cast<int>(syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
}

// A rename that first makes sure the destination is free, or is the source
// itself under another spelling (a case-only rename on a volume that ignores
// case). Racy, so only for file systems that cannot rename without replacing
// or make hard links.
bool CheckedRename(const std::string &from, const std::string &to) {
  struct stat st, source;
  if (lstat(to.c_str(), &st) == 0) {
    if (lstat(from.c_str(), &source) != 0) return FailErrno();
    // The same inode under another name that is not a hard link of it.
    if (st.st_dev != source.st_dev || st.st_ino != source.st_ino || st.st_nlink > 1)
      return Fail(EEXIST);
  } else if (errno != ENOENT) {
    return FailErrno();
  }
  if (rename(from.c_str(), to.c_str()) != 0) return FailErrno();
  return Ok();
}

// A hard link under the new name (the NoReplace and HardLink faults stand
// for file systems that lack the call).
int HardLink(const std::string &from, const std::string &to) {
  if (Injected(FsOp::HardLink, from, &to)) return errno = tLastError, -1;
  return linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), 0);
}

// Moves without replacing where the file system lacks RENAME_NOREPLACE: a file
// (or link) by a hard link under the new name, which fails when it exists.
// Without hard links (EPERM, EOPNOTSUPP, EMLINK; EINVAL and ENOSYS from some
// FUSE servers; EEXIST from CIFS for a case-only rename) a checked rename.
bool MoveWithoutNoReplace(const std::string &from, const std::string &to) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return FailErrno();
  if (S_ISDIR(st.st_mode)) return CheckedRename(from, to);
  if (HardLink(from, to) != 0) {
    switch (errno) {
      case EPERM:
      case EOPNOTSUPP:
      case EMLINK:
      case EINVAL:
      case ENOSYS:
      case EEXIST: return CheckedRename(from, to);
      default: return FailErrno();
    }
  }
  if (unlink(from.c_str()) != 0) {
    int error = errno;
    unlink(to.c_str());
    return Fail(error);
  }
  return Ok();
}

// ---- Volumes ----------------------------------------------------------------

// Undoes the octal escapes (\040 for a space) of a mountinfo field.
std::string DecodeMountField(const std::string &s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size()) {
      const char *d = s.data() + i + 1;
      if (d[0] >= '0' && d[0] <= '3' && d[1] >= '0' && d[1] <= '7' && d[2] >= '0' && d[2] <= '7') {
        out += static_cast<char>((d[0] - '0') * 64 + (d[1] - '0') * 8 + (d[2] - '0'));
        i += 3;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

// Undoes the \xNN escapes of the names in /dev/disk/by-label.
std::string DecodeLabel(const std::string &s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && isxdigit((unsigned char)s[i + 2]) &&
        isxdigit((unsigned char)s[i + 3])) {
      out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

bool StartsWith(const std::string &s, const char *prefix) {
  return s.compare(0, strlen(prefix), prefix) == 0;
}

bool IsPseudoFileSystem(const std::string &type, const std::string &mountPoint) {
  static const char *const kPseudo[] = {
      "proc",    "sysfs",    "devtmpfs",    "devpts",     "tmpfs",           "ramfs",
      "cgroup",  "cgroup2",  "securityfs",  "debugfs",    "tracefs",         "configfs",
      "pstore",  "bpf",      "mqueue",      "hugetlbfs",  "fusectl",         "binfmt_misc",
      "autofs",  "efivarfs", "rpc_pipefs",  "nsfs",       "selinuxfs",       "nfsd",
      "overlay", "devfs",    "fuse.portal", "fuse.lxcfs", "fuse.gvfsd-fuse", "fuse.snapfuse"};
  for (const char *p : kPseudo)
    if (type == p) return true;
  if (type == "squashfs" && StartsWith(mountPoint, "/snap/")) return true;
  // The system's own trees hold nothing a user browses as a volume.
  for (const char *p : {"/proc/", "/sys/", "/dev/"})
    if (StartsWith(mountPoint, p)) return true;
  return StartsWith(mountPoint, "/run/") && !StartsWith(mountPoint, "/run/media/");
}

bool IsNetworkFileSystem(const std::string &type, const std::string &device) {
  static const char *const kNetwork[] = {"nfs",
                                         "nfs4",
                                         "cifs",
                                         "smb3",
                                         "smbfs",
                                         "ncpfs",
                                         "afs",
                                         "coda",
                                         "ceph",
                                         "glusterfs",
                                         "davfs",
                                         "sshfs",
                                         "fuse.sshfs",
                                         "fuse.rclone",
                                         "fuse.s3fs",
                                         "fuse.curlftpfs",
                                         "fuse.davfs2",
                                         "fuse.gcsfuse",
                                         "fuse.glusterfs",
                                         "fuse.ceph",
                                         "fuse.smbnetfs"};
  for (const char *n : kNetwork)
    if (type == n) return true;
  // Other fuse file systems of a remote source ("user@host:/path").
  return StartsWith(type, "fuse.") && !device.empty() && device[0] != '/' &&
         device.find(':') != std::string::npos;
}

// One mountinfo line that survived the filter.
struct Mount {
  FsVolume volume;
  dev_t dev = 0;  // the st_dev of the mount, from mountinfo
};

std::vector<Mount> ParseMountInfo(const std::string &text) {
  std::vector<Mount> mounts;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) eol = text.size();
    std::vector<std::string> f;
    for (size_t i = pos; i < eol;) {
      size_t sp = text.find(' ', i);
      if (sp == std::string::npos || sp > eol) sp = eol;
      if (sp > i) f.push_back(text.substr(i, sp - i));
      i = sp + 1;
    }
    pos = eol + 1;
    // id parent major:minor root mount-point options [optional...] - type source super
    auto dash = std::find(f.begin(), f.end(), "-");
    if (f.size() < 6 || dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 3) continue;
    Mount m;
    unsigned major = 0, minor = 0;
    if (sscanf(f[2].c_str(), "%u:%u", &major, &minor) == 2) m.dev = makedev(major, minor);
    m.volume.mountPoint = DecodeMountField(f[4]);
    m.volume.fsType = DecodeMountField(dash[1]);
    m.volume.device = DecodeMountField(dash[2]);
    if (m.volume.mountPoint.empty() || m.volume.mountPoint[0] != PathDelim) continue;
    if (m.volume.mountPoint != "/" &&
        IsPseudoFileSystem(m.volume.fsType, m.volume.mountPoint + PathDelim))
      continue;
    if (m.volume.mountPoint.back() != PathDelim) m.volume.mountPoint += PathDelim;
    // A later mount on the same point hides the earlier one.
    auto same = std::find_if(mounts.begin(), mounts.end(), [&](const Mount &o) {
      return o.volume.mountPoint == m.volume.mountPoint;
    });
    if (same != mounts.end())
      *same = m;
    else
      mounts.push_back(m);
  }
  if (std::none_of(mounts.begin(), mounts.end(),
                   [](const Mount &m) { return m.volume.mountPoint == "/"; })) {
    Mount root;
    root.volume.mountPoint = "/";
    mounts.push_back(root);
  }
  std::sort(mounts.begin(), mounts.end(), [](const Mount &a, const Mount &b) {
    return a.volume.mountPoint < b.volume.mountPoint;
  });
  return mounts;
}

bool ReadSmallFile(const char *path, std::string &text) {
  int fd = Retry([&] { return open(path, O_RDONLY | O_CLOEXEC); });
  if (fd < 0) return false;
  text.clear();
  char buf[16384];
  for (;;) {
    ssize_t n = Retry([&] { return read(fd, buf, sizeof buf); });
    if (n <= 0) {
      close(fd);
      return n == 0;
    }
    text.append(buf, static_cast<size_t>(n));
  }
}

// The block device behind a mount: the device node's number when the source
// is one, else the mount's own device number.
dev_t BlockDeviceOf(const Mount &m) {
  struct stat st;
  if (StartsWith(m.volume.device, "/dev/") && stat(m.volume.device.c_str(), &st) == 0 &&
      S_ISBLK(st.st_mode))
    return st.st_rdev;
  return m.dev;
}

std::string LabelOf(dev_t device) {
  const char *kFolder = "/dev/disk/by-label";
  DIR *dir = opendir(kFolder);
  if (!dir) return {};
  std::string label;
  while (dirent *e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::string path = std::string(kFolder) + PathDelim + e->d_name;
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == device) {
      label = DecodeLabel(e->d_name);
      break;
    }
  }
  closedir(dir);
  return label;
}

bool IsRemovableDevice(dev_t device) {
  std::string base =
      "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
  std::string value;
  if (access((base + "/partition").c_str(), F_OK) == 0) base += "/..";
  return ReadSmallFile((base + "/removable").c_str(), value) && StartsWith(value, "1");
}

FsVolume Describe(const Mount &m) {
  FsVolume v = m.volume;
  const std::string &type = v.fsType;
  dev_t device = BlockDeviceOf(m);
  bool block = major(device) != 0;
  if (block) v.label = LabelOf(device);
  if (type == "iso9660" || type == "udf")
    v.type = FsDriveType::CdRom;
  else if (IsNetworkFileSystem(type, v.device))
    v.type = FsDriveType::Network;
  else if (StartsWith(v.mountPoint, "/media/") || StartsWith(v.mountPoint, "/run/media/") ||
           (block && IsRemovableDevice(device)))
    v.type = FsDriveType::Removable;
  return v;
}

std::vector<Mount> CurrentMounts() {
  std::string text;
  ReadSmallFile("/proc/self/mountinfo", text);
  return ParseMountInfo(text);
}

// ---- Folder reading ---------------------------------------------------------

// The state behind FsFolderReader: the folder's descriptor and a buffer of
// raw entries, read many at a time with getdents64.
struct FolderState {
  int fd = -1;
  size_t pos = 0;
  size_t len = 0;
  alignas(8) char buf[64 * 1024];
};

}  // namespace

// ---- Times ------------------------------------------------------------------

int64_t FileTimeFromUnixNs(int64_t unixNs) {
  int64_t ticks = unixNs / 100;
  if (unixNs % 100 < 0) --ticks;  // round toward the past, as for positive times
  return ticks + kUnixEpochTicks;
}

int64_t FileTimeToUnixNs(int64_t fileTime) {
  return Saturate((static_cast<__int128>(fileTime) - kUnixEpochTicks) * 100);
}

int64_t FileTimeNow() {
  timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return FileTimeFromTimespec(ts);
}

// ---- Errors -----------------------------------------------------------------

int FsLastError() { return tLastError; }

std::string FsErrorText(int error) {
  char buf[256];
  return strerror_r(error, buf, sizeof buf);  // the GNU form returns the text
}

// ---- Folder reading ---------------------------------------------------------

static int CheckRegularFile(int fd, const struct stat &st);
static int FinishOpen(int fd, int error, const std::string &path);

FsFolderReader::~FsFolderReader() { Close(); }

bool FsFolderReader::Open(const std::string &folder) {
  Close();
  folder_ = folder;
  DelayPoint(FsDelayOp::List, folder);
  if (Injected(FsOp::List, folder)) return false;
  int fd = Retry([&] { return open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return FailErrno();
  return Attach(fd, folder);
}

bool FsFolderReader::Attach(int fd, const std::string &folder) {
  auto *state = new FolderState;
  state->fd = fd;
  dir_ = state;
  folder_ = folder.empty() || folder.back() == PathDelim ? folder : folder + PathDelim;
  return Ok();
}

bool FsFolderReader::OpenWalk(const std::string &folder) {
  Close();
  folder_ = folder;
  DelayPoint(FsDelayOp::List, folder);
  if (Injected(FsOp::List, folder)) return false;
  std::string p = NoTrailingDelim(folder);
  int fd = Retry([&] {
    return open(p.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  });
  if (fd < 0) return FailErrno();
  return Attach(fd, folder);
}

bool FsFolderReader::OpenSub(const FsFolderReader &parent, const FsEntry &entry) {
  Close();
  auto *p = static_cast<FolderState *>(parent.dir_);
  if (!p) return Fail(EBADF);
  const std::string path = parent.folder_ + entry.name + PathDelim;
  folder_ = path;
  if (Injected(FsOp::List, path)) return false;
  int fd = Retry([&] {
    return openat(p->fd, entry.name.c_str(),
                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  });
  if (fd < 0) return FailErrno();
  // Still the folder that was listed, not one moved into its place.
  struct stat st;
  if (fstat(fd, &st) != 0 || st.st_dev != entry.device || st.st_ino != entry.inode) {
    close(fd);
    return Fail(ESTALE);
  }
  return Attach(fd, path);
}

int FsFolderReader::OpenRead(const std::string &name) const {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF), FsInvalidHandle;
  const std::string path = folder_ + name;
  if (Injected(FsOp::Open, path)) return FsInvalidHandle;
  int fd = Retry([&] {
    return openat(state->fd, name.c_str(),
                  O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
  });
  if (fd < 0) return FailErrno(), FsInvalidHandle;
  struct stat st;
  int error = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : CheckRegularFile(fd, st);
  return FinishOpen(fd, error, path);
}

bool FsFolderReader::ReadLink(const std::string &name, std::string &target) const {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  std::string buf(256, '\0');
  for (;;) {
    ssize_t n = readlinkat(state->fd, name.c_str(), buf.data(), buf.size());
    if (n < 0) return FailErrno();
    if (static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      target = std::move(buf);
      return Ok();
    }
    buf.resize(buf.size() * 2);
  }
}

bool FsFolderReader::Info(const std::string &name, FsEntry &entry) const {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  entry.name = name;
  if (!StatEntry(state->fd, name.c_str(), entry)) return FailErrno();
  return Ok();
}

bool FsFolderReader::DeleteFile(const std::string &name) const {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  if (Injected(FsOp::Delete, folder_ + name)) return false;
  struct stat st;
  if (fstatat(state->fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno();
  if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
  if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) return Fail(EACCES);
  if (unlinkat(state->fd, name.c_str(), 0) != 0) return FailErrno();
  return Ok();
}

bool FsFolderReader::ClearReadOnly(const std::string &name) const {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  if (Injected(FsOp::SetAttributes, folder_ + name)) return false;
  struct stat st;
  if (fstatat(state->fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno();
  if (S_ISLNK(st.st_mode) || (st.st_mode & S_IWUSR)) return Ok();
  // Never through a link: one put in the file's place fails with EOPNOTSUPP.
  if (fchmodat(state->fd, name.c_str(), (st.st_mode & 07777) | S_IWUSR, AT_SYMLINK_NOFOLLOW) != 0)
    return FailErrno();
  return Ok();
}

bool FsFolderReader::RemoveFolder(const std::string &name) const {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  if (Injected(FsOp::RemoveFolder, folder_ + name)) return false;
  if (unlinkat(state->fd, name.c_str(), AT_REMOVEDIR) != 0) return FailErrno();
  return Ok();
}

// The next entry of the folder other than "." and ".."; nullptr at the end
// (FsLastError 0) or on an error.
static const dirent64 *NextFolderEntry(FolderState *state) {
  for (;;) {
    if (state->pos >= state->len) {
      ssize_t n = Retry([&] { return getdents64(state->fd, state->buf, sizeof state->buf); });
      if (n < 0) return FailErrno(), nullptr;
      if (n == 0) {
        tLastError = 0;
        return nullptr;
      }
      state->pos = 0;
      state->len = static_cast<size_t>(n);
    }
    auto *d = reinterpret_cast<const dirent64 *>(state->buf + state->pos);
    state->pos += d->d_reclen;
    const char *name = d->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    return d;
  }
}

bool FsFolderReader::Next(FsEntry &entry) {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  while (const dirent64 *d = NextFolderEntry(state)) {
    const char *name = d->d_name;
    entry.name.assign(name);
    if (!StatEntry(state->fd, name, entry)) {
      if (errno == ENOENT) continue;  // removed since the folder was read
      // Cannot be examined (no search right on the folder): list it with
      // what the folder entry itself tells.
      entry = FsEntry{entry.name};
      entry.attr = (d->d_type == DT_DIR ? faDirectory : 0) |
                   (d->d_type == DT_LNK ? faReparsePoint : 0) | (name[0] == '.' ? faHidden : 0);
    }
    return Ok();
  }
  return false;
}

bool FsFolderReader::OpenAt(const FsFolderReader &parent, const std::string &name,
                            const std::string &path) {
  auto *parentState = static_cast<FolderState *>(parent.dir_);
  Close();
  folder_ = path;
  if (!parentState) return Fail(EBADF);
  if (Injected(FsOp::List, path)) return false;
  int fd = Retry([&] {
    return openat(parentState->fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  });
  if (fd < 0) return FailErrno();
  auto *state = new FolderState;
  state->fd = fd;
  dir_ = state;
  return Ok();
}

bool FsFolderReader::NextKind(std::string &name, FsKind &kind) {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  const dirent64 *d = NextFolderEntry(state);
  if (!d) return false;
  name.assign(d->d_name);
  switch (d->d_type) {
    case DT_REG: kind = FsKind::File; break;
    case DT_DIR: kind = FsKind::Folder; break;
    case DT_LNK: kind = FsKind::Link; break;
    case DT_UNKNOWN: kind = FsKind::Unknown; break;
    default: kind = FsKind::Other; break;
  }
  return Ok();
}

bool FsFolderReader::Info(const std::string &name, FsEntry &entry) {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  entry.name = name;
  if (!StatEntry(state->fd, name.c_str(), entry)) return FailErrno();
  return Ok();
}

bool FsFolderReader::Identity(uint64_t &device, uint64_t &inode) {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  struct stat st;
  if (fstat(state->fd, &st) != 0) return FailErrno();
  device = st.st_dev;
  inode = st.st_ino;
  return Ok();
}

int FsFolderReader::OpenFile(const std::string &name, const std::string &path) {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF), FsInvalidHandle;
  if (Injected(FsOp::Open, path)) return FsInvalidHandle;
  // Non-blocking, so that a named pipe cannot hang the caller; O_NOATIME is
  // refused (EPERM) for files of other owners unless privileged.
  const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW;
  int fd = Retry([&] { return openat(state->fd, name.c_str(), flags | O_NOATIME); });
  if (fd < 0 && errno == EPERM) fd = Retry([&] { return openat(state->fd, name.c_str(), flags); });
  if (fd < 0) return FailErrno(), FsInvalidHandle;
  struct stat st;
  int error = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : CheckRegularFile(fd, st);
  return FinishOpen(fd, error, path);
}

bool FsFolderReader::NextName(std::string &name) {
  auto *state = static_cast<FolderState *>(dir_);
  if (!state) return Fail(EBADF);
  const dirent64 *d = NextFolderEntry(state);
  if (!d) return false;
  name.assign(d->d_name);
  return Ok();
}

void FsFolderReader::Close() {
  if (auto *state = static_cast<FolderState *>(dir_)) {
    close(state->fd);
    delete state;
    dir_ = nullptr;
  }
}

bool FsListFolder(const std::string &folder, std::vector<FsEntry> &entries) {
  entries.clear();
  FsFolderReader reader;
  if (!reader.Open(folder)) return false;
  FsEntry entry;
  while (reader.Next(entry)) entries.push_back(entry);
  return FsLastError() == 0;
}

// ---- Information ------------------------------------------------------------

bool FsGetInfo(const std::string &path, FsEntry &info) {
  DelayPoint(FsDelayOp::Stat, path);
  info.name = LastComponent(path);
  if (!StatEntry(AT_FDCWD, NoTrailingDelim(path).c_str(), info)) return FailErrno();
  return Ok();
}

bool FsGetInfo(int handle, FsEntry &info) {
  struct stat st;
  if (fstat(handle, &st) != 0) return FailErrno();
  info.name.clear();
  FillEntry(info, st, false);
  return Ok();
}

bool FsExists(const std::string &path) {
  DelayPoint(FsDelayOp::Stat, path);
  struct stat st;
  if (lstat(NoTrailingDelim(path).c_str(), &st) != 0) return FailErrno();
  return Ok();
}

bool FsFileExists(const std::string &path) {
  FsEntry info;
  if (!FsGetInfo(path, info)) return false;
  return !(info.attr & faDirectory);
}

bool FsFolderExists(const std::string &path) {
  DelayPoint(FsDelayOp::Stat, path);
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return FailErrno();
  Ok();
  return S_ISDIR(st.st_mode);
}

uint32_t FsGetAttributes(const std::string &path) {
  FsEntry info;
  return FsGetInfo(path, info) ? info.attr : faInvalid;
}

bool FsSetReadOnly(const std::string &path, bool readOnly) {
  std::string p = NoTrailingDelim(path);
  if (Injected(FsOp::SetAttributes, p)) return false;
  struct stat st;
  if (lstat(p.c_str(), &st) != 0) return FailErrno();
  if (S_ISLNK(st.st_mode)) return readOnly ? Fail(EOPNOTSUPP) : Ok();
  mode_t mode = st.st_mode & 07777;
  mode = readOnly ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
  if (mode != (st.st_mode & 07777) && chmod(p.c_str(), mode) != 0) return FailErrno();
  return Ok();
}

bool FsGetFileTime(const std::string &path, int64_t &fileTime) {
  struct stat st;
  if (lstat(NoTrailingDelim(path).c_str(), &st) != 0) return FailErrno();
  fileTime = FileTimeFromTimespec(st.st_mtim);
  return Ok();
}

bool FsGetFileTime(int handle, int64_t &fileTime) {
  struct stat st;
  if (fstat(handle, &st) != 0) return FailErrno();
  fileTime = FileTimeFromTimespec(st.st_mtim);
  return Ok();
}

bool FsSetFileTime(const std::string &path, int64_t fileTime) {
  std::string p = NoTrailingDelim(path);
  if (Injected(FsOp::SetTime, p)) return false;
  timespec times[2] = {{0, UTIME_OMIT}, TimespecFromFileTime(fileTime)};
  if (utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return FailErrno();
  return Ok();
}

bool FsSetFileTime(int handle, int64_t fileTime) {
  if (int error = HandleFault(FsOp::SetTime, handle)) return Fail(error);
  timespec times[2] = {{0, UTIME_OMIT}, TimespecFromFileTime(fileTime)};
  if (futimens(handle, times) != 0) return FailErrno();
  return Ok();
}

// ---- Files ------------------------------------------------------------------

// A file opened without blocking must be a regular file (a pipe, socket or
// device may never end); it then goes back to blocking reads and writes.
static int CheckRegularFile(int fd, const struct stat &st) {
  if (!S_ISREG(st.st_mode)) return EINVAL;
  return fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ? errno : 0;
}

// The end of an open: the handle, or on an error the handle closed and none.
static int FinishOpen(int fd, int error, const std::string &path) {
  if (error) {
    close(fd);
    return Fail(error), FsInvalidHandle;
  }
  TrackOpen(fd, path);
  Ok();
  return fd;
}

static int OpenRead(const std::string &path, int extraFlags) {
  DelayPoint(FsDelayOp::Read, path);
  if (Injected(FsOp::Open, path)) return FsInvalidHandle;
  // Non-blocking, so that opening a named pipe cannot hang the caller.
  int fd = Retry([&] {
    return open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | extraFlags);
  });
  if (fd < 0) return FailErrno(), FsInvalidHandle;
  // A folder opens on this system but is not a file to read; pipes, sockets
  // and devices are no files to copy or view either (they may never end).
  struct stat st;
  int error = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : CheckRegularFile(fd, st);
  return FinishOpen(fd, error, path);
}

int FsOpenRead(const std::string &path) { return OpenRead(path, 0); }

int FsOpenReadNoFollow(const std::string &path) {
  return OpenRead(NoTrailingDelim(path), O_NOFOLLOW);
}

int FsCreate(const std::string &path, bool exclusive, uint32_t mode) {
  DelayPoint(FsDelayOp::Change, path);
  if (Injected(FsOp::Create, path)) return FsInvalidHandle;
  // Non-blocking, so that an existing named pipe cannot hang the caller.
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (exclusive ? O_EXCL : O_NONBLOCK);
  int fd = Retry([&] { return open(path.c_str(), flags, static_cast<mode_t>(mode & 07777)); });
  if (fd < 0) return FailErrno(), FsInvalidHandle;
  // A file made here and now is a new, empty, regular file.
  if (exclusive) return FinishOpen(fd, 0, path);
  // Truncate only after making sure the file may be replaced.
  struct stat st;
  int error = 0;
  if (fstat(fd, &st) != 0)
    error = errno;
  else if (!exclusive && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
    error = EACCES;
  else
    error = CheckRegularFile(fd, st);
  if (!error && st.st_size > 0 && Retry([&] { return ftruncate(fd, 0); }) != 0) error = errno;
  return FinishOpen(fd, error, path);
}

int64_t FsRead(int handle, void *buffer, int64_t count) {
  if (count < 0) return Fail(EINVAL), -1;
  count = std::min<int64_t>(count, 1 << 30);
  bool tracked = AnyFaults();
  if (tracked) {
    CallHook(FsOp::Read, TrackedPath(handle));
    Allowance allow = AllowanceFor(handle, false);
    if (allow.failError) return Fail(allow.failError), -1;
    if (allow.limit >= 0) count = std::min(count, allow.limit);
  }
  ssize_t n = Retry([&] { return read(handle, buffer, static_cast<size_t>(count)); });
  if (n < 0) return FailErrno(), -1;
  if (tracked) CountTransfer(handle, false, n);
  Ok();
  return n;
}

int64_t FsWrite(int handle, const void *buffer, int64_t count) {
  if (count < 0) return Fail(EINVAL), -1;
  bool tracked = AnyFaults();
  Allowance allow;
  int64_t allowed = count;
  if (tracked) {
    CallHook(FsOp::Write, TrackedPath(handle));
    allow = AllowanceFor(handle, true);
    if (allow.failError) return Fail(allow.failError), -1;
    if (allow.fullDisk) return Fail(ENOSPC), 0;
    if (allow.limit >= 0) allowed = std::min(count, allow.limit);
  }
  // Loops so that only a real failure or a full disk writes less than asked.
  const char *p = static_cast<const char *>(buffer);
  int64_t done = 0;
  int error = 0;
  while (done < allowed) {
    size_t chunk = static_cast<size_t>(std::min<int64_t>(allowed - done, 1 << 30));
    ssize_t n = Retry([&] { return write(handle, p + done, chunk); });
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    done += n;
  }
  if (tracked) CountTransfer(handle, true, done);
  if (done < count) {
    if (!error) error = allow.cutError ? allow.cutError : EIO;
    if (done == 0 && allowed > 0) return Fail(error), -1;
    Fail(error);  // a short write: the count is the result, the reason stays
    return done;
  }
  Ok();
  return done;
}

bool FsSync(int handle) {
  if (int error = HandleFault(FsOp::Sync, handle)) return Fail(error);
  if (Retry([&] { return fsync(handle); }) != 0) return FailErrno();
  return Ok();
}

bool FsSyncFolder(const std::string &path) {
  if (Injected(FsOp::Sync, path)) return false;
  const std::string f = path.empty() ? std::string(".") : path;
  int fd = Retry([&] { return open(f.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return FailErrno();
  int result = Retry([&] { return fsync(fd); });
  int error = errno;
  close(fd);
  // Some file systems cannot sync a folder; their entries are as durable as
  // they will get.
  if (result != 0 && error != EINVAL && error != EROFS) return Fail(error);
  return Ok();
}

bool FsSetMode(int handle, uint32_t mode) {
  if (int error = HandleFault(FsOp::SetAttributes, handle)) return Fail(error);
  if (fchmod(handle, static_cast<mode_t>(mode & 07777)) != 0) return FailErrno();
  return Ok();
}

bool FsSetMode(const std::string &path, uint32_t mode) {
  std::string p = NoTrailingDelim(path);
  if (Injected(FsOp::SetAttributes, p)) return false;
  if (fchmodat(AT_FDCWD, p.c_str(), static_cast<mode_t>(mode & 07777), AT_SYMLINK_NOFOLLOW) != 0)
    return FailErrno();
  return Ok();
}

uint32_t FsUmask() {
  static const uint32_t mask = [] {
    // /proc tells without changing it; umask() itself can only be read by
    // setting it, which races with files made meanwhile on other threads.
    std::string status;
    if (ReadSmallFile("/proc/self/status", status)) {
      size_t at = status.find("\nUmask:");
      if (at != std::string::npos)
        return static_cast<uint32_t>(strtoul(status.c_str() + at + 7, nullptr, 8));
    }
    mode_t old = umask(022);
    umask(old);
    return static_cast<uint32_t>(old);
  }();
  return mask;
}

bool FsLockShared(int handle) {
  if (Retry([&] { return flock(handle, LOCK_SH | LOCK_NB); }) != 0) return FailErrno();
  return Ok();
}

int FsRemoveUnused(const std::string &folder, const std::function<bool(const std::string &)> &match,
                   int64_t before) {
  FsFolderReader reader;
  if (!reader.OpenWalk(folder)) return 0;
  int removed = 0;
  FsEntry entry;
  while (reader.Next(entry)) {
    if (!match(entry.name) || entry.time >= before || (entry.attr & faDirectory)) continue;
    if (entry.attr & faReparsePoint) {
      removed += reader.DeleteFile(entry.name);
      continue;
    }
    int fd = reader.OpenRead(entry.name);
    if (fd == FsInvalidHandle) continue;
    // A writer's shared lock makes this fail: the file is in use.
    FsEntry now;
    if (Retry([&] { return flock(fd, LOCK_EX | LOCK_NB); }) == 0 && FsGetInfo(fd, now) &&
        now.device == entry.device && now.inode == entry.inode) {
      reader.ClearReadOnly(entry.name);
      removed += reader.DeleteFile(entry.name);
    }
    FsClose(fd);
  }
  Ok();
  return removed;
}

bool FsNextData(int handle, int64_t from, int64_t &start, int64_t &end) {
  off_t s = lseek(handle, from, SEEK_DATA);
  if (s < 0) return errno == ENXIO ? (tLastError = 0, false) : FailErrno();
  off_t e = lseek(handle, s, SEEK_HOLE);
  if (e < 0) return FailErrno();
  start = s;
  end = e;
  return Ok();
}

bool FsSeek(int handle, int64_t position) {
  if (lseek(handle, position, SEEK_SET) < 0) return FailErrno();
  return Ok();
}

bool FsSetSize(int handle, int64_t size) {
  if (Retry([&] { return ftruncate(handle, size); }) != 0) return FailErrno();
  return Ok();
}

bool FsClose(int handle) {
  int injected = HandleFault(FsOp::Close, handle);
  TrackClose(handle);
  // The descriptor is released even when close reports an error; never retry.
  if (close(handle) != 0 && errno != EINTR) return FailErrno();
  return injected ? Fail(injected) : Ok();
}

int64_t FsFileSize(int handle) {
  struct stat st;
  if (fstat(handle, &st) != 0) return FailErrno(), -1;
  Ok();
  return st.st_size;
}

bool FsGetMode(const std::string &path, uint32_t &mode) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return FailErrno();
  mode = st.st_mode & 07777;
  return Ok();
}

// ---- Changes ----------------------------------------------------------------

bool FsDeleteFile(const std::string &path) {
  std::string p = NoTrailingDelim(path);
  DelayPoint(FsDelayOp::Change, p);
  if (Injected(FsOp::Delete, p)) return false;
  struct stat st;
  if (lstat(p.c_str(), &st) != 0) return FailErrno();
  if (S_ISDIR(st.st_mode)) return Fail(EISDIR);
  if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) return Fail(EACCES);
  if (unlink(p.c_str()) != 0) return FailErrno();
  return Ok();
}

namespace {

bool MakeFolders(const std::string &p, mode_t mode) {
  if (p.empty()) return Fail(ENOENT);
  if (mkdir(p.c_str(), mode) == 0) return Ok();
  int error = errno;
  if (error == ENOENT) {
    size_t slash = p.find_last_of(PathDelim);
    if (slash == std::string::npos || slash == 0) return Fail(error);
    if (!MakeFolders(NoTrailingDelim(p.substr(0, slash)), 0777)) return false;
    if (mkdir(p.c_str(), mode) == 0) return Ok();
    error = errno;
  }
  struct stat st;
  if (error == EEXIST && stat(p.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode) ? Ok() : Fail(ENOTDIR);
  return Fail(error);
}

}  // namespace

bool FsCreateFolders(const std::string &path, uint32_t mode) {
  DelayPoint(FsDelayOp::Change, path);
  if (Injected(FsOp::CreateFolder, path)) return false;
  return MakeFolders(NoTrailingDelim(path), static_cast<mode_t>(mode & 07777));
}

bool FsRemoveFolder(const std::string &path) {
  std::string p = NoTrailingDelim(path);
  if (Injected(FsOp::RemoveFolder, p)) return false;
  if (rmdir(p.c_str()) != 0) return FailErrno();
  return Ok();
}

bool FsMove(const std::string &from, const std::string &to) {
  std::string f = NoTrailingDelim(from), t = NoTrailingDelim(to);
  DelayPoint(FsDelayOp::Change, f);
  if (Injected(FsOp::Rename, f, &t)) return false;
  int result = Injected(FsOp::NoReplace, f, &t) ? (errno = tLastError, -1)
                                                : RenameNoReplace(f.c_str(), t.c_str());
  if (result == 0) return Ok();
  // EINVAL: the file system does not know the flag (or a folder would move
  // into itself, which the fallback reports again).
  if (errno == EINVAL || errno == ENOSYS) return MoveWithoutNoReplace(f, t);
  // Some volumes that ignore case answer EEXIST for a case-only rename.
  if (errno == EEXIST && FsSameFile(f, t) && f != t) return CheckedRename(f, t);
  return FailErrno();
}

bool FsReplace(const std::string &from, const std::string &to) {
  std::string f = NoTrailingDelim(from), t = NoTrailingDelim(to);
  DelayPoint(FsDelayOp::Change, f);
  if (Injected(FsOp::Rename, f, &t)) return false;
  struct stat st;
  if (lstat(t.c_str(), &st) == 0 && S_ISREG(st.st_mode) && !(st.st_mode & S_IWUSR))
    return Fail(EACCES);
  if (rename(f.c_str(), t.c_str()) != 0) return FailErrno();
  return Ok();
}

// ---- Links ------------------------------------------------------------------

bool FsIsLink(const std::string &path) {
  struct stat st;
  if (lstat(NoTrailingDelim(path).c_str(), &st) != 0) return FailErrno();
  Ok();
  return S_ISLNK(st.st_mode);
}

bool FsReadLink(const std::string &path, std::string &target) {
  std::string p = NoTrailingDelim(path);
  std::string buf(256, '\0');
  for (;;) {
    ssize_t n = readlink(p.c_str(), buf.data(), buf.size());
    if (n < 0) return FailErrno();
    if (static_cast<size_t>(n) < buf.size()) {
      buf.resize(static_cast<size_t>(n));
      target = std::move(buf);
      return Ok();
    }
    buf.resize(buf.size() * 2);
  }
}

bool FsCreateLink(const std::string &target, const std::string &path) {
  std::string p = NoTrailingDelim(path);
  if (Injected(FsOp::Create, p)) return false;
  if (symlink(target.c_str(), p.c_str()) != 0) return FailErrno();
  return Ok();
}

uint32_t FsUserId() { return static_cast<uint32_t>(getuid()); }

bool FsSameFile(const std::string &a, const std::string &b) {
  struct stat sa, sb;
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return FailErrno();
  Ok();
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// ---- Volumes ----------------------------------------------------------------

std::vector<FsVolume> FsVolumesFromMountInfo(const std::string &mountInfo) {
  std::vector<FsVolume> volumes;
  for (const Mount &m : ParseMountInfo(mountInfo)) volumes.push_back(Describe(m));
  return volumes;
}

std::vector<FsVolume> FsVolumes() {
  DelayPoint(FsDelayOp::Volumes, std::string());
  std::vector<FsVolume> volumes;
  for (const Mount &m : CurrentMounts()) volumes.push_back(Describe(m));
  Ok();
  return volumes;
}

bool FsVolumeOf(const std::string &path, FsVolume &volume) {
  DelayPoint(FsDelayOp::Volumes, std::string());
  if (path.empty() || path[0] != PathDelim) return Fail(EINVAL);
  std::string p = path.back() == PathDelim ? path : path + PathDelim;
  const Mount *best = nullptr;
  std::vector<Mount> mounts = CurrentMounts();
  for (const Mount &m : mounts)
    if (StartsWith(p, m.volume.mountPoint.c_str()) &&
        (!best || m.volume.mountPoint.size() > best->volume.mountPoint.size()))
      best = &m;
  volume = Describe(*best);  // "/" is always there
  return Ok();
}

bool FsFreeSpace(const std::string &path, int64_t &freeBytes, int64_t &totalBytes) {
  DelayPoint(FsDelayOp::FreeSpace, path);
  struct statvfs sv;
  if (Retry([&] { return statvfs(path.c_str(), &sv); }) != 0) return FailErrno();
  freeBytes = static_cast<int64_t>(sv.f_bavail) * static_cast<int64_t>(sv.f_frsize);
  totalBytes = static_cast<int64_t>(sv.f_blocks) * static_cast<int64_t>(sv.f_frsize);
  return Ok();
}

// ---- Fault injection --------------------------------------------------------

void FsInjectFault(FsOp op, const std::string &pathPart, int error, int64_t afterBytes) {
  std::lock_guard lock(gFaultMutex);
  gFaults.push_back(Fault{op, pathPart, error, afterBytes});
  gAnyFaults.store(true, std::memory_order_release);
}

void FsClearFaults() {
  {
    std::lock_guard lock(gFaultMutex);
    gFaults.clear();
    gHook = nullptr;
    gTracked.clear();
    gAnyFaults.store(false, std::memory_order_release);
  }
  FsReleaseDelays();
}

void FsInjectDelay(FsDelayOp op, const std::string &pathPart, int64_t millis) {
  DelayState &d = Delays();
  std::lock_guard lock(d.mutex);
  d.delays.push_back(Delay{op, pathPart, millis});
  gAnyDelays.store(true, std::memory_order_release);
}

void FsReleaseDelays() {
  DelayState &d = Delays();
  std::lock_guard lock(d.mutex);
  d.delays.clear();
  ++d.generation;
  gAnyDelays.store(false, std::memory_order_release);
  d.released.notify_all();
}

int FsDelayedCalls() {
  DelayState &d = Delays();
  std::lock_guard lock(d.mutex);
  return d.waiting;
}

void FsSetHook(std::function<void(FsOp op, const std::string &path)> hook) {
  std::lock_guard lock(gFaultMutex);
  gHook = std::move(hook);
  gAnyFaults.store(!gFaults.empty() || gHook, std::memory_order_release);
}

// ---- In-kernel copy (for the file operation engine) -------------------------

int64_t FsCopyRange(int in, int out, int64_t count) {
  if (count < 0) return Fail(EINVAL), -1;
  bool tracked = AnyFaults();
  if (tracked) {
    CallHook(FsOp::Read, TrackedPath(in));
    CallHook(FsOp::Write, TrackedPath(out));
    std::lock_guard lock(gFaultMutex);
    auto concerned = [](int handle, FsOp a, FsOp b) {
      auto it = gTracked.find(handle);
      return it != gTracked.end() &&
             (FindFault(a, it->second.path) || FindFault(b, it->second.path));
    };
    if (concerned(in, FsOp::Read, FsOp::Read) || concerned(out, FsOp::Write, FsOp::ShortWrite))
      return Fail(EOPNOTSUPP), -1;
  }
  size_t chunk = static_cast<size_t>(std::min<int64_t>(count, 1 << 30));
  ssize_t n = Retry([&] { return copy_file_range(in, nullptr, out, nullptr, chunk, 0); });
  if (n < 0) return FailErrno(), -1;
  if (tracked) {
    CountTransfer(in, false, n);
    CountTransfer(out, true, n);
  }
  Ok();
  return n;
}

}  // namespace trovix
