// SPDX-License-Identifier: GPL-3.0-or-later
// The main window reached over the session bus; runs under dbus-run-session.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include "app/file_manager_service.h"
#include "app/show_targets_ui.h"
#include "browser/browse_tabs_ui.h"
#include "foundation/platform.h"
#include "main_window_fixture.h"

namespace trovix {
namespace {

class DesktopSessionTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    Write(root + "docs/report.txt");
    Write(root + "docs/zeta.txt");
    Write(root + "pics/cat.png");
    Write(work + "one.txt");
    Start();
    ASSERT_EQ(service.Start(), FileManagerService::Role::First);
    service.Serve([this](const std::vector<OpenTarget> &t) { ShowTargets(*form, t); }, nullptr);
  }
  std::string CurrentFolder() {
    int index = form->TCTrovix->TabIndex();
    return index >= 0 && index < static_cast<int>(List().TabStates.size())
               ? List().TabStates[index].Folder
               : "";
  }
  std::vector<std::string> Folders() {
    std::vector<std::string> folders;
    for (int i = 0; i < form->TCTrovix->TabCount(); ++i)
      if (!form->TCTrovix->Caption(i).empty()) folders.push_back(List().TabStates[i].Folder);
    return folders;
  }
  // Runs the program itself as a second start in this session.
  int RunProgram(const QStringList &args, QString *errors = nullptr) {
    QProcess program;
    program.start(TROVIX_PROGRAM, args);
    EXPECT_TRUE(program.waitForStarted(5000));
    // The event loop runs meanwhile, so this process answers the hand-over.
    for (int waited = 0; program.state() != QProcess::NotRunning && waited < 20000; waited += 10)
      QTest::qWait(10);
    if (errors) *errors = QString::fromUtf8(program.readAllStandardError());
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
  }

  FileManagerService service;
};

// The desktop's calls reach the window as a second start's do (below); a
// tab that shows a folder already is reused, with the new item current.
TEST_F(DesktopSessionTest, ShownItemsReuseTheTabOfTheirFolder) {
  ShowTargets(*form, {{root + "docs/", "zeta.txt"}});
  ShowTargets(*form, {{work, "one.txt"}, {root + "docs/", "report.txt"}});
  EXPECT_EQ(Folders(), (std::vector<std::string>{work, root + "docs/"}));
  EXPECT_EQ(CurrentFolder(), root + "docs/");
  EXPECT_EQ(CurrentName(), "report.txt");
  EXPECT_EQ(List().TabStates[0].CurrentFile, "one.txt");
}

TEST_F(DesktopSessionTest, ASecondStartHandsItsArgumentsOverAndEnds) {
  QString errors;
  EXPECT_EQ(RunProgram({"-nosplash", QString::fromStdString(root + "pics"),
                        QString::fromStdString(root + "docs/zeta.txt")},
                       &errors),
            0)
      << errors.toStdString();
  EXPECT_EQ(Folders(), (std::vector<std::string>{work, root + "pics/", root + "docs/"}));
  EXPECT_EQ(CurrentFolder(), root + "docs/");
  EXPECT_EQ(CurrentName(), "zeta.txt");

  // A missing path ends the second start before it reaches the first.
  EXPECT_EQ(RunProgram({QString::fromStdString(root + "gone")}, &errors), 2);
  EXPECT_EQ(errors.toStdString(), "trovix: no such file or folder: " + root + "gone\n");
  EXPECT_EQ(Folders().size(), 3u);
}

}  // namespace
}  // namespace trovix
