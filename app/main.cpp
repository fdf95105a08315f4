// SPDX-License-Identifier: GPL-3.0-or-later
// Program start: settings first, then the windows that live for the whole
// run in their fixed order, then the message loop; settings written at exit.
#include <QApplication>
#include <QMessageBox>
#include <cstring>
#include <exception>

#include "app/main_window.h"
#include "app/windows_ui.h"
#include "dialogs/about_form.h"
#include "dialogs/debug_form.h"
#include "foundation/platform.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"

using namespace trovix;

namespace {

struct StartFlags {
  bool debug = false;     // -debug: show the debug trace window
  bool debugLog = false;  // -debuglog: the trace window's log flag
  bool splash = true;     // -nosplash / -noabout: no About window at start
};

StartFlags ReadFlags(int argc, char **argv) {
  StartFlags flags;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-debug") == 0)
      flags.debug = true;
    else if (std::strcmp(argv[i], "-debuglog") == 0)
      flags.debugLog = true;
    else if (std::strcmp(argv[i], "-nosplash") == 0 || std::strcmp(argv[i], "-noabout") == 0)
      flags.splash = false;
  }
  return flags;
}

int Run(QApplication &app, const StartFlags &flags) {
  CreateWindows();
  // A logout, kill or Ctrl+C closes the main window the normal way, so the
  // settings, tabs and macros are saved.
  WatchCloseSignals([](int signal) {
    if (MainForm) MainForm->CloseBySignal(SignalName(signal));
  });
  DebugForm->DebugLog = flags.debugLog;
  MainForm->show();
  if (flags.debug) DebugForm->show();
  if (flags.splash) AboutForm->ShowSplash(1500);
  int result = app.exec();
  delete MainForm;  // its child windows go with it
  return result;
}

}  // namespace

int main(int argc, char **argv) {
  // First of all, so that no such signal ends the program without its saving.
  CloseSignalsInstall();
  QApplication app(argc, argv);
  QApplication::setApplicationName("Trovix");
  QApplication::setApplicationDisplayName("Trovix");
  INIStartup(QCoreApplication::applicationFilePath().toStdString(), "Trovix");
  StartFlags flags = ReadFlags(argc, argv);
  int result = 1;
  try {
    result = Run(app, flags);
  } catch (const std::exception &error) {
    QMessageBox::critical(nullptr, "Trovix", QString::fromUtf8(error.what()));
  }
  INIShutdown();
  return result;
}
