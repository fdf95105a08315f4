// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drag and drop inside the main window, as plain rules: what a drag carries,
// where a drag may be dropped, the destination of a dragged tree folder, and
// how a path dropped from another program is opened. The Qt side that starts
// the drags and receives the drops is drag_drop_ui.h.
#include <cstdint>
#include <string>
#include <vector>

#include "browser/file_list.h"

namespace trovix {

// Where a drag comes from. Outside: another program (file URLs only).
enum class DragSource : uint8_t { Outside, Grid, Tree };

// The data format of drags inside the program; its bytes name the source
// ("grid" or "tree"). Such drags also carry the file URLs of what is dragged,
// so other programs can take them.
inline constexpr char DragMimeType[] = "application/x-trovix-drag";
std::string DragSourceTag(DragSource source);
// Outside for anything that is not a tag of ours.
DragSource DragSourceFromTag(const std::string &tag);

// The tree and the tab row take drags of the grid and of the tree.
bool TreeAcceptsDrag(DragSource source);
bool TabsAcceptDrag(DragSource source);
// The grid takes its own entries over a row (of list, the grid's entries)
// holding a folder that is not marked: never onto a dragged entry, never
// onto a file.
bool GridAcceptsDrag(const std::vector<FileEntry> &list, DragSource source, int32_t row);

// Where a dragged tree folder goes when dropped on targetFolder: into a
// sub-folder of the node's name, or, for a top-level node (a volume), its
// content straight into the target.
std::string TreeFolderDestination(const std::string &targetFolder, const std::string &nodeName,
                                  bool nodeHasParent);

// True when destination is folder or lies inside it: copying or moving a
// folder there would walk into its own copy without end.
bool InsideFolder(const std::string &destination, const std::string &folder);
// True when the marked folders of list (inside sourceFolder) may go into
// destinationFolder: none of them is the destination or holds it.
bool MarkedFoldersMayGoTo(const std::vector<FileEntry> &list, const std::string &sourceFolder,
                          const std::string &destinationFolder);

// A path dropped from another program: the folder that holds it (ending with
// PathDelim) and its name. A folder (with or without a trailing delimiter)
// opens its parent with the folder as the item; the root opens itself.
// False for a path that is not absolute.
bool SplitDroppedPath(const std::string &path, std::string &folder, std::string &name);

}  // namespace trovix
