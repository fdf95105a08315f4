// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's command line: the start flags (-debug, -debuglog, -nosplash,
// -noabout), --help and --version, and the folders and files to show, given
// as paths or file:// URLs. The D-Bus file manager service turns its URLs into
// places to show with the same functions.
#include <string>
#include <vector>

namespace trovix {

// One place to show: a folder (ending with PathDelim) and the name of the
// entry to make current in it (empty for none).
struct OpenTarget {
  std::string Folder;
  std::string CurrentFile;
  bool operator==(const OpenTarget &) const = default;
};

struct CommandLine {
  bool Debug = false;     // -debug: show the debug trace window
  bool DebugLog = false;  // -debuglog: the trace window's log flag
  bool Splash = true;     // -nosplash / -noabout: no About window at start
  std::vector<OpenTarget> Targets;
  // The program ends at once (--help, --version or a bad argument) with
  // ExitCode after writing Output to standard output and Error to standard
  // error.
  bool Exit = false;
  int ExitCode = 0;
  std::string Output;
  std::string Error;
};

// args[0] is the program's name; the rest are its arguments as bytes.
// Relative paths are taken from workingFolder. Qt's own options (-platform,
// -style, ...) are accepted and left to QApplication.
CommandLine ParseCommandLine(const std::vector<std::string> &args,
                             const std::string &workingFolder);

// An argument as an absolute path with "." and ".." resolved and no doubled
// or trailing PathDelim (except "/" itself): a path (relative ones from
// workingFolder) or a file:// URL of this machine, percent-decoded to bytes.
// Empty for another scheme, another host or an empty path.
std::string PathFromArgument(const std::string &argument, const std::string &workingFolder);

// The place that shows an existing path: a folder (or a link to one) as
// itself, anything else in its folder as the current entry. False when
// nothing exists at path.
bool TargetForPath(const std::string &path, OpenTarget &target);
// The place that shows the item at path in its folder, even when the item is
// a folder itself ("/" shows itself). False when nothing exists at path.
bool TargetForItem(const std::string &path, OpenTarget &target);

// The place TargetForPath (or, with item, TargetForItem) gives when path
// exists, told from the path alone, for a path whose disk does not answer: a
// folder request shows the path as a folder.
OpenTarget TargetUnchecked(const std::string &path, bool item);

// The path a target stands for: its folder, or its folder and current entry.
std::string TargetPath(const OpenTarget &target);

}  // namespace trovix
