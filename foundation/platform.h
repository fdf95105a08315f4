// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Platform helpers without a user interface: starting external programs (the
// one place in the program that does), the terminal, network mounts through
// gio, the file manager's "show item" call, the applications registered for a
// file type, path names as they are on disk, the build number and a lock.
//
// Every external program is started through RunCommand, which tests replace
// with a recorder (SetCommandRunner) so that nothing real is ever started.
#include <functional>
#include <string>
#include <vector>

namespace trovix {

// Key modifier sets, as the key macros store them.
inline constexpr int ssShift = 1;
inline constexpr int ssAlt = 2;
inline constexpr int ssCtrl = 4;

// ---- External programs ---------------------------------------------------------

struct ExternalCommand {
  std::string program;            // a name looked up in PATH, or a path
  std::vector<std::string> args;  // the arguments after the program's name
  std::string workingFolder;      // empty: the program's own current folder
  bool wait = false;              // wait for the end and return the exit status
  std::string input;              // standard input of a waited program, up to 4096 bytes
};

// Result of a program that could not be started at all (not found, not
// executable), as a shell reports it.
inline constexpr int CommandNotStarted = 127;

// Runs a command. Detached (wait false): 0 once the program has started; it
// runs on in its own session and is never waited for. Waited: its exit status
// (128 + the signal number when a signal ended it). CommandNotStarted when the
// program could not be started (or input is over 4096 bytes). Standard input
// is /dev/null for a detached program and a pipe holding input for a waited
// one; standard output goes to /dev/null.
using CommandRunner = std::function<int(const ExternalCommand &command)>;
int RunCommand(const ExternalCommand &command);
// Replaces the runner (tests); an empty function restores the real one.
void SetCommandRunner(CommandRunner runner);

// s as one word of a shell command line: in single quotes, with each quote
// and backslash written outside them ('\'' and '\\'), which reads the same in
// sh, bash, zsh, fish and csh.
std::string ShellQuote(const std::string &s);

// "file://" and path with every byte other than letters, digits, "-._~" and
// "/" percent-encoded, so that any name (commas, spaces, bytes that are not
// UTF-8) travels intact.
std::string FileUri(const std::string &path);

// The terminal emulator and its own arguments: $TERMINAL split as a command
// line when set, else "x-terminal-emulator".
std::vector<std::string> TerminalCommand();

// Opens a terminal in folder running command with the user's shell ($SHELL,
// else /bin/sh) and then staying open with that shell. command is the user's
// shell text; it runs in folder (the shell enters it first). An empty command
// opens just the shell. When $TERMINAL cannot be started x-terminal-emulator is
// tried. True when a terminal started.
bool RunInTerminal(const std::string &folder, const std::string &command);

// Asks the desktop's file manager to show path selected in its folder (the
// org.freedesktop.FileManager1.ShowItems call through dbus-send, else gdbus).
// True when the call succeeded; false when no file manager answered.
bool ShowItemInFileManager(const std::string &path);
// When this program is itself the desktop's file manager, it shows the item
// through handler instead of calling itself over the bus (which would wait on
// its own answer). An empty function restores the bus call.
void SetShowItemHandler(std::function<bool(const std::string &path)> handler);

// ---- Network mounts ------------------------------------------------------------

// Mounts a network address (smb://server/share, sftp://user@host/path, ...)
// with gio. Without a password an anonymous login is tried when the server
// allows one; with one, gio is given the password as the answer to its
// password question, so the address must name the user (and, for smb, the
// domain: smb://DOMAIN;user@server/share) for it to ask nothing else.
// Returns 0 on success, gio's exit status on a failure, CommandNotStarted when
// gio is not installed. On success mountPoint is the local folder where the
// mount appears (ending with PathDelim), found as the new entry of the gvfs
// folder; the gvfs folder itself when the new entry cannot be told apart (the
// address was mounted already), empty when there is no local access.
int DriveConnect(const std::string &remote, const std::string &password, std::string &mountPoint);
// Unmounts (forced) the mount holding a local mount point or an address; 0 on
// success.
int DriveDisconnect(const std::string &mountPointOrAddress);
// The folder where gvfs shows its mounts: $XDG_RUNTIME_DIR/gvfs/.
std::string GvfsFolder();

// ---- Path names ----------------------------------------------------------------

// The path rebuilt component by component with each name as it is on disk: an
// entry of exactly that name when there is one, else the first (in byte
// order) whose name differs only in ASCII letter case. Stops at the first
// component that cannot be found and returns what it built up to there (no
// trailing PathDelim, "/" when nothing below the root was found). A path that
// is found whole keeps a trailing PathDelim. Empty components are dropped.
std::string AlternateToLFN(const std::string &path);
// Names have no short alternates here: the path's last component when the
// entry exists, else empty.
std::string LFNToAlternate(const std::string &path);

// ---- Applications registered for file types ------------------------------------

struct DesktopApp {
  std::string id;         // desktop file id, e.g. "org.gnome.gedit.desktop"
  std::string file;       // the .desktop file
  std::string name;       // Name, in the language of the locale when given
  std::string exec;       // Exec, escapes of the string value undone
  std::string icon;       // Icon
  bool terminal = false;  // Terminal=true: runs in a terminal
};

// The XDG data folders (XDG_DATA_HOME, then XDG_DATA_DIRS) and config folders
// (XDG_CONFIG_HOME, then XDG_CONFIG_DIRS), with their defaults, each ending
// with PathDelim, most important first.
std::vector<std::string> XdgDataDirs();
std::vector<std::string> XdgConfigDirs();

// Reads a .desktop file; false when it is not a visible application
// (unreadable, no [Desktop Entry], Type not Application, Hidden, no Exec).
bool DesktopAppLoad(const std::string &file, DesktopApp &app);
// The .desktop file of a desktop file id in the XDG data folders (a "-" in
// the id may stand for a sub-folder of applications/), empty when none.
std::string DesktopAppFind(const std::string &id);

// The applications for a file whose MIME types are types (most specific
// first, then its parent types): per type, the defaults of mimeapps.list
// files first, then their added associations, then the applications whose
// MimeType lists the type (mimeinfo.cache, or the .desktop files where a data
// folder has no cache) less the removed associations. Each application once.
std::vector<DesktopApp> AppsForMimeTypes(const std::vector<std::string> &types);

// Splits a command line as desktop files write Exec: arguments separated by
// spaces, double quotes group ("\" escapes ", `, $ and \ inside them), a
// backslash outside quotes takes the next byte literally.
std::vector<std::string> SplitCommandLine(const std::string &line);

// The program and arguments that open path with app: field codes %f %F (the
// path), %u %U (its file URI), %c (the name), %k (the .desktop file), %i (the
// icon), %% expanded, obsolete codes dropped; the path is appended when Exec
// names no file. A terminal application is wrapped in the terminal.
std::vector<std::string> DesktopAppCommand(const DesktopApp &app, const std::string &path);
// The program and arguments of a typed command for path: %f / %u expanded as
// above, else the path appended.
std::vector<std::string> TypedCommand(const std::string &command, const std::string &path);
// Starts argv (program first) detached in path's folder; true when it started.
bool LaunchForFile(const std::vector<std::string> &argv, const std::string &path);

// ---- Build and lock ------------------------------------------------------------

// The program's version as major.minor.release.build.
std::string GetBuildInfo();

// A binary semaphore. Lock waits at most 10 ms and returns 0 when it took the
// semaphore, LockTimeout when the wait ran out and LockFailed before LockInit.
// UnLock gives it back (a no-op when it is free); LockUninit removes it.
inline constexpr int LockTimeout = 258;
inline constexpr int LockFailed = -1;
void LockInit();
int Lock();
void UnLock();
void LockUninit();

}  // namespace trovix
