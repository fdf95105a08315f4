// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/launch_commands.h"

#include "foundation/file_system.h"
#include "foundation/platform.h"

namespace trovix {

const char *const MapDrivePrompt =
    "|b|4Select Folder to Map|n|b|0Network address, for example smb://server/share";

std::string NetworkMountOf(const std::string &folder) {
  if (folder.empty()) return std::string();
  const std::string gvfs = GvfsFolder();
  if (folder.size() > gvfs.size() && folder.compare(0, gvfs.size(), gvfs) == 0) {
    size_t end = folder.find(PathDelim, gvfs.size());
    return end == std::string::npos ? folder + PathDelim : folder.substr(0, end + 1);
  }
  FsVolume volume;
  if (FsVolumeOf(folder, volume) && volume.type == FsDriveType::Network) return volume.mountPoint;
  return std::string();
}

bool FolderOnNetwork(const std::string &folder) { return !NetworkMountOf(folder).empty(); }

std::string RunCommandText(const FileEntry *currentEntry, bool gridFocused) {
  if (!gridFocused || !currentEntry || currentEntry->Name.empty()) return std::string();
  // "./": the file of this folder, never a program found in PATH nor an
  // option; quoted, so no byte of the name is read as shell syntax.
  return ShellQuote("./" + currentEntry->Name);
}

}  // namespace trovix
