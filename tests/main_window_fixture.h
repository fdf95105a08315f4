// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window on a temporary home for the window tests: its own settings
// file, the current folder home/work/, and message boxes and prompts answered
// by the test.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/main_window.h"
#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_lister_ui.h"
#include "browser/folder_tree_ui.h"
#include "browser/folder_watch_ui.h"
#include "browser/operation_state.h"
#include "dialogs/event_log.h"
#include "dialogs/message_box.h"
#include "fileops/file_commands_ui.h"
#include "foundation/settings.h"
#include "foundation/worker_pool_ui.h"
#include "test_util.h"

namespace trovix {

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", root.c_str(), 1);
    std::filesystem::create_directories(work);
    oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(work);
    INIInitFile(root + "Trovix.ini");
    LogClear();
    // Button 0 (Yes, Copy) unless the test queued other answers.
    SetMessageBoxAnswerer([this](uint8_t, const std::string &message, const std::string &) {
      messages.push_back(message);
      int32_t answer = answers.empty() ? 0 : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
      return answer;
    });
    // The queued texts confirm the prompt; with none left it is cancelled.
    SetEditStringAnswerer([this](const std::string &prompt, std::string &value) {
      prompts.push_back(prompt);
      defaults.push_back(value);
      if (typed.empty()) return false;
      value = typed.front();
      typed.erase(typed.begin());
      return true;
    });
  }
  void TearDown() override {
    form.reset();
    MainForm = nullptr;
    SetMessageBoxAnswerer(nullptr);
    SetEditStringAnswerer(nullptr);
    std::filesystem::current_path(oldCwd);
    setenv("HOME", oldHome.c_str(), 1);
  }
  void Write(const std::string &path, const std::string &content = "x") {
    test::WriteAll(path, content);
  }
  std::string Read(const std::string &path) { return test::ReadAll(path); }
  // Shows the window on work/ with the grid focused.
  void Start() {
    form = std::make_unique<TMainForm>();
    MainForm = form.get();
    // These tests look at listings right after the action that made them:
    // they wait for the worker as long as it takes.
    form->Lister->WaitMs = 10000;
    form->FreeSpace->WaitMs = 10000;
    form->FolderTree->WaitMs = 10000;
    form->FileCommands->Runner().WaitMs = 10000;
    form->Commands->WaitMs = 10000;
    form->Watch->ProbeMs = 10000;
    form->show();
    form->activateWindow();
    form->GFileInfo->setFocus();
    QApplication::processEvents();
  }
  // Closes the window as at the end of a run and starts the next run on the
  // settings file as it was written.
  void Restart() {
    form->close();
    form.reset();
    INIBackup();
    INIInitFile(root + "Trovix.ini");
    Start();
  }
  // Marks exactly the named entries and lets the window react, as a click does.
  void Mark(std::initializer_list<const char *> names) {
    for (FileEntry &e : List().FileList) {
      e.Selected = false;
      for (const char *n : names)
        if (e.Name == n) e.Selected = true;
    }
    form->ItemsChanged();
  }
  int32_t RowOf(const std::string &name) { return List().FindFileEntry(name) + 1; }
  // The window's tabs' records and current listing.
  TFileListState &List() { return form->List; }
  std::string CurrentName() {
    const FileEntry *e = form->GFileInfo->CurrentEntry();
    return e ? e->Name : std::string();
  }
  // Waits for the workers, then the timer's tick refreshes the list.
  void FinishOperations() {
    for (int i = 0; i < 2000 && ActiveOperations > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(ActiveOperations, 0);
    form->TimerTimer();
  }
  // The entries' title lines of the event log (details start with a tab).
  std::vector<std::string> LogTitles() {
    std::vector<std::string> titles;
    for (const std::string &line : LogLines())
      if (!line.empty() && line[0] != '\t') titles.push_back(line);
    return titles;
  }
  bool LogHas(const std::string &line) {
    for (const std::string &l : LogLines())
      if (l == line) return true;
    return false;
  }

  test::TempFolder home{"trovix-window"};
  std::string root = home.path(), work = root + "work/", oldHome;
  std::filesystem::path oldCwd;
  std::unique_ptr<TMainForm> form;
  std::vector<std::string> messages, prompts, defaults, typed;
  std::vector<int32_t> answers;
};

}  // namespace trovix
