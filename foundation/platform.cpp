// SPDX-License-Identifier: GPL-3.0-or-later
// Platform helpers without a user interface. See platform.h.
#include "foundation/platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "foundation/file_system.h"

extern char **environ;

namespace trovix {

namespace {

// The version of this build, handed in by the build system: major.minor.release.build.
#ifndef TROVIX_VERSION
#define TROVIX_VERSION "0.1.0"
#endif
constexpr char kBuildVersion[] = TROVIX_VERSION ".0";

// Standard input of a waited program goes through a pipe that the parent
// fills at once, so it must fit into the smallest pipe buffer.
constexpr size_t kMaxCommandInput = 4096;

std::string GetEnv(const char *name) {
  const char *value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string WithDelim(std::string folder) {
  if (!folder.empty() && folder.back() != PathDelim) folder += PathDelim;
  return folder;
}

// The executable a program name stands for: a name holding "/" as it is, any
// other the first executable regular file of that name in PATH.
std::string ResolveProgram(const std::string &program) {
  auto executable = [](const std::string &file) {
    struct stat st {};
    return stat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(file.c_str(), X_OK) == 0;
  };
  if (program.empty()) return std::string();
  if (program.find('/') != std::string::npos) return executable(program) ? program : std::string();
  std::string path = GetEnv("PATH");
  if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string dir = path.substr(start, end - start);
    if (dir.empty()) dir = ".";
    std::string file = dir + "/" + program;
    if (executable(file)) return file;
    start = end + 1;
  }
  return std::string();
}

void CloseFd(int &fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Starts a program with fork and exec. A detached program is started from an
// intermediate child that leaves at once, so it belongs to its own session
// and nobody needs to wait for it. A close-on-exec pipe carries the error
// number back when exec fails; it closes without data when exec succeeds.
int SpawnCommand(const ExternalCommand &command) {
  const std::string exe = ResolveProgram(command.program);
  if (exe.empty()) return CommandNotStarted;
  if (command.input.size() > kMaxCommandInput) return CommandNotStarted;

  // Everything the child needs is prepared here: after fork it may only make
  // async-signal-safe calls.
  std::vector<std::string> strings;
  strings.reserve(command.args.size() + 1);
  strings.push_back(command.program);
  strings.insert(strings.end(), command.args.begin(), command.args.end());
  std::vector<char *> argv;
  for (std::string &s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);
  const char *folder = command.workingFolder.empty() ? nullptr : command.workingFolder.c_str();
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigset_t noSignals;
  sigemptyset(&noSignals);

  int devNull = open("/dev/null", O_RDWR | O_CLOEXEC);
  int errorPipe[2] = {-1, -1};
  int inputPipe[2] = {-1, -1};
  bool ready = devNull >= 0 && pipe2(errorPipe, O_CLOEXEC) == 0;
  if (ready && command.wait) ready = pipe2(inputPipe, O_CLOEXEC) == 0;
  if (!ready) {
    CloseFd(devNull);
    CloseFd(errorPipe[0]);
    CloseFd(errorPipe[1]);
    return CommandNotStarted;
  }

  pid_t pid = fork();
  if (pid == 0) {
    if (!command.wait) {
      setsid();
      pid_t grandchild = fork();
      if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    }
    sigprocmask(SIG_SETMASK, &noSignals, nullptr);
    sigaction(SIGPIPE, &defaultAction, nullptr);
    dup2(command.wait ? inputPipe[0] : devNull, 0);
    dup2(devNull, 1);
    int error = 0;
    if (folder && chdir(folder) != 0) {
      error = errno;
    } else {
      execve(exe.c_str(), argv.data(), environ);
      error = errno;
    }
    ssize_t written = write(errorPipe[1], &error, sizeof error);
    (void)written;
    _exit(CommandNotStarted);
  }

  CloseFd(errorPipe[1]);
  CloseFd(devNull);
  if (pid < 0) {
    CloseFd(errorPipe[0]);
    CloseFd(inputPipe[0]);
    CloseFd(inputPipe[1]);
    return CommandNotStarted;
  }
  if (command.wait) {
    // The read end stays open while writing, so the write can neither block
    // (the input fits the pipe) nor raise SIGPIPE when the child is gone.
    size_t done = 0;
    while (done < command.input.size()) {
      ssize_t n = write(inputPipe[1], command.input.data() + done, command.input.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    CloseFd(inputPipe[1]);
    CloseFd(inputPipe[0]);
  }
  int childError = 0;
  ssize_t got;
  do {
    got = read(errorPipe[0], &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  CloseFd(errorPipe[0]);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (got == static_cast<ssize_t>(sizeof childError)) return CommandNotStarted;
  if (!command.wait) return 0;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return CommandNotStarted;
}

CommandRunner &InstalledRunner() {
  static CommandRunner runner;
  return runner;
}

char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool SameIgnoringCase(const std::string &a, const std::string &b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

std::string JoinPath(const std::string &folder, const std::string &name) {
  if (folder.empty()) return name;
  return WithDelim(folder) + name;
}

std::string FolderOf(const std::string &path) {
  size_t slash = path.rfind(PathDelim);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// ---- Key files (.desktop, mimeapps.list, mimeinfo.cache) -------------------------

using KeyGroup = std::map<std::string, std::string>;
using KeyFile = std::map<std::string, KeyGroup>;

constexpr int64_t kMaxKeyFileSize = 4 << 20;

bool ReadSmallFile(const std::string &path, std::string &text) {
  text.clear();
  int handle = FsOpenRead(path);
  if (handle == FsInvalidHandle) return false;
  char buffer[16384];
  bool ok = true;
  for (;;) {
    int64_t n = FsRead(handle, buffer, sizeof buffer);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (static_cast<int64_t>(text.size()) > kMaxKeyFileSize) {
      ok = false;
      break;
    }
  }
  FsClose(handle);
  return ok;
}

std::string Trimmed(const std::string &s) {
  size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return std::string();
  size_t last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// Groups of key = value lines; the first value of a key in a group counts.
KeyFile ParseKeyFile(const std::string &text) {
  KeyFile file;
  KeyGroup *group = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = Trimmed(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      group = close == std::string::npos ? nullptr : &file[line.substr(1, close - 1)];
      continue;
    }
    size_t eq = line.find('=');
    if (!group || eq == std::string::npos) continue;
    group->emplace(Trimmed(line.substr(0, eq)), Trimmed(line.substr(eq + 1)));
  }
  return file;
}

bool LoadKeyFile(const std::string &path, KeyFile &file) {
  std::string text;
  if (!ReadSmallFile(path, text)) return false;
  file = ParseKeyFile(text);
  return true;
}

std::string KeyValue(const KeyFile &file, const std::string &group, const std::string &key) {
  auto g = file.find(group);
  if (g == file.end()) return std::string();
  auto k = g->second.find(key);
  return k == g->second.end() ? std::string() : k->second;
}

// Undoes the escapes of a string value: \s \n \t \r \\; others stay.
std::string UnescapeValue(const std::string &value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      char next = value[i + 1];
      const char *map = nullptr;
      switch (next) {
        case 's': map = " "; break;
        case 'n': map = "\n"; break;
        case 't': map = "\t"; break;
        case 'r': map = "\r"; break;
        case '\\': map = "\\"; break;
        default: break;
      }
      if (map) {
        out += map;
        ++i;
        continue;
      }
    }
    out += value[i];
  }
  return out;
}

std::vector<std::string> SplitList(const std::string &value) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (pos <= value.size()) {
    size_t end = value.find(';', pos);
    if (end == std::string::npos) end = value.size();
    std::string item = Trimmed(value.substr(pos, end - pos));
    if (!item.empty()) items.push_back(item);
    pos = end + 1;
  }
  return items;
}

std::vector<std::string> CurrentDesktops() {
  std::vector<std::string> names;
  std::string value = GetEnv("XDG_CURRENT_DESKTOP");
  size_t pos = 0;
  while (pos < value.size()) {
    size_t end = value.find(':', pos);
    if (end == std::string::npos) end = value.size();
    std::string name = value.substr(pos, end - pos);
    for (char &c : name)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (!name.empty()) names.push_back(name);
    pos = end + 1;
  }
  return names;
}

// The locale of messages as desktop files name it, most exact first:
// "de_DE.UTF-8@euro" gives de_DE@euro, de_DE, de@euro, de.
std::vector<std::string> LocaleNames() {
  std::string value = GetEnv("LC_ALL");
  if (value.empty()) value = GetEnv("LC_MESSAGES");
  if (value.empty()) value = GetEnv("LANG");
  std::vector<std::string> names;
  if (value.empty() || value == "C" || value == "POSIX") return names;
  std::string modifier;
  size_t at = value.find('@');
  if (at != std::string::npos) {
    modifier = value.substr(at);
    value.erase(at);
  }
  size_t dot = value.find('.');
  if (dot != std::string::npos) value.erase(dot);
  size_t underscore = value.find('_');
  std::string language = value.substr(0, underscore);
  if (!modifier.empty()) names.push_back(value + modifier);
  if (underscore != std::string::npos) names.push_back(value);
  if (!modifier.empty() && underscore != std::string::npos) names.push_back(language + modifier);
  names.push_back(language);
  return names;
}

std::vector<KeyFile> LoadMimeAppsLists() {
  std::vector<std::string> folders;
  for (const std::string &dir : XdgConfigDirs()) folders.push_back(dir);
  for (const std::string &dir : XdgDataDirs()) folders.push_back(dir + "applications/");
  std::vector<KeyFile> lists;
  for (const std::string &folder : folders) {
    for (const std::string &desktop : CurrentDesktops()) {
      KeyFile file;
      if (LoadKeyFile(folder + desktop + "-mimeapps.list", file)) lists.push_back(std::move(file));
    }
    KeyFile file;
    if (LoadKeyFile(folder + "mimeapps.list", file)) lists.push_back(std::move(file));
  }
  return lists;
}

bool EndsWith(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The desktop file ids below an applications folder by MIME type, read from
// the .desktop files themselves (for folders without a mimeinfo.cache).
void ScanDesktopFiles(const std::string &folder, const std::string &idPrefix, int depth,
                      std::map<std::string, std::vector<std::string>> &byType) {
  std::vector<FsEntry> entries;
  if (depth > 4 || !FsListFolder(folder, entries)) return;
  std::sort(entries.begin(), entries.end(),
            [](const FsEntry &a, const FsEntry &b) { return a.name < b.name; });
  for (const FsEntry &entry : entries) {
    if (entry.attr & faDirectory) {
      ScanDesktopFiles(folder + entry.name + "/", idPrefix + entry.name + "-", depth + 1, byType);
    } else if (EndsWith(entry.name, ".desktop")) {
      KeyFile file;
      if (!LoadKeyFile(folder + entry.name, file)) continue;
      for (const std::string &type : SplitList(KeyValue(file, "Desktop Entry", "MimeType")))
        byType[type].push_back(idPrefix + entry.name);
    }
  }
}

// Splits a command line as Exec is written; with expand, field codes outside
// double quotes are replaced (see DesktopAppCommand). usedFile tells whether
// a code named the file.
std::vector<std::string> SplitExec(const std::string &line, bool expand, const std::string &path,
                                   const DesktopApp *app, bool &usedFile) {
  std::vector<std::string> args;
  std::string current;
  bool present = false;
  bool quoted = false;
  usedFile = false;
  const size_t n = line.size();
  for (size_t i = 0; i < n; ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < n && std::strchr("\"`$\\", line[i + 1])) {
        current += line[++i];
      } else {
        current += c;
      }
      continue;
    }
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (present) args.push_back(current);
      current.clear();
      present = false;
    } else if (c == '"') {
      quoted = true;
      present = true;
    } else if (c == '\\' && i + 1 < n) {
      current += line[++i];
      present = true;
    } else if (c == '%' && expand && i + 1 < n) {
      char code = line[++i];
      bool whole = !present && (i + 1 == n || line[i + 1] == ' ' || line[i + 1] == '\t');
      switch (code) {
        case 'f':
        case 'F':
          current += path;
          present = usedFile = true;
          break;
        case 'u':
        case 'U':
          current += FileUri(path);
          present = usedFile = true;
          break;
        case 'i':
          if (whole && app && !app->icon.empty()) {
            args.push_back("--icon");
            current = app->icon;
            present = true;
          }
          break;
        case 'c':
          if (app) current += app->name;
          present = present || app;
          break;
        case 'k':
          if (app) current += app->file;
          present = present || app;
          break;
        case '%':
          current += '%';
          present = true;
          break;
        default:  // obsolete or unknown codes expand to nothing
          break;
      }
    } else {
      current += c;
      present = true;
    }
  }
  if (present) args.push_back(current);
  return args;
}

struct LockState {
  std::mutex mutex;
  std::condition_variable released;
  bool free = true;
};
// Shared so that a Lock waiting on another thread keeps its state alive when
// LockUninit runs meanwhile.
std::mutex lockGuard;
std::shared_ptr<LockState> lockState;

}  // namespace

// ---- External programs ---------------------------------------------------------

std::string ShellQuote(const std::string &s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else if (c == '\\')
      out += "'\\\\'";
    else
      out += c;
  }
  return out + "'";
}

int RunCommand(const ExternalCommand &command) {
  const CommandRunner &runner = InstalledRunner();
  if (runner) return runner(command);
  return SpawnCommand(command);
}

void SetCommandRunner(CommandRunner runner) { InstalledRunner() = std::move(runner); }

std::string FileUri(const std::string &path) {
  std::string uri = "file://";
  for (unsigned char c : path) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += "0123456789ABCDEF"[c >> 4];
      uri += "0123456789ABCDEF"[c & 15];
    }
  }
  return uri;
}

