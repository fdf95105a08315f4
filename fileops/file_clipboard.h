// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Files on the desktop's clipboard, in the formats other file managers write
// and read: text/uri-list (one file URL a line), x-special/gnome-copied-files
// ("copy" or "cut", then the URLs, one a line) and
// application/x-kde-cutselection ("1" when the files were cut). Plain rules
// here; the clipboard itself is reached in file_commands_ui.cpp.
#include <string>
#include <vector>

#include "fileops/file_operations.h"

namespace trovix {

inline constexpr const char *UriListMimeType = "text/uri-list";
inline constexpr const char *GnomeCopiedFilesMimeType = "x-special/gnome-copied-files";
inline constexpr const char *KdeCutSelectionMimeType = "application/x-kde-cutselection";

// What the clipboard holds: files copied or cut.
struct FileClipboard {
  bool Cut = false;
  std::vector<std::string> Paths;  // local paths, bytes as they were encoded
};

// The formats' texts for paths (any bytes; see FileUri).
std::string UriListText(const std::vector<std::string> &paths);
std::string GnomeCopiedFilesText(bool cut, const std::vector<std::string> &paths);
std::string KdeCutSelectionText(bool cut);

// The local path of a file URL ("file:///p" or "file://localhost/p", every
// %XX decoded to its byte); false for other URLs.
bool FileUriPath(const std::string &uri, std::string &path);

// Reads the clipboard's formats (empty when absent): the GNOME format when it
// holds files, else the URL list, cut when the KDE mark says "1". Entries that
// are not local file URLs are left out. False when no file is named.
bool ParseFileClipboard(const std::string &gnome, const std::string &kdeCut,
                        const std::string &uriList, FileClipboard &clipboard);

// The operation that pastes clipboard into destinationFolder: a move for cut
// files, else a copy, each path onto destinationFolder + its last name; a
// folder (not a link to one) as folder paths ending in PathDelim.
OperationRequest PasteRequest(const FileClipboard &clipboard, const std::string &destinationFolder);

}  // namespace trovix
