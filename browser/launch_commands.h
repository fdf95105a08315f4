// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The launch commands' rules without widgets: which mount a folder lies on
// when it is a network one (the Map drive button shows it and disconnecting
// unmounts it) and the texts the commands start from.
#include <string>

#include "browser/file_list.h"

namespace trovix {

// The mount point of the network mount holding folder: a gvfs mount (the
// first folder below GvfsFolder) or a volume of a network file system.
// Empty when folder is not on a network mount.
std::string NetworkMountOf(const std::string &folder);
// True when folder lies on a network mount.
bool FolderOnNetwork(const std::string &folder);

// The prompt of Map drive, asking for the network address to mount.
extern const char *const MapDrivePrompt;

// The command Run starts from: when the grid has the focus and its current
// row holds an entry, "./" and its name quoted for the shell ('./a b'), else
// empty.
std::string RunCommandText(const FileEntry *currentEntry, bool gridFocused);

}  // namespace trovix
