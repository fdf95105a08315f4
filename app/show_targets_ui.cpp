// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/show_targets_ui.h"

#include "app/main_window.h"
#include "browser/browse_tabs.h"
#include "browser/browse_tabs_ui.h"
#include "browser/file_list.h"

namespace trovix {

namespace {

void ShowTarget(TMainForm &form, const OpenTarget &target) {
  TTabControlSmart &tabs = *form.TCTrovix;
  for (int i = 0; i < tabs.TabCount() && i < static_cast<int>(form.List.TabStates.size()); ++i) {
    if (!IsFolderTab(tabs, i) || form.List.TabStates[i].Folder != target.Folder) continue;
    if (i != tabs.LastIndex) {
      form.TCTrovixRead(tabs.LastIndex);
      tabs.SetTabIndex(i);
      tabs.LastIndex = i;
    }
    if (!target.CurrentFile.empty()) form.List.TabStates[i].CurrentFile = target.CurrentFile;
    form.TCTrovixFill(i);
    return;
  }
  // The new tab's listing takes the entry to make current.
  form.List.PendingSelectName = target.CurrentFile;
  form.OpenInNewTab(target.Folder);
  form.List.PendingSelectName.clear();
}

}  // namespace

void ShowTargets(TMainForm &form, const std::vector<OpenTarget> &targets) {
  for (const OpenTarget &target : targets) ShowTarget(form, target);
  if (form.isMinimized()) form.showNormal();
  form.raise();
  form.activateWindow();
}

}  // namespace trovix
