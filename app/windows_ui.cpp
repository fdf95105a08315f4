// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windows_ui.h"

#include "app/main_window.h"
#include "browser/file_list.h"
#include "compare/compare_form.h"
#include "dialogs/about_form.h"
#include "dialogs/debug_form.h"
#include "dialogs/edit_string_form.h"
#include "dialogs/event_log_form.h"
#include "dialogs/options_form.h"
#include "fileops/query_form.h"
#include "search/search_form.h"
#include "search/summary_form.h"
#include "viewer/file_save_form.h"
#include "viewer/image_save_ui.h"
#include "viewer/view_window.h"

namespace trovix {

TMainForm *CreateWindows() {
  MainForm = new TMainForm;
  EditStringForm = new TEditStringForm(MainForm);
  CompareForm = new TCompareForm(MainForm);
  OptionsForm = new TOptionsForm(MainForm);
  FileSaveForm = new TFileSaveForm(MainForm);
  AboutForm = new TAboutForm(MainForm);
  QueryForm = new TQueryForm(MainForm);
  DebugForm = new TDebugForm(MainForm);
  SummaryForm = new TSummaryForm(MainForm);
  LogForm = new TLogForm(MainForm);

  // What the windows ask of the browser goes through the main window.
  QueryForm->OnRefresh = [] { MainForm->bRefreshClick(); };
  TSearchHost &search = SearchHost();
  search.GoTo = [](const std::string &folder, const std::string &name) {
    MainForm->GoToFile(folder, name);
  };
  ViewerHooks().saveImage = [](TViewFileForm *form) { SaveImageAs(form); };
  search.IsRemote = [](const std::string &folder) { return FolderIsRemote(folder); };
  search.View = [](const std::string &path, bool newWindow, const std::string &findText,
                   QWidget *caller) { ViewFile(path, newWindow, false, findText, caller); };
  return MainForm;
}

}  // namespace trovix
