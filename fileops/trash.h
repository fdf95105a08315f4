// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Moving files and folders to the desktop's trash in the freedesktop.org
// Trash layout, so the desktop's trash can restore them.
//
// A trash folder holds files/ (the trashed items) and info/ (one
// NAME.trashinfo per item: "[Trash Info]", "Path=" the original path
// percent-encoded, "DeletionDate=" local time as YYYY-MM-DDThh:mm:ss). Items
// on the home trash's volume go to the home trash ($XDG_DATA_HOME/Trash, else
// ~/.local/share/Trash) with their absolute path; items on another volume go
// to that volume's TOPDIR/.Trash/UID when TOPDIR/.Trash is a real folder
// (not a link) with the sticky bit, else to TOPDIR/.Trash-UID, with their
// path relative to TOPDIR. The .trashinfo file is created first, exclusively
// (so two programs never take one name), then the item is renamed into
// files/; a failed rename removes the .trashinfo again. Nothing is copied:
// a trash that cannot be made on the item's volume is a failure.
#include <cstdint>
#include <string>

namespace trovix {

// The home trash folder (ends with PathDelim).
std::string HomeTrashFolder();

// "Path=" value: every byte but letters, digits, "-._~" and "/" as %XX.
std::string TrashPathEncode(const std::string &path);
// The .trashinfo text for path (already relative or absolute as it should
// be written) deleted at unixSeconds (shown in local time).
std::string TrashInfoText(const std::string &path, int64_t unixSeconds);

struct TrashResult {
  bool Ok = false;
  int Error = 0;            // errno value when not Ok
  std::string Trash;        // the trash folder used (ends with PathDelim)
  std::string TrashedName;  // the item's name in files/ and info/
};

// Moves path (a file, a link or a folder; a trailing PathDelim is ignored)
// to the trash of its volume.
TrashResult MoveToTrash(const std::string &path);

}  // namespace trovix
