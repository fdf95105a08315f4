// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Folder tree rules without widgets: the roots (volumes), folder paths of
// nodes, which root holds a path, the sub-folders of a folder and the rules
// for a name typed in place.
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/file_system.h"

namespace trovix {

// Images of the folder image list (ILFolder) used by the tree and the tabs.
enum FolderImage : int32_t {
  fiFixedDrive = 0,
  fiFolder = 1,
  fiFolderSelected = 2,
  fiCdRom = 3,
  fiNetworkDrive = 4,
  fiRemovable = 5,
  fiNetworkFolder = 6,
  fiNetworkFolderSelected = 7,
  fiNewTab = 8,
};

struct FolderRoot {
  std::string path;  // ends with PathDelim
  std::string text;  // path, then "  (label)" when the volume has a label
  int32_t image = fiFixedDrive;
  bool remote = false;
};

// The tree's roots: the home folder first, then "/" and every other real
// volume in mount-point order.
std::vector<FolderRoot> FolderRoots();
// What the roots are known to be without a call that may block: the home
// folder (as HOME names it, not checked) and "/", neither with a label.
std::vector<FolderRoot> KnownFolderRoots();
FolderRoot MakeFolderRoot(const std::string &path, const FsVolume &volume);
int32_t DriveImage(FsDriveType type);

// Index of the root holding path: the longest root path that is a prefix of
// it ignoring case, the exact match preferred; -1 for none.
int32_t RootOfPath(const std::vector<FolderRoot> &roots, const std::string &path);

// Splits the part of path below a root into its folder names; an empty
// component (a doubled or trailing delimiter) ends the list.
std::vector<std::string> PathComponents(const std::string &rest);

// The sub-folders of folder (links to folders included), sorted the way the
// tree shows them. Hidden folders are included.
std::vector<std::string> SubFolders(const std::string &folder);
// True when folder holds at least one sub folder as SubFolders counts them;
// reads the folder only up to the first one and examines only entries whose
// kind the folder itself does not tell (links, unknown).
bool HasSubFolder(const std::string &folder);

// Index of the name in names: an exact match wins, else the first that is the
// same ignoring case; -1 for none.
int32_t FindName(const std::vector<std::string> &names, const std::string &name);

// A folder name typed in place, made safe: empty gives "NewFolder"; every
// byte other than space, "-", digits, "@", letters and "_" becomes "_";
// leading and trailing spaces go.
std::string FolderEditName(const std::string &typed);

// "a/b/" for a folder path without its trailing delimiter, as "a/b".
std::string WithoutTrailingDelim(const std::string &folder);
std::string WithTrailingDelim(const std::string &folder);

}  // namespace trovix
