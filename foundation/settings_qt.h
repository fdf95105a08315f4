// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Settings helpers over Qt widgets: a window's position and size, a grid's or
// list view's column widths, a combo box's text and history. Keys are built
// as the settings store documents them (WinMainFormLeft, MainGrid1,
// EditStringFormEdit.Count, ...). Combo items and texts keep their bytes
// (ComboInsertItem, ComboText), so a history of paths that are not UTF-8
// comes back unchanged.
#include <functional>
#include <limits>
#include <string>

class QComboBox;
class QHeaderView;
class QTableView;
class QTreeView;
class QWidget;

namespace trovix {

// Window keys are "Win" + the widget's objectName (its class name when the
// object has no name) + Left/Top/Width/Height.
//
// Load: position always; a position that leaves fewer than 32 pixels of the
// window on the virtual screen (all monitors) becomes 0. Size only for a
// sizeable window: a widget whose minimum and maximum size are equal, or that
// carries Qt::MSWindowsFixedSizeDialogHint, has a fixed border and keeps its
// design size. Stored sizes below 1 are ignored.
void INIWinLoad(QWidget *form);
// Saves position and size, only while the window is in its normal state (not
// minimised, maximised or full screen), so those keep the last normal values.
// Both use the frame-less geometry (QWidget::geometry), so a window opens
// where it closed whatever its frame. A window closed maximised writes
// Win+name+"Maximized" 1 and opens maximised; a later normal close writes 0.
void INIWinSave(QWidget *form);

// The columns of any grid: their count, the width of column i (from 0) and
// how to set it. Lets custom grids that are not item views use the helpers.
struct TGridColumns {
  std::function<int()> count;
  std::function<int(int)> width;
  std::function<void(int, int)> setWidth;
};
TGridColumns GridColumns(QHeaderView *header);

// Keys name + column number from 1 (MainGrid1, MainGrid2, ...). Load keeps a
// column's current width when its key is empty or negative.
void INIGridLoad(const TGridColumns &grid, const std::string &name);
void INIGridSave(const TGridColumns &grid, const std::string &name);
void INIGridLoad(QHeaderView *header, const std::string &name);
void INIGridSave(QHeaderView *header, const std::string &name);
// The horizontal header's sections.
void INIGridLoad(QTableView *grid, const std::string &name);
void INIGridSave(QTableView *grid, const std::string &name);

// List views (QTreeView, QTreeWidget): the header's columns, as for grids.
void INIListViewLoad(QTreeView *view, const std::string &name);
void INIListViewSave(QTreeView *view, const std::string &name);

// Combo history: name + ".Text" the edit text, name + ".Count" the number of
// items, name + "." + i (from 1) each item. Load clears the items, adds the
// non-empty stored ones in order and sets the edit text (a non-editable combo
// selects the item with that text, if any).
void INIComboLoad(QComboBox *combo, const std::string &name);
// Writes at most maxItems items; Count holds the number actually written, so
// a later load never picks up stale items beyond them.
void INIComboSave(QComboBox *combo, const std::string &name,
                  int maxItems = std::numeric_limits<int>::max());

}  // namespace trovix
