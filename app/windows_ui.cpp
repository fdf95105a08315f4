// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/windows_ui.h"

#include "app/main_window.h"
#include "compare/compare_form.h"
#include "dialogs/about_form.h"
#include "dialogs/debug_form.h"
#include "dialogs/edit_string_form.h"
#include "dialogs/event_log_form.h"
#include "dialogs/options_form.h"
#include "fileops/query_form.h"
#include "search/summary_form.h"
#include "viewer/file_save_form.h"

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
  return MainForm;
}

}  // namespace trovix