std::vector<std::string> TerminalCommand() {
  std::vector<std::string> terminal = SplitCommandLine(GetEnv("TERMINAL"));
  if (terminal.empty()) terminal.push_back("x-terminal-emulator");
  return terminal;
}

bool RunInTerminal(const std::string &folder, const std::string &command) {
  std::string shell = GetEnv("SHELL");
  if (shell.empty()) shell = "/bin/sh";
  std::vector<std::string> terminal = TerminalCommand();
  ExternalCommand run;
  run.program = terminal[0];
  run.workingFolder = folder;
  run.args.assign(terminal.begin() + 1, terminal.end());
  // The command runs in the user's shell, which then replaces itself with an
  // interactive one; a line break (not ";") keeps a trailing comment in the
  // command from swallowing the exec. The shell first enters folder itself: a
  // terminal that serves every window from one process starts its shells in
  // that process's folder, whatever folder it was started in.
  std::vector<std::string> tail;
  if (!command.empty()) {
    std::string script = folder.empty() ? "" : "cd " + ShellQuote(folder) + " || exit\n";
    script += command + "\nexec " + ShellQuote(shell);
    tail = {"-e", shell, "-c", script};
  }
  run.args.insert(run.args.end(), tail.begin(), tail.end());
  int result = RunCommand(run);
  if (result == CommandNotStarted && run.program != "x-terminal-emulator") {
    run.program = "x-terminal-emulator";
    run.args = tail;
    result = RunCommand(run);
  }
  return result == 0;
}

