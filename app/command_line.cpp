// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <QCommandLineParser>
#include <QSysInfo>

#include "foundation/file_system.h"

namespace trovix {

namespace {

// Arguments go through QCommandLineParser as Latin-1, one character per byte,
// so that a name that is not valid UTF-8 comes back out byte for byte.
QString FromBytes(const std::string &bytes) {
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
std::string ToBytes(const QString &text) { return text.toLatin1().toStdString(); }

// Options that QApplication reads and removes itself; accepted here so that
// a program started with them does not stop at "unknown option".
const char *const kQtValueOptions[] = {"platform",
                                       "platformpluginpath",
                                       "platformtheme",
                                       "plugin",
                                       "style",
                                       "stylesheet",
                                       "display",
                                       "geometry",
                                       "qwindowgeometry",
                                       "qwindowtitle",
                                       "qwindowicon",
                                       "session",
                                       "name",
                                       "title"};
const char *const kQtFlagOptions[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

std::string ProgramName(const std::vector<std::string> &args) {
  if (args.empty() || args[0].empty()) return "trovix";
  size_t slash = args[0].rfind(PathDelim);
  return slash == std::string::npos ? args[0] : args[0].substr(slash + 1);
}

std::string HelpText(const std::string &program) {
  return "Usage: " + program +
         " [options] [folder | file | file:// URL ...]\n"
         "Trovix, a fast, safe file manager.\n"
         "\n"
         "Each folder opens in a tab of its own; a file opens its folder with the\n"
         "file as the current entry. A Trovix already running on this desktop\n"
         "is given the folders and files instead of a second window starting.\n"
         "\n"
         "Options:\n"
         "  -debug               show the debug trace window\n"
         "  -debuglog            turn on the debug trace's log\n"
         "  -nosplash, -noabout  start without the About window\n"
         "  -h, --help           show this help and exit\n"
         "  -v, --version        show the version and exit\n";
}

std::string VersionText() {
  return "Trovix " TROVIX_VERSION
         "\n"
         "Licence GPL-3.0-or-later: GNU GPL version 3 or later "
         "<https://www.gnu.org/licenses/gpl-3.0.html>.\n"
         "This is free software: you are free to change and redistribute it.\n"
         "There is NO WARRANTY, to the extent permitted by law.\n";
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string &text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    int high = -1, low = -1;
    if (text[i] == '%' && i + 2 < text.size()) {
      high = HexDigit(text[i + 1]);
      low = HexDigit(text[i + 2]);
    }
    if (high >= 0 && low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool IsUrlScheme(const std::string &argument, size_t &schemeEnd) {
  schemeEnd = argument.find("://");
  if (schemeEnd == std::string::npos || schemeEnd == 0) return false;
  for (size_t i = 0; i < schemeEnd; ++i) {
    char c = argument[i];
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
    if (!letter && !(i > 0 && other)) return false;
  }
  return true;
}

bool LocalHost(const std::string &host) {
  return host.empty() || host == "localhost" || host == QSysInfo::machineHostName().toStdString();
}

std::string NormalisePath(const std::string &path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(PathDelim, start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string result;
  for (const std::string &part : parts) result += PathDelim + part;
  return result.empty() ? std::string(1, PathDelim) : result;
}

void SplitPath(const std::string &path, OpenTarget &target) {
  size_t slash = path.rfind(PathDelim);
  target.Folder = path.substr(0, slash + 1);
  target.CurrentFile = path.substr(slash + 1);
}

}  // namespace

std::string PathFromArgument(const std::string &argument, const std::string &workingFolder) {
  std::string path;
  size_t schemeEnd = 0;
  if (argument.size() > 5 && QString::fromLatin1(argument.substr(0, 5)).toLower() == "file:") {
    std::string rest = argument.substr(5);
    size_t cut = rest.find_first_of("?#");
    if (cut != std::string::npos) rest.erase(cut);
    if (rest.rfind("//", 0) == 0) {
      size_t slash = rest.find(PathDelim, 2);
      if (slash == std::string::npos) return "";
      if (!LocalHost(rest.substr(2, slash - 2))) return "";
      rest.erase(0, slash);
    }
    if (rest.empty() || rest[0] != PathDelim) return "";
    path = PercentDecode(rest);
  } else if (IsUrlScheme(argument, schemeEnd)) {
    return "";
  } else {
    if (argument.empty()) return "";
    path = argument[0] == PathDelim ? argument : workingFolder + PathDelim + argument;
  }
  return NormalisePath(path);
}

bool TargetForPath(const std::string &path, OpenTarget &target) {
  if (path.empty()) return false;
  if (FsFolderExists(path)) {
    target.Folder = path.back() == PathDelim ? path : path + PathDelim;
    target.CurrentFile.clear();
    return true;
  }
  if (!FsExists(path)) return false;
  SplitPath(path, target);
  return true;
}

bool TargetForItem(const std::string &path, OpenTarget &target) {
  if (path.empty() || !FsExists(path)) return false;
  if (path == std::string(1, PathDelim)) {
    target = OpenTarget{path, ""};
    return true;
  }
  SplitPath(path.back() == PathDelim ? path.substr(0, path.size() - 1) : path, target);
  return true;
}

OpenTarget TargetUnchecked(const std::string &path, bool item) {
  OpenTarget target;
  if (!item || path == std::string(1, PathDelim)) {
    target.Folder = path.empty() || path.back() == PathDelim ? path : path + PathDelim;
    return target;
  }
  SplitPath(path.back() == PathDelim ? path.substr(0, path.size() - 1) : path, target);
  return target;
}

std::string TargetPath(const OpenTarget &target) { return target.Folder + target.CurrentFile; }

CommandLine ParseCommandLine(const std::vector<std::string> &args,
                             const std::string &workingFolder) {
  CommandLine line;
  const std::string program = ProgramName(args);
  QCommandLineParser parser;
  // "-debug" is one option named "debug", not the letters d, e, b, u, g.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.addOption({{"h", "help", "?"}, "help"});
  parser.addOption({{"v", "version"}, "version"});
  parser.addOption({"debug", "debug"});
  parser.addOption({"debuglog", "debuglog"});
  parser.addOption({{"nosplash", "noabout"}, "nosplash"});
  for (const char *name : kQtValueOptions) parser.addOption({name, name, "value"});
  for (const char *name : kQtFlagOptions) parser.addOption({name, name});
  parser.addPositionalArgument("paths", "folders and files");

  QStringList qtArgs;
  for (const std::string &arg : args) qtArgs << FromBytes(arg);
  if (qtArgs.isEmpty()) qtArgs << "trovix";
  line.Exit = true;
  line.ExitCode = 2;
  if (!parser.parse(qtArgs)) {
    line.Error = program + ": " + ToBytes(parser.errorText()) + "\nTry '" + program +
                 " --help' for more information.\n";
    return line;
  }
  line.ExitCode = 0;
  if (parser.isSet("help")) {
    line.Output = HelpText(program);
    return line;
  }
  if (parser.isSet("version")) {
    line.Output = VersionText();
    return line;
  }
  line.Exit = false;
  line.Debug = parser.isSet("debug");
  line.DebugLog = parser.isSet("debuglog");
  line.Splash = !parser.isSet("nosplash");

  for (const QString &positional : parser.positionalArguments()) {
    const std::string argument = ToBytes(positional);
    const std::string path = PathFromArgument(argument, workingFolder);
    OpenTarget target;
    if (path.empty()) {
      line.Error += program + ": not a local file or folder: " + argument + "\n";
    } else if (!TargetForPath(path, target)) {
      line.Error += program + ": no such file or folder: " + argument + "\n";
    } else {
      line.Targets.push_back(target);
    }
  }
  if (!line.Error.empty()) {
    line.Exit = true;
    line.ExitCode = 2;
    line.Targets.clear();
  }
  return line;
}

}  // namespace trovix
