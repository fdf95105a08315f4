// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/drag_drop.h"

#include "browser/file_list.h"
#include "foundation/file_system.h"

namespace trovix {

std::string DragSourceTag(DragSource source) {
  switch (source) {
    case DragSource::Grid: return "grid";
    case DragSource::Tree: return "tree";
    default: return std::string();
  }
}

DragSource DragSourceFromTag(const std::string &tag) {
  if (tag == "grid") return DragSource::Grid;
  if (tag == "tree") return DragSource::Tree;
  return DragSource::Outside;
}

bool TreeAcceptsDrag(DragSource source) {
  return source == DragSource::Grid || source == DragSource::Tree;
}

bool TabsAcceptDrag(DragSource source) { return TreeAcceptsDrag(source); }

bool GridAcceptsDrag(const std::vector<FileEntry> &list, DragSource source, int32_t row) {
  if (source != DragSource::Grid || row < 1 || row > static_cast<int32_t>(list.size()))
    return false;
  const FileEntry &entry = list[static_cast<size_t>(row - 1)];
  return (entry.Attributes & faDirectory) != 0 && !entry.Selected;
}

std::string TreeFolderDestination(const std::string &targetFolder, const std::string &nodeName,
                                  bool nodeHasParent) {
  if (!nodeHasParent) return targetFolder;
  return targetFolder + nodeName + PathDelim;
}

bool InsideFolder(const std::string &destination, const std::string &folder) {
  if (folder.empty() || folder.back() != PathDelim) return false;
  return destination.compare(0, folder.size(), folder) == 0;
}

bool MarkedFoldersMayGoTo(const std::vector<FileEntry> &list, const std::string &sourceFolder,
                          const std::string &destinationFolder) {
  for (const FileEntry &entry : list) {
    if (!entry.Selected || !(entry.Attributes & faDirectory)) continue;
    if (InsideFolder(destinationFolder, sourceFolder + entry.Name + PathDelim)) return false;
  }
  return true;
}

bool SplitDroppedPath(const std::string &path, std::string &folder, std::string &name) {
  folder.clear();
  name.clear();
  if (path.empty() || path[0] != PathDelim) return false;
  std::string p = path;
  while (p.size() > 1 && p.back() == PathDelim) p.pop_back();
  if (p.size() == 1) {  // the root
    folder = p;
    return true;
  }
  const size_t slash = p.rfind(PathDelim);
  folder = p.substr(0, slash + 1);
  name = p.substr(slash + 1);
  return true;
}

}  // namespace trovix