namespace {
std::function<bool(const std::string &)> showItemHandler;
}  // namespace

void SetShowItemHandler(std::function<bool(const std::string &path)> handler) {
  showItemHandler = std::move(handler);
}

bool ShowItemInFileManager(const std::string &path) {
  if (showItemHandler) return showItemHandler(path);
  const std::string uri = FileUri(path);  // holds no "," (dbus-send splits arrays at it) nor "'"
  ExternalCommand call;
  call.wait = true;
  call.program = "dbus-send";
  call.args = {"--session",
               "--print-reply",
               "--reply-timeout=5000",
               "--dest=org.freedesktop.FileManager1",
               "/org/freedesktop/FileManager1",
               "org.freedesktop.FileManager1.ShowItems",
               "array:string:" + uri,
               "string:"};
  int result = RunCommand(call);
  if (result == CommandNotStarted) {
    call.program = "gdbus";
    call.args = {"call",
                 "--session",
                 "--timeout=5",
                 "--dest=org.freedesktop.FileManager1",
                 "--object-path=/org/freedesktop/FileManager1",
                 "--method=org.freedesktop.FileManager1.ShowItems",
                 "['" + uri + "']",
                 "''"};
    result = RunCommand(call);
  }
  return result == 0;
}

// ---- Network mounts ------------------------------------------------------------

