// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folder_tree.h"

#include <algorithm>
#include <cstdlib>

#include "foundation/strings.h"

namespace trovix {

int32_t DriveImage(FsDriveType type) {
  switch (type) {
    case FsDriveType::Removable: return fiRemovable;
    case FsDriveType::Network: return fiNetworkDrive;
    case FsDriveType::CdRom: return fiCdRom;
    case FsDriveType::Fixed: break;
  }
  return fiFixedDrive;
}

std::string WithTrailingDelim(const std::string &folder) {
  if (!folder.empty() && folder.back() == PathDelim) return folder;
  return folder + PathDelim;
}

std::string WithoutTrailingDelim(const std::string &folder) {
  if (folder.size() > 1 && folder.back() == PathDelim) return folder.substr(0, folder.size() - 1);
  return folder;
}

FolderRoot MakeFolderRoot(const std::string &path, const FsVolume &volume) {
  FolderRoot root;
  root.path = WithTrailingDelim(path);
  root.text = root.path;
  // The home folder shows as its path; a volume's label only on the volume itself.
  if (!volume.label.empty() && root.path == volume.mountPoint)
    root.text += "  (" + volume.label + ")";
  root.image = DriveImage(volume.type);
  root.remote = volume.type == FsDriveType::Network;
  return root;
}

std::vector<FolderRoot> FolderRoots() {
  std::vector<FolderRoot> roots;
  const char *home = std::getenv("HOME");
  if (home && *home && FsFolderExists(home)) {
    FsVolume volume;
    FsVolumeOf(home, volume);
    std::string path = WithTrailingDelim(home);
    if (path != "/") roots.push_back(MakeFolderRoot(path, volume));
  }
  std::vector<FsVolume> volumes = FsVolumes();
  bool haveSlash = false;
  for (const FsVolume &v : volumes) haveSlash |= v.mountPoint == "/";
  if (!haveSlash) {
    FsVolume slash;
    slash.mountPoint = "/";
    roots.push_back(MakeFolderRoot("/", slash));
  }
  for (const FsVolume &v : volumes) {
    bool duplicate = false;
    for (const FolderRoot &r : roots) duplicate |= r.path == v.mountPoint;
    if (!duplicate) roots.push_back(MakeFolderRoot(v.mountPoint, v));
  }
  // "/" and the volumes in mount-point order, after the home folder.
  auto first = roots.begin() + ((home && !roots.empty() && roots[0].path != "/") ? 1 : 0);
  std::stable_sort(first, roots.end(),
                   [](const FolderRoot &a, const FolderRoot &b) { return a.path < b.path; });
  return roots;
}

std::vector<FolderRoot> KnownFolderRoots() {
  std::vector<FolderRoot> roots;
  const char *home = std::getenv("HOME");
  FsVolume none;
  if (home && *home == PathDelim && WithTrailingDelim(home) != "/")
    roots.push_back(MakeFolderRoot(home, none));
  roots.push_back(MakeFolderRoot("/", none));
  return roots;
}

static bool PrefixIgnoringCase(const std::string &prefix, const std::string &s) {
  if (prefix.size() > s.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (UpCase(prefix[i]) != UpCase(s[i])) return false;
  return true;
}

int32_t RootOfPath(const std::vector<FolderRoot> &roots, const std::string &path) {
  // The longest root that matches, ignoring case; of equally long ones the
  // exact match.
  std::string p = WithTrailingDelim(path);
  int32_t best = -1;
  bool bestExact = false;
  for (size_t i = 0; i < roots.size(); ++i) {
    const std::string &r = roots[i].path;
    if (!PrefixIgnoringCase(r, p)) continue;
    bool exact = p.compare(0, r.size(), r) == 0;
    size_t bestLength = best < 0 ? 0 : roots[best].path.size();
    if (best < 0 || r.size() > bestLength || (r.size() == bestLength && exact && !bestExact)) {
      best = static_cast<int32_t>(i);
      bestExact = exact;
    }
  }
  return best;
}

std::vector<std::string> PathComponents(const std::string &rest) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = rest.find(PathDelim, start);
    if (end == std::string::npos) end = rest.size();
    if (end == start) break;
    parts.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::vector<std::string> SubFolders(const std::string &folder) {
  std::vector<std::string> names;
  FsFolderReader reader;
  if (!reader.Open(folder)) return names;
  FsEntry entry;
  while (reader.Next(entry))
    if (entry.attr & faDirectory) names.push_back(entry.name);
  std::stable_sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) {
    int c = StrCompare(a, b);
    return c != 0 ? c < 0 : a < b;
  });
  return names;
}

bool HasSubFolder(const std::string &folder) {
  FsFolderReader reader;
  if (!reader.Open(folder)) return false;
  std::string name;
  FsKind kind;
  while (reader.NextKind(name, kind)) {
    if (kind == FsKind::Folder) return true;
    FsEntry entry;
    if ((kind == FsKind::Link || kind == FsKind::Unknown) && reader.Info(name, entry) &&
        (entry.attr & faDirectory))
      return true;
  }
  return false;
}

int32_t FindName(const std::vector<std::string> &names, const std::string &name) {
  if (name.empty()) return -1;
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int32_t>(i);
  for (size_t i = 0; i < names.size(); ++i)
    if (StrSame(names[i], name)) return static_cast<int32_t>(i);
  return -1;
}

std::string FolderEditName(const std::string &typed) {
  std::string s = typed.empty() ? std::string("NewFolder") : typed;
  for (char &c : s) {
    bool keep = c == ' ' || c == '-' || c == '@' || c == '_' || IsDigit(c) || IsAlpha(c);
    if (!keep) c = '_';
  }
  return StrStripSpaces(s);
}

}  // namespace trovix
