// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: settings first, then the windows that live for the whole
// run in their fixed order, then the message loop; settings written at exit.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <filesystem>

#include "app/command_line.h"
#include "app/file_manager_service.h"
#include "app/main_window.h"
#include "app/show_targets_ui.h"
#include "app/windows_ui.h"
#include "dialogs/about_form.h"
#include "dialogs/debug_form.h"
#include "foundation/platform.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"

using namespace trovix;

namespace {

int Run(QApplication &app, const CommandLine &line, FileManagerService &service) {
  CreateWindows();
  // A logout, kill or Ctrl+C closes the main window the normal way, so the
  // settings, tabs and macros are saved.
  WatchCloseSignals([](int signal) {
    if (MainForm) MainForm->CloseBySignal(SignalName(signal));
  });
  DebugForm->DebugLog = line.DebugLog;
  MainForm->show();
  if (line.Debug) DebugForm->show();  // before the service writes its trace
  ShowTargets(*MainForm, line.Targets);
  service.Serve(
      [](const std::vector<OpenTarget> &targets) {
        if (MainForm) ShowTargets(*MainForm, targets);
      },
      [](const std::string &text) { DebugAdd(text, Qt::darkBlue); });
  if (line.Splash) AboutForm->ShowSplash(1500);
  int result = app.exec();
  delete MainForm;  // its child windows go with it
  return result;
}

}  // namespace

int main(int argc, char **argv) {
  std::error_code noFolder;
  const CommandLine line = ParseCommandLine(std::vector<std::string>(argv, argv + argc),
                                            std::filesystem::current_path(noFolder).native());
  if (line.Exit) {
    std::fputs(line.Output.c_str(), stdout);
    std::fputs(line.Error.c_str(), stderr);
    return line.ExitCode;
  }
  // Before anything else of a run, so that no such signal ends the program
  // without its saving.
  CloseSignalsInstall();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Trovix");
  QGuiApplication::setDesktopFileName(kAppId);
  QApplication::setWindowIcon(TrovixIcon());
  // One Trovix per session: a second start hands its folders over and ends.
  FileManagerService service;
  if (service.Start() == FileManagerService::Role::Second) {
    std::string error;
    if (service.HandOver(line.Targets, error)) return 0;
    std::fprintf(stderr, "trovix: the running Trovix did not answer (%s)\n", error.c_str());
  }
  INIStartup(QCoreApplication::applicationFilePath().toStdString(), "Trovix");
  int result = 1;
  try {
    result = Run(app, line, service);
  } catch (const std::exception &error) {
    QMessageBox::critical(nullptr, "Trovix", QString::fromUtf8(error.what()));
  }
  INIShutdown();
  return result;
}