std::string GvfsFolder() {
  std::string runtime = GetEnv("XDG_RUNTIME_DIR");
  if (runtime.empty()) runtime = "/run/user/" + std::to_string(getuid());
  return WithDelim(runtime) + "gvfs/";
}

int DriveConnect(const std::string &remote, const std::string &password, std::string &mountPoint) {
  mountPoint.clear();
  if (remote.empty() || password.find_first_of("\r\n") != std::string::npos) return 1;
  const std::string gvfs = GvfsFolder();
  std::vector<FsEntry> before;
  FsListFolder(gvfs, before);

  ExternalCommand mount;
  mount.program = "gio";
  mount.wait = true;
  mount.args = {"mount"};
  if (password.empty())
    mount.args.push_back("-a");
  else
    mount.input = password + "\n";
  mount.args.push_back("--");
  mount.args.push_back(remote);
  int result = RunCommand(mount);
  if (result != 0) return result;

  std::vector<FsEntry> after;
  if (!FsListFolder(gvfs, after)) return 0;
  std::set<std::string> known;
  for (const FsEntry &entry : before) known.insert(entry.name);
  for (const FsEntry &entry : after) {
    if (!known.count(entry.name)) {
      mountPoint = gvfs + entry.name + "/";
      return 0;
    }
  }
  mountPoint = gvfs;
  return 0;
}

