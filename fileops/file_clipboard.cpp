// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/file_clipboard.h"

#include "foundation/file_system.h"
#include "foundation/platform.h"

namespace trovix {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The lines of text, without their CR LF or LF ends.
std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

void AddPaths(const std::vector<std::string> &lines, size_t from, FileClipboard &clipboard) {
  for (size_t i = from; i < lines.size(); ++i) {
    std::string path;
    // Comment lines of a URL list start with "#".
    if (!lines[i].empty() && lines[i][0] != '#' && FileUriPath(lines[i], path))
      clipboard.Paths.push_back(path);
  }
}

std::string LastName(std::string path) {
  while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  const size_t slash = path.rfind(PathDelim);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string UriListText(const std::vector<std::string> &paths) {
  std::string text;
  for (const std::string &path : paths) text += FileUri(path) + "\r\n";
  return text;
}

std::string GnomeCopiedFilesText(bool cut, const std::vector<std::string> &paths) {
  std::string text = cut ? "cut" : "copy";
  for (const std::string &path : paths) text += "\n" + FileUri(path);
  return text;
}

std::string KdeCutSelectionText(bool cut) { return cut ? "1" : "0"; }

bool FileUriPath(const std::string &uri, std::string &path) {
  static const std::string scheme = "file://";
  if (uri.size() <= scheme.size() || uri.compare(0, scheme.size(), scheme) != 0) return false;
  const size_t slash = uri.find('/', scheme.size());
  if (slash == std::string::npos) return false;
  const std::string host = uri.substr(scheme.size(), slash - scheme.size());
  if (!host.empty() && host != "localhost") return false;
  path.clear();
  for (size_t i = slash; i < uri.size(); ++i) {
    if (uri[i] == '%' && i + 2 < uri.size() && HexValue(uri[i + 1]) >= 0 &&
        HexValue(uri[i + 2]) >= 0) {
      path += static_cast<char>(HexValue(uri[i + 1]) * 16 + HexValue(uri[i + 2]));
      i += 2;
    } else {
      path += uri[i];
    }
  }
  // A NUL byte cannot be part of a path.
  return path.find('\0') == std::string::npos;
}

bool ParseFileClipboard(const std::string &gnome, const std::string &kdeCut,
                        const std::string &uriList, FileClipboard &clipboard) {
  clipboard = FileClipboard();
  const std::vector<std::string> gnomeLines = Lines(gnome);
  if (!gnomeLines.empty() && (gnomeLines[0] == "copy" || gnomeLines[0] == "cut")) {
    clipboard.Cut = gnomeLines[0] == "cut";
    AddPaths(gnomeLines, 1, clipboard);
    if (!clipboard.Paths.empty()) return true;
  }
  clipboard.Cut = !kdeCut.empty() && kdeCut[0] == '1';
  AddPaths(Lines(uriList), 0, clipboard);
  return !clipboard.Paths.empty();
}

OperationRequest PasteRequest(const FileClipboard &clipboard,
                              const std::string &destinationFolder) {
  OperationRequest request;
  request.Kind = clipboard.Cut ? okMove : okCopy;
  std::string folder = destinationFolder;
  if (folder.empty() || folder.back() != PathDelim) folder += PathDelim;
  for (std::string path : clipboard.Paths) {
    while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
    const std::string name = LastName(path);
    if (name.empty() || path == "/") continue;
    FsEntry info;
    const bool isFolder =
        FsGetInfo(path, info) && (info.attr & faDirectory) && !(info.attr & faReparsePoint);
    request.Sources.push_back(isFolder ? path + PathDelim : path);
    request.Destinations.push_back(folder + name + (isFolder ? std::string(1, PathDelim) : ""));
  }
  return request;
}

}  // namespace trovix
