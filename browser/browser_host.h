// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TBrowserHost: what commands and windows of other folders need from the
// window that browses (the main window in app/), so they never include it.
// They get the widgets of the browse area, the folders of the tabs, and the
// requests to list the current tab again or to open a folder in a new tab.
#include <cstdint>
#include <string>

class QWidget;

namespace trovix {

class TFileGrid;
struct TFileListState;
class TFolderTree;
class TTabControlSmart;

class TBrowserHost {
 public:
  virtual ~TBrowserHost() = default;

  // The browsing window: parent of dialogs, owner of helpers and event
  // filters installed on its widgets, the context of deferred calls.
  virtual QWidget *HostWindow() = 0;
  virtual TTabControlSmart *Tabs() = 0;
  virtual TFolderTree *Tree() = 0;
  virtual TFileGrid *Grid() = 0;
  // The tabs' records and the current tab's entries (with their marks).
  virtual TFileListState &ListState() = 0;

  // The folder of tab index, empty for the new-tab tab or no such tab.
  virtual std::string TabFolder(int32_t index) const = 0;
  // The current tab's folder, empty when it has none.
  virtual std::string CurrentFolder() const = 0;
  // Lists the current tab again, reading its folder afresh.
  virtual void ListAgain() = 0;
  // Shows folder in a new tab (the tree's change event lists it).
  virtual void OpenInNewTab(const std::string &folder) = 0;
};

}  // namespace trovix