int DriveDisconnect(const std::string &mountPointOrAddress) {
  if (mountPointOrAddress.empty()) return 1;
  ExternalCommand unmount;
  unmount.program = "gio";
  unmount.wait = true;
  unmount.args = {"mount", "-u", "-f", "--", mountPointOrAddress};
  return RunCommand(unmount);
}

// ---- Path names ----------------------------------------------------------------

std::string AlternateToLFN(const std::string &path) {
  if (path.empty()) return std::string();
  const bool absolute = path[0] == PathDelim;
  const bool trailing = path.back() == PathDelim;
  std::string built = absolute ? std::string(1, PathDelim) : std::string();
  size_t pos = 0;
  while (pos < path.size()) {
    size_t end = path.find(PathDelim, pos);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    std::string found;
    if (FsExists(JoinPath(built, component))) {
      found = component;
    } else {
      std::vector<FsEntry> entries;
      if (!FsListFolder(built.empty() ? std::string(".") : built, entries)) return built;
      for (const FsEntry &entry : entries)
        if (SameIgnoringCase(entry.name, component) && (found.empty() || entry.name < found))
          found = entry.name;
      if (found.empty()) return built;
    }
    built = JoinPath(built, found);
  }
  if (trailing && !built.empty() && built.back() != PathDelim) built += PathDelim;
  return built;
}

std::string LFNToAlternate(const std::string &path) {
  if (path.empty() || !FsExists(path)) return std::string();
  size_t end = path.find_last_not_of(PathDelim);
  if (end == std::string::npos) return std::string();
  size_t slash = path.rfind(PathDelim, end);
  size_t start = slash == std::string::npos ? 0 : slash + 1;
  return path.substr(start, end + 1 - start);
}

