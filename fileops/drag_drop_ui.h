// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Drag and drop in a browsing window (TBrowserHost): the marked entries of the file grid and
// the folder of the tree are dragged onto a tree node, a browse tab or an
// unmarked folder row of the grid, and copied or moved there as the user
// answers; files and folders dropped from another program each open their
// folder in a new tab with the item current. The rules are in drag_drop.h.
//
// Drags inside the program carry DragMimeType (naming the source) and the
// file URLs of what is dragged, so another program can take them as well.
#include <QPoint>
#include <cstdint>
#include <string>
#include <vector>

#include "fileops/drag_drop.h"

class QDropEvent;
class QMimeData;
class QTreeWidgetItem;

namespace trovix {

class TBrowserHost;

// Makes the grid and the tree drag sources and the tree, the grid, the tab
// row and the window drop targets.
void InstallDragDrop(TBrowserHost &form);

// Where a drop comes from: our own source when the data carries our format
// and the drag started in this program, else Outside.
DragSource DropSource(const QDropEvent *event);
// The local paths of the file URLs of a drop, in order, every byte as the
// URL encodes it (LocalFileUrl of platform_ui.h gives such URLs).
std::vector<std::string> DroppedPaths(const QMimeData *data);

// The drop handlers, also called by tests.
// A drop on a tree node (nullptr: no node).
void FolderTreeDragDrop(TBrowserHost &form, DragSource source, QTreeWidgetItem *target);
// A drop on the tab at index (-1: no tab).
void TCTrovixDragDrop(TBrowserHost &form, DragSource source, int32_t index);
// Whether the grid takes the drag over row, and the drop there.
bool GFileInfoDragOver(TBrowserHost &form, DragSource source, int32_t row);
void GFileInfoDragDrop(TBrowserHost &form, DragSource source, int32_t row);
// A path dropped from another program: its folder opens in a new tab with the
// item current.
void ReceiveFilesReceiveFile(TBrowserHost &form, const std::string &path);

}  // namespace trovix
