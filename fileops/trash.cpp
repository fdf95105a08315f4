// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/trash.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "foundation/file_system.h"

namespace trovix {

namespace {

std::string WithoutTrailingDelims(std::string path) {
  while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  return path;
}

std::string WithDelim(const std::string &path) {
  return !path.empty() && path.back() == PathDelim ? path : path + PathDelim;
}

// The folder holding path ("/" for a top-level name), without a trailing delimiter.
std::string ParentOf(const std::string &path) {
  const size_t slash = path.rfind(PathDelim);
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

bool DeviceOf(const std::string &path, uint64_t &device) {
  FsEntry e;
  if (!FsGetInfo(path, e)) return false;
  device = e.device;
  return true;
}

// The highest folder above path on the same device: the volume's top folder.
std::string TopFolder(const std::string &path, uint64_t device) {
  std::string top = ParentOf(path);
  for (;;) {
    if (top == "/") return top;
    const std::string up = ParentOf(top);
    uint64_t d = 0;
    if (!DeviceOf(up, d) || d != device) return top;
    top = up;
  }
}

// A real folder (not a link) at path, created with mode 0700 when missing.
bool EnsureFolder(const std::string &path, int &error) {
  FsEntry e;
  if (FsGetInfo(path, e)) {
    if ((e.attr & faReparsePoint) || !(e.attr & faDirectory)) return error = ENOTDIR, false;
    return true;
  }
  if (FsCreateFolders(path, 0700)) return true;
  error = FsLastError() ? FsLastError() : EACCES;
  return false;
}

bool EnsureTrash(const std::string &trash, int &error) {
  return EnsureFolder(WithoutTrailingDelims(trash), error) &&
         EnsureFolder(trash + "files", error) && EnsureFolder(trash + "info", error);
}

// The trash of a volume other than the home trash's: TOPDIR/.Trash/UID when
// TOPDIR/.Trash is a sticky real folder, else TOPDIR/.Trash-UID.
bool VolumeTrash(const std::string &top, std::string &trash, int &error) {
  const std::string uid = std::to_string(FsUserId());
  const std::string shared = WithDelim(top) + ".Trash";
  FsEntry e;
  if (FsGetInfo(shared, e) && !(e.attr & faReparsePoint) && (e.attr & faDirectory) &&
      (e.mode & 01000)) {
    trash = shared + PathDelim + uid + PathDelim;
    if (EnsureTrash(trash, error)) return true;
  }
  trash = WithDelim(top) + ".Trash-" + uid + PathDelim;
  return EnsureTrash(trash, error);
}

bool WriteAll(int handle, const std::string &text) {
  size_t done = 0;
  while (done < text.size()) {
    const int64_t n = FsWrite(handle, text.data() + done, static_cast<int64_t>(text.size() - done));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string HomeTrashFolder() {
  const char *data = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (data && data[0] == PathDelim) {
    base = data;
  } else {
    const char *home = std::getenv("HOME");
    base = std::string(home ? home : "") + "/.local/share";
  }
  return WithDelim(base) + "Trash" + PathDelim;
}

std::string TrashPathEncode(const std::string &path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~' || c == PathDelim) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

std::string TrashInfoText(const std::string &path, int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm local{};
  char date[32] = "1970-01-01T00:00:00";
  if (localtime_r(&t, &local)) std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  return "[Trash Info]\nPath=" + TrashPathEncode(path) + "\nDeletionDate=" + date + "\n";
}

TrashResult MoveToTrash(const std::string &given) {
  TrashResult r;
  const std::string path = WithoutTrailingDelims(given);
  FsEntry item;
  if (path.empty() || path == "/" || path[0] != PathDelim || !FsGetInfo(path, item)) {
    r.Error = path.empty() || path[0] != PathDelim ? EINVAL : FsLastError();
    return r;
  }
  // The home trash when the item lives on its volume, else the item's volume's.
  const std::string home = HomeTrashFolder();
  std::string existing = WithoutTrailingDelims(home);
  uint64_t homeDevice = 0;
  while (!DeviceOf(existing, homeDevice) && existing != "/") existing = ParentOf(existing);
  std::string infoPath = path;
  if (item.device == homeDevice) {
    r.Trash = home;
    if (!EnsureTrash(r.Trash, r.Error)) return r;
  } else {
    const std::string top = TopFolder(path, item.device);
    if (!VolumeTrash(top, r.Trash, r.Error)) return r;
    infoPath = path.substr(top == "/" ? 1 : top.size() + 1);
  }
  // Never the trash itself or anything in it.
  if (WithDelim(path).compare(0, r.Trash.size(), r.Trash) == 0 ||
      r.Trash.compare(0, path.size() + 1, path + PathDelim) == 0)
    return r.Error = EINVAL, r;

  const size_t slash = path.rfind(PathDelim);
  const std::string name = path.substr(slash + 1);
  const std::string text = TrashInfoText(infoPath, FileTimeToUnixNs(FileTimeNow()) / 1000000000);
  for (int n = 1; n < 100000; ++n) {
    const std::string candidate = n == 1 ? name : name + "." + std::to_string(n);
    const std::string info = r.Trash + "info/" + candidate + ".trashinfo";
    const int handle = FsCreate(info, true, 0600);
    if (handle == FsInvalidHandle) {
      if (FsLastError() == EEXIST) continue;
      return r.Error = FsLastError(), r;
    }
    const bool written = WriteAll(handle, text);
    const int writeError = FsLastError();
    FsClose(handle);
    const std::string trashed = r.Trash + "files/" + candidate;
    if (!written) {
      FsDeleteFile(info);
      return r.Error = writeError ? writeError : EIO, r;
    }
    // A leftover item without its info file keeps its name.
    if (FsExists(trashed)) {
      FsDeleteFile(info);
      continue;
    }
    if (!FsMove(path, trashed)) {
      r.Error = FsLastError();
      FsDeleteFile(info);
      return r;
    }
    r.Ok = true;
    r.TrashedName = candidate;
    return r;
  }
  r.Error = EEXIST;
  return r;
}

}  // namespace trovix