// ---- Applications registered for file types ------------------------------------

// The folders of an XDG search path: the user's own (homeVar, else
// $HOME/homeDefault), then those of listVar (else listDefault), absolute ones
// only, each once.
static std::vector<std::string> XdgDirs(const char *homeVar, const char *homeDefault,
                                        const char *listVar, const char *listDefault) {
  std::vector<std::string> dirs;
  auto add = [&dirs](const std::string &dir) {
    if (dir.empty() || dir[0] != PathDelim) return;  // relative entries are invalid
    std::string d = WithDelim(dir);
    if (std::find(dirs.begin(), dirs.end(), d) == dirs.end()) dirs.push_back(d);
  };
  std::string home = GetEnv(homeVar);
  add(home.empty() ? WithDelim(GetEnv("HOME")) + homeDefault : home);
  std::string list = GetEnv(listVar);
  if (list.empty()) list = listDefault;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find(':', pos);
    if (end == std::string::npos) end = list.size();
    add(list.substr(pos, end - pos));
    pos = end + 1;
  }
  return dirs;
}

std::vector<std::string> XdgDataDirs() {
  return XdgDirs("XDG_DATA_HOME", ".local/share", "XDG_DATA_DIRS", "/usr/local/share:/usr/share");
}

std::vector<std::string> XdgConfigDirs() {
  return XdgDirs("XDG_CONFIG_HOME", ".config", "XDG_CONFIG_DIRS", "/etc/xdg");
}

bool DesktopAppLoad(const std::string &file, DesktopApp &app) {
  KeyFile keys;
  if (!LoadKeyFile(file, keys)) return false;
  const std::string group = "Desktop Entry";
  if (!keys.count(group) || KeyValue(keys, group, "Type") != "Application" ||
      KeyValue(keys, group, "Hidden") == "true")
    return false;
  app.exec = UnescapeValue(KeyValue(keys, group, "Exec"));
  if (Trimmed(app.exec).empty()) return false;
  app.file = file;
  if (app.id.empty()) app.id = file.substr(file.rfind(PathDelim) + 1);
  for (const std::string &locale : LocaleNames()) {
    app.name = UnescapeValue(KeyValue(keys, group, "Name[" + locale + "]"));
    if (!app.name.empty()) break;
  }
  if (app.name.empty()) app.name = UnescapeValue(KeyValue(keys, group, "Name"));
  if (app.name.empty()) app.name = app.id;
  app.icon = UnescapeValue(KeyValue(keys, group, "Icon"));
  app.terminal = KeyValue(keys, group, "Terminal") == "true";
  return true;
}

std::string DesktopAppFind(const std::string &id) {
  if (id.empty() || id.find(PathDelim) != std::string::npos) return std::string();
  // The id itself, then each "-" in turn as a folder, then every "-" up to
  // each point as folders.
  std::vector<std::string> names = {id};
  for (size_t i = 0; i < id.size(); ++i) {
    if (id[i] != '-') continue;
    std::string single = id;
    single[i] = PathDelim;
    names.push_back(single);
    std::string prefix = id;
    for (size_t j = 0; j <= i; ++j)
      if (prefix[j] == '-') prefix[j] = PathDelim;
    if (prefix != single) names.push_back(prefix);
  }
  for (const std::string &dir : XdgDataDirs())
    for (const std::string &name : names) {
      std::string file = dir + "applications/" + name;
      if (FsFileExists(file)) return file;
    }
  return std::string();
}

std::vector<DesktopApp> AppsForMimeTypes(const std::vector<std::string> &types) {
  const std::vector<KeyFile> lists = LoadMimeAppsLists();
  const std::vector<std::string> dataDirs = XdgDataDirs();
  // Per data folder: its mimeinfo.cache, or what its .desktop files declare.
  std::vector<std::map<std::string, std::vector<std::string>>> caches(dataDirs.size());
  for (size_t d = 0; d < dataDirs.size(); ++d) {
    const std::string folder = dataDirs[d] + "applications/";
    KeyFile cache;
    if (LoadKeyFile(folder + "mimeinfo.cache", cache)) {
      for (const auto &[type, value] : cache["MIME Cache"]) caches[d][type] = SplitList(value);
    } else {
      ScanDesktopFiles(folder, "", 0, caches[d]);
    }
  }

  std::vector<std::string> ids;
  std::set<std::string> seen;
  auto add = [&](const std::string &id) {
    if (seen.insert(id).second) ids.push_back(id);
  };
  for (const std::string &type : types) {
    std::set<std::string> removed;
    for (const KeyFile &list : lists) {
      for (const std::string &id : SplitList(KeyValue(list, "Removed Associations", type)))
        removed.insert(id);
    }
    for (const KeyFile &list : lists)
      for (const std::string &id : SplitList(KeyValue(list, "Default Applications", type))) add(id);
    for (const KeyFile &list : lists)
      for (const std::string &id : SplitList(KeyValue(list, "Added Associations", type)))
        if (!removed.count(id)) add(id);
    for (const auto &cache : caches) {
      auto found = cache.find(type);
      if (found == cache.end()) continue;
      for (const std::string &id : found->second)
        if (!removed.count(id)) add(id);
    }
  }

  std::vector<DesktopApp> apps;
  for (const std::string &id : ids) {
    std::string file = DesktopAppFind(id);
    DesktopApp app;
    app.id = id;
    if (!file.empty() && DesktopAppLoad(file, app)) apps.push_back(app);
  }
  return apps;
}

std::vector<std::string> SplitCommandLine(const std::string &line) {
  bool usedFile = false;
  return SplitExec(line, false, std::string(), nullptr, usedFile);
}

std::vector<std::string> DesktopAppCommand(const DesktopApp &app, const std::string &path) {
  bool usedFile = false;
  std::vector<std::string> argv = SplitExec(app.exec, true, path, &app, usedFile);
  if (argv.empty()) return argv;
  if (!usedFile) argv.push_back(path);
  if (app.terminal) {
    std::vector<std::string> terminal = TerminalCommand();
    terminal.push_back("-e");
    argv.insert(argv.begin(), terminal.begin(), terminal.end());
  }
  return argv;
}

std::vector<std::string> TypedCommand(const std::string &command, const std::string &path) {
  bool usedFile = false;
  std::vector<std::string> argv = SplitExec(command, true, path, nullptr, usedFile);
  if (!argv.empty() && !usedFile) argv.push_back(path);
  return argv;
}

bool LaunchForFile(const std::vector<std::string> &argv, const std::string &path) {
  if (argv.empty() || argv[0].empty()) return false;
  ExternalCommand run;
  run.program = argv[0];
  run.args.assign(argv.begin() + 1, argv.end());
  run.workingFolder = FolderOf(path);
  return RunCommand(run) == 0;
}

// ---- Build and lock ------------------------------------------------------------

std::string GetBuildInfo() { return kBuildVersion; }

void LockInit() {
  std::lock_guard<std::mutex> guard(lockGuard);
  if (!lockState) lockState = std::make_shared<LockState>();
}

int Lock() {
  std::shared_ptr<LockState> state;
  {
    std::lock_guard<std::mutex> guard(lockGuard);
    state = lockState;
  }
  if (!state) return LockFailed;
  std::unique_lock<std::mutex> lock(state->mutex);
  if (!state->released.wait_for(lock, std::chrono::milliseconds(10),
                                [&state] { return state->free; }))
    return LockTimeout;
  state->free = false;
  return 0;
}

void UnLock() {
  std::shared_ptr<LockState> state;
  {
    std::lock_guard<std::mutex> guard(lockGuard);
    state = lockState;
  }
  if (!state) return;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->free = true;
  }
  state->released.notify_one();
}

void LockUninit() {
  std::lock_guard<std::mutex> guard(lockGuard);
  lockState.reset();
}

}  // namespace trovix
