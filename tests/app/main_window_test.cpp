// SPDX-License-Identifier: GPL-3.0-or-later
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <csignal>
#include <list>

#include "browser/browse_tabs_ui.h"
#include "browser/folder_tree_ui.h"
#include "browser/status_bar_ui.h"
#include "dialogs/controls_ui.h"
#include "dialogs/debug_form.h"
#include "dialogs/options_form.h"
#include "dialogs/options_ui.h"
#include "foundation/file_system.h"
#include "foundation/platform.h"
#include "foundation/platform_ui.h"
#include "main_window_fixture.h"
#include "search/search_form.h"
#include "viewer/view_window.h"

using namespace trovix;

namespace {

// The shared window on a small tree: work/ holds sub, one.txt and two.txt;
// t1, t2 and "t3 x, y z" (spaces and commas) hold a.txt and b.txt.
class MainWindowTest : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    std::filesystem::create_directories(work + "sub");
    for (const char *name : {"work/one.txt", "work/two.txt", "a,b/x.txt"}) Write(root + name, "");
    for (const char *folder : {"t1/", "t2/", "t3 x, y z/"}) {
      Write(root + folder + "a.txt", "x");
      Write(root + folder + "b.txt", "xx");
    }
  }
  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (int i = 0; i < form->TCTrovix->TabCount(); ++i)
      captions.push_back(form->TCTrovix->Caption(i));
    return captions;
  }
  // Tabs on t1, t2 and t3, each left with its second entry current; t3 is current.
  void OpenThreeTabs() {
    form->FolderTree->SelectedFolderWrite(root + "t1/");
    form->GFileInfo->SetRow(2);
    form->OpenInNewTab(root + "t2/");
    form->GFileInfo->SetRow(2);
    form->OpenInNewTab(root + "t3 x, y z/");
    form->GFileInfo->SetRow(2);
  }
  void ClickTab(int index, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(form->TCTrovix, button, Qt::NoModifier,
                      form->TCTrovix->tabRect(index).center());
  }
  std::string Cap(const std::string &folder) { return FolderCaption(root + folder); }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const FileEntry &e : List().FileList) names.push_back(e.Name);
    return names;
  }
};

}  // namespace

// Tabs keep every byte of their folders (a comma, a UTF-8 name holding byte
// 128) and their current files; the layout comes back too.
TEST_F(MainWindowTest, TabsAndLayoutSurviveRestart) {
  const std::string odd = root + "\xC3\x80nimo, 1/";
  Write(odd + "f,1.txt");
  Start();
  form->FolderTree->SelectedFolderWrite(root + "a,b/");
  EXPECT_EQ(List().TabStates[0].Folder, root + "a,b/");
  form->OpenInNewTab(odd);
  form->GFileInfo->SetRow(1);
  List().TabStates[0].CurrentFile.clear();  // an empty current file keeps its place
  form->Splitter->setSizes({211, 500});
  form->GFileInfo->SetColumnWidth(1, 99);
  form->close();
  EXPECT_EQ(INIRead("CurrentFolders"), root +
                                           "a\x80"
                                           "b/," +
                                           TabListEncode(odd));
  EXPECT_EQ(INIRead("CurrentFiles"),
            ",f\x80"
            "1.txt");
  EXPECT_EQ(INIReadNum("TreeWidth", 0), 211);

  Restart();
  ASSERT_EQ(form->TCTrovix->TabCount(), 3);
  EXPECT_EQ(List().TabStates[0].Folder, root + "a,b/");
  EXPECT_EQ(List().TabStates[1].Folder, odd);
  EXPECT_EQ(List().TabStates[1].CurrentFile, "f,1.txt");
  EXPECT_EQ(form->TCTrovix->Caption(2), "");  // the new-tab tab was not saved, only appended
  EXPECT_EQ(form->pTree->width(), 211);
  EXPECT_EQ(form->GFileInfo->ColumnWidth(1), 99);
  EXPECT_EQ(List().FileList[0].Name, "x.txt");
  // Only the current tab is listed at the start; another one when chosen.
  EXPECT_EQ(TabCountLine(List().TabStates[1]), "");
  ClickTab(1);
  EXPECT_EQ(TabCountLine(List().TabStates[1]), "1 item: 1 Bytes");
}

TEST_F(MainWindowTest, WindowPlaceSurvivesTenRestartsAndMaximisedStays) {
  Start();
  form->setGeometry(120, 90, 700, 480);
  const QRect placed = form->geometry();
  for (int run = 0; run < 10; ++run) {
    Restart();
    ASSERT_EQ(form->geometry(), placed) << "run " << run;
  }
  EXPECT_EQ(INIReadNum("WinMainFormLeft", 0), placed.x());
  // The name column widened to fill the grid is saved at the design's width.
  EXPECT_GT(form->GFileInfo->ColumnWidth(0), 114);
  EXPECT_EQ(INIReadNum("MainGrid1", 0), 114);

  // Closed maximised: opens maximised, and back in normal state at its old place.
  form->showMaximized();
  QApplication::processEvents();
  Restart();
  EXPECT_TRUE(form->isMaximized());
  form->showNormal();
  QApplication::processEvents();
  EXPECT_EQ(form->geometry(), placed);
  Restart();
  EXPECT_FALSE(form->isMaximized());
  EXPECT_EQ(form->geometry(), placed);
}

TEST_F(MainWindowTest, CloseRefusedWhileOperationsRunAndTimerReacts) {
  Start();
  ActiveOperations = 1;
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(messages, std::vector<std::string>{"|b|1Operation in progress"});
  ActiveOperations = 0;

  // The end of the operations refreshes the list once and clears the cancel.
  Write(work + "three.txt");
  SetOperationStatus("Copying x");
  CancelRequested = true;
  OperationsDone = true;
  form->TimerTimer();
  EXPECT_FALSE(OperationsDone);
  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(form->LastShownStatus, "Copying x");
  EXPECT_EQ(List().FileCount(), 4);
  SetOperationStatus("");
  EXPECT_TRUE(form->close());
}

// A signal (logout, kill) closes the window the normal way, saving its
// state: while operations run it cancels them without a message box, says so
// in the trace and closes when they have ended. A question on screen is
// answered Cancel first.
TEST_F(MainWindowTest, SignalClosesTheNormalWayAfterOperationsEnd) {
  Start();
  DebugForm = new TDebugForm(form.get());
  DebugForm->show();  // the trace records while it is shown
  auto trace = [] { return DebugForm->findChild<QPlainTextEdit *>()->toPlainText().toStdString(); };
  ASSERT_TRUE(WatchCloseSignals([this](int signal) { form->CloseBySignal(SignalName(signal)); }));
  ActiveOperations = 1;
  raise(SIGTERM);
  for (int i = 0; i < 30; ++i) QTest::qWait(10);
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(CancelRequested);
  EXPECT_TRUE(messages.empty());  // nobody to answer a message box
  EXPECT_NE(trace().find("SIGTERM: file operations are running; cancelling them"),
            std::string::npos);

  QDialog question(form.get());
  question.setModal(true);
  bool rejected = false;
  QObject::connect(&question, &QDialog::rejected, [&] { rejected = true; });
  QTimer::singleShot(0, [&] { ActiveOperations = 0; });
  question.exec();  // answered Cancel by the close, which then goes on
  EXPECT_TRUE(rejected);
  for (int i = 0; i < 50 && form->isVisible(); ++i) QTest::qWait(10);
  EXPECT_FALSE(form->isVisible());
  EXPECT_NE(trace().find("SIGTERM: closing"), std::string::npos);
  EXPECT_EQ(INIRead("CurrentFolders"), work);
  CancelRequested = false;
  CloseSignalsRemove();
  DebugForm = nullptr;
}

// The options window comes from the tool bar; it goes with the main window,
// which stores its values for the next run.
TEST_F(MainWindowTest, PropertiesShowsTheOptionsWhichLastAcrossRuns) {
  Start();
  OptionsForm = new TOptionsForm(form.get());
  form->bProperties->trigger();
  EXPECT_TRUE(OptionsForm->isVisible());
  OptionsForm->eTabSize->SetValue(3);
  Restart();
  EXPECT_EQ(OptionsForm, nullptr);
  EXPECT_EQ(OptionTabSize(), 3);
  SetOptionTabSize(8);  // the next tests start from the default
}

TEST_F(MainWindowTest, FirstRunBackDoubleClickAndF3) {
  Start();  // the current folder in one tab, then the new-tab tab
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("work/"), ""}));
  EXPECT_EQ(List().TabStates[0].Folder, work);
  EXPECT_EQ(Names(), (std::vector<std::string>{"sub", "one.txt", "two.txt"}));
  EXPECT_EQ(form->windowTitle().toStdString(), "Trovix - " + work);
  form->GFileInfo->SetRow(1);  // "sub"
  form->bViewFileClick();
  EXPECT_EQ(List().ListedFolder, work + "sub/");
  form->bBackClick();
  EXPECT_EQ(List().ListedFolder, work);
  // F3 at form level moves on one row, wrapping.
  const int before = form->GFileInfo->Row();
  QTest::keyClick(form->GFileInfo, Qt::Key_F3);
  EXPECT_EQ(form->GFileInfo->Row(), before % List().FileCount() + 1);
  form->bBackClick();
  EXPECT_EQ(List().ListedFolder, root);
  form->bBackClick();  // the home root has no parent
  EXPECT_EQ(List().ListedFolder, root);
}

TEST_F(MainWindowTest, CommonKeysRefreshTabsBackEditPathAndDelete) {
  Start();
  QWidget *grid = form->GFileInfo;
  form->FolderTree->SelectedFolderWrite(work + "sub/");
  QTest::keyClick(grid, Qt::Key_Backspace);
  EXPECT_EQ(List().ListedFolder, work);
  QTest::keyClick(grid, Qt::Key_Up, Qt::AltModifier);
  EXPECT_EQ(List().ListedFolder, root);

  form->FolderTree->SelectedFolderWrite(work);
  Write(work + "three.txt");
  QTest::keyClick(grid, Qt::Key_F5);
  EXPECT_NE(List().FindFileEntry("three.txt"), -1);

  // Ctrl+T opens the current folder in a new tab before the new-tab tab; Ctrl+W closes it.
  QTest::keyClick(grid, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("work/"), Cap("work/"), ""}));
  EXPECT_EQ(form->TCTrovix->TabIndex(), 1);
  QTest::keyClick(grid, Qt::Key_W, Qt::ControlModifier);
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("work/"), ""}));

  typed = {root + "t1/"};
  QTest::keyClick(grid, Qt::Key_L, Qt::ControlModifier);
  ASSERT_EQ(prompts.size(), 1u);
  EXPECT_EQ(prompts.back(), "|b|4Enter New Path");
  EXPECT_EQ(List().ListedFolder, root + "t1/");

  // Shift+Del asks the delete question (F2 runs in the async window tests).
  answers = {1};  // No
  const size_t asked = messages.size();
  Mark({"a.txt"});
  QTest::keyClick(grid, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(messages.size(), asked + 1);
  EXPECT_TRUE(std::filesystem::exists(root + "t1/a.txt"));
}

TEST_F(MainWindowTest, TabsCloseMoveAndKeepTheirFiles) {
  Start();
  OpenThreeTabs();
  ASSERT_EQ(Captions(), (std::vector<std::string>{Cap("t1/"), Cap("t2/"), Cap("t3 x, y z/"), ""}));

  // Choosing a tab with the mouse reads the one left and lists the new one.
  ClickTab(0);
  EXPECT_EQ(List().TabStates[2].CurrentFile, "b.txt");
  EXPECT_EQ(List().ListedFolder, root + "t1/");
  EXPECT_EQ(form->TCTrovix->LastIndex, 0);

  // Dragging t3 onto t1 gives t3, t1, t2; each keeps folder and current file.
  ClickTab(2);
  ASSERT_TRUE(form->TCTrovix->DropCurrentOn(0));
  EXPECT_EQ(List().TabStates[0].Folder, root + "t3 x, y z/");
  EXPECT_EQ(List().TabStates[1].Folder, root + "t1/");
  EXPECT_EQ(List().TabStates[2].Folder, root + "t2/");
  EXPECT_EQ(form->TCTrovix->Caption(1), Cap("t1/"));
  EXPECT_EQ(form->TCTrovix->TabIndex(), 0);
  EXPECT_EQ(form->TCTrovix->LastIndex, 0);

  // Closing the middle tab (t1) of t3, t1, t2 leaves t3 current; t2 keeps its file.
  ClickTab(1);
  form->mCloseTabClick();
  ASSERT_EQ(Captions(), (std::vector<std::string>{Cap("t3 x, y z/"), Cap("t2/"), ""}));
  EXPECT_EQ(form->TCTrovix->TabIndex(), 0);
  EXPECT_EQ(List().ListedFolder, root + "t3 x, y z/");
  EXPECT_EQ(List().TabStates[1].CurrentFile, "b.txt");
  ClickTab(1);
  EXPECT_EQ(List().FileList[form->GFileInfo->Row() - 1].Name, "b.txt");

  // A middle click closes the tab under the mouse; the only tab stays.
  ClickTab(0, Qt::MiddleButton);
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("t2/"), ""}));
  ClickTab(0, Qt::MiddleButton);
  EXPECT_EQ(form->TCTrovix->TabCount(), 2);
  // "Close Tab" on the new-tab tab does nothing, even with stale data behind it.
  form->TCTrovix->SetTabIndex(1);
  List().EnsureTabStates(2);
  List().TabStates[1].Folder = root + "t1/";
  form->mCloseTabClick();
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("t2/"), ""}));
  // Choosing the new-tab tab makes it a tab for the tree's folder.
  form->TCTrovix->SetTabIndex(0);
  form->FolderTree->SelectedFolderWrite(work);
  ClickTab(1);
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("work/"), Cap("work/"), ""}));
  EXPECT_EQ(List().TabStates[1].Folder, work);
  EXPECT_EQ(form->TCTrovix->LastIndex, 1);
}

TEST_F(MainWindowTest, CloseOtherTabsTabsToTheRightAndEditPath) {
  Start();
  OpenThreeTabs();
  // Close others on the folder whose name holds spaces and commas.
  form->mCloseOtherTabsClick();
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("t3 x, y z/"), ""}));
  EXPECT_EQ(List().TabStates[0].Folder, root + "t3 x, y z/");
  EXPECT_EQ(List().TabStates[0].CurrentFile, "b.txt");
  EXPECT_EQ(form->TCTrovix->LastIndex, 0);

  // Close to the right of the first keeps only it and the new-tab tab.
  form->OpenInNewTab(root + "t1/");
  form->OpenInNewTab(root + "t2/");
  ASSERT_EQ(form->TCTrovix->TabCount(), 4);
  ClickTab(0);
  form->mCloseTabstotheRightClick();
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("t3 x, y z/"), ""}));
  EXPECT_EQ(List().ListedFolder, root + "t3 x, y z/");
  EXPECT_EQ(CloseTabsToTheRight(*form->TCTrovix), 0);

  // Edit Path: the tree takes as much of the typed path as exists.
  typed = {work + "sub/missing/deeper"};
  form->mEditPathClick();
  EXPECT_EQ(defaults, std::vector<std::string>{root + "t3 x, y z/"});
  EXPECT_EQ(List().TabStates[0].Folder, work + "sub/");
  EXPECT_EQ(form->TCTrovix->Caption(0), Cap("work/sub/"));
}

TEST_F(MainWindowTest, StatusBarCountsAndCancelSquare) {
  for (int i = 0; i < 10; ++i) Write(root + "ten/f" + std::to_string(i), std::string(100, 'x'));
  Start();
  form->FolderTree->SelectedFolderWrite(root + "ten/");
  ASSERT_EQ(List().FileCount(), 10);
  for (int i : {1, 4, 7}) List().FileList[i].Selected = true;
  form->StatusBar->grab();
  const std::string text = form->StatusBar->Panel0Text();
  EXPECT_NE(text.find("|b3 / 10 |bitems: |b300 Bytes / 1,000 Bytes"), std::string::npos);

  // The cancel square stops the running operations.
  QPoint square(form->StatusBar->Panel0Width() + 4, form->StatusBar->height() / 2);
  ActiveOperations = 1;
  QTest::mouseClick(form->StatusBar, Qt::LeftButton, Qt::NoModifier, square);
  EXPECT_TRUE(CancelRequested);
  ActiveOperations = 0;
  CancelRequested = false;
}

namespace {

// Opening, showing, copying, running and mapping go through the platform's
// seams: the URL opener and the command runner record what would start.
class LaunchTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    // One application registered for text files and no others; the MIME
    // database stays reachable without the system's applications.
    SetEnv("TERMINAL", "myterm");
    SetEnv("SHELL", "/bin/sh");
    SetEnv("XDG_RUNTIME_DIR", root + "run");
    SetEnv("XDG_DATA_HOME", root + "data");
    SetEnv("XDG_DATA_DIRS", root + "nodata");
    SetEnv("XDG_CONFIG_HOME", root + "config");
    SetEnv("XDG_CONFIG_DIRS", root + "noconfig");
    std::filesystem::create_directories(root + "run/gvfs");
    std::filesystem::create_directories(root + "nodata");
    std::filesystem::create_directory_symlink("/usr/share/mime", root + "nodata/mime");
    Write(root + "data/applications/fake.desktop",
          "[Desktop Entry]\nType=Application\nName=Fake Editor\nExec=fakeeditor %f\n"
          "MimeType=text/plain;application/octet-stream;\n");
    Write(work + "note.txt", "hello\n");
    SetUrlOpener([this](const QUrl &url) {
      urls.push_back(url.toLocalFile().toStdString());
      return openerWorks;
    });
    SetCommandRunner([this](const ExternalCommand &command) {
      commands.push_back(command);
      return runner ? runner(command) : 0;
    });
  }
  void TearDown() override {
    SetUrlOpener(nullptr);
    SetCommandRunner(nullptr);
    MainWindowTest::TearDown();
  }
  void SetEnv(const std::string &name, const std::string &value) { env.emplace_back(name, value); }
  // Makes the named entry the grid's current row and gives the grid the focus.
  void SelectEntry(const std::string &name) {
    form->GFileInfo->setFocus();
    form->GFileInfo->SelectByName(name);
    ASSERT_EQ(form->GFileInfo->CurrentEntry()->Name, name);
  }
  static int NotStarted(const ExternalCommand &) { return CommandNotStarted; }

  std::list<test::ScopedEnv> env;
  std::vector<std::string> urls;
  std::vector<ExternalCommand> commands;
  std::function<int(const ExternalCommand &)> runner;
  bool openerWorks = true;
};

TEST_F(MainWindowTest, FindOpensASearchThatGoesBackAndClosesWithTheViews) {
  Start();
  SearchHost().GoTo = [this](const std::string &folder, const std::string &name) {
    form->GoToFile(folder, name);
  };
  QTest::keyClick(form->GFileInfo, Qt::Key_F, Qt::ControlModifier);
  QPointer<TSearchForm> search;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *s = qobject_cast<TSearchForm *>(w)) search = s;
  ASSERT_FALSE(search.isNull());
  EXPECT_EQ(search->SearchFolder, work);
  search->eFilename->setEditText("two");
  search->bSearchClick();
  search->WaitWorker();
  ASSERT_EQ(search->Job().ResultCount, 1);
  form->bBackClick();  // elsewhere, so that Go has to come back
  search->bGoClick();
  EXPECT_EQ(form->List.ListedFolder, work);
  EXPECT_EQ(CurrentName(), "two.txt");
  EXPECT_TRUE(CloseAllViews());
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(search.isNull());
  SearchHost() = TSearchHost{};
}

}  // namespace

TEST_F(LaunchTest, OpenExploresFoldersAndOpensFiles) {
  Start();
  SelectEntry("sub");
  form->bOpenFileClick(form->mOpen);
  form->bOpenFileClick(form->mOpenWith);  // a folder is explored by Open With too
  form->bOpenFileClick(form->mTreeOpen);  // the tree's Open: the tab's folder
  EXPECT_EQ(urls, (std::vector<std::string>{work + "sub/", work + "sub/", work}));

  urls.clear();
  SelectEntry("note.txt");
  form->bOpenFileClick(form->mOpen);
  EXPECT_EQ(urls, std::vector<std::string>{work + "note.txt"});
  EXPECT_TRUE(messages.empty());

  // The desktop cannot open it: the choice of program follows, and a program
  // that cannot start is reported.
  openerWorks = false;
  runner = NotStarted;
  QTimer::singleShot(0, [] {
    auto *dialog = qobject_cast<TOpenWithDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->lApps->setCurrentRow(0);
    dialog->accept();
  });
  form->bOpenFileClick(form->mOpen);
  ASSERT_FALSE(commands.empty());
  EXPECT_EQ(commands.back().program, "fakeeditor");
  EXPECT_EQ(messages, std::vector<std::string>{"|1|bERROR: Can not Open file |unote.txt"});
}

TEST_F(LaunchTest, FileLocationCopyPathAndRun) {
  Start();
  SelectEntry("note.txt");
  form->mOpenfilelocationClick();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].program, "dbus-send");
  EXPECT_TRUE(messages.empty());
  // No file manager answers and the folder cannot be opened either.
  runner = NotStarted;
  openerWorks = false;
  form->mOpenfilelocationClick();
  EXPECT_EQ(urls, std::vector<std::string>{work});
  EXPECT_EQ(messages, std::vector<std::string>{"|b|1ERROR: Can not Open folder"});

  form->mCopyFullPathClick();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), work + "note.txt");

  // Run: the current file's name as the command to edit, in the tree's folder.
  runner = nullptr;
  commands.clear();
  typed = {"ls -l", "ls -l"};
  form->bRunClick();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(prompts[0], "|b" + work);
  EXPECT_EQ(defaults[0], "'./note.txt'");
  EXPECT_EQ(commands[0].program, "myterm");
  EXPECT_EQ(commands[0].workingFolder, work);
  // With the tree focused the command starts empty; no terminal starts.
  form->FolderTree->setFocus();
  runner = NotStarted;
  messages.clear();
  form->bRunClick();
  EXPECT_EQ(defaults[1], "");
  EXPECT_EQ(messages, std::vector<std::string>{"|1|bERROR: Can not run shell"});
  // Cancelled: nothing runs.
  commands.clear();
  form->bRunClick();
  EXPECT_TRUE(commands.empty());
}

TEST_F(LaunchTest, MapDriveOpensTheMountInANewTabAndDisconnects) {
  Start();
  const std::string mount = root + "run/gvfs/smb-share:server=srv,share=docs/";
  typed = {"smb://srv/docs", "smb://srv/docs"};
  // A failed connection is reported and the button goes up again.
  runner = [](const ExternalCommand &) { return 2; };
  form->bMapDrive->trigger();
  EXPECT_EQ(prompts.at(0).substr(0, 24), "|b|4Select Folder to Map");
  EXPECT_FALSE(form->bMapDrive->isChecked());
  EXPECT_EQ(messages, std::vector<std::string>{"|b|1ERROR: Could not Connect to drive"});
  EXPECT_EQ(form->TCTrovix->TabCount(), 2);

  runner = [&](const ExternalCommand &command) {
    if (command.args.size() > 1 && command.args[1] == "-u")
      std::filesystem::remove_all(mount);
    else
      std::filesystem::create_directories(mount + "reports");
    return 0;
  };
  form->bMapDrive->trigger();
  ASSERT_EQ(commands.back().args.back(), "smb://srv/docs");
  ASSERT_EQ(form->TCTrovix->TabCount(), 3);
  EXPECT_EQ(form->TCTrovix->TabIndex(), 1);
  EXPECT_EQ(List().TabStates[1].Folder, mount);
  EXPECT_EQ(List().ListedFolder, mount);
  EXPECT_TRUE(form->bMapDrive->isChecked());  // the listed folder is on a network mount
  ClickTab(0);
  EXPECT_FALSE(form->bMapDrive->isChecked());
  ClickTab(1);
  EXPECT_TRUE(form->bMapDrive->isChecked());

  // Up again: the mount is unmounted and its tab closed.
  form->bMapDrive->trigger();
  EXPECT_EQ(commands.back().args, (std::vector<std::string>{"mount", "-u", "-f", "--", mount}));
  EXPECT_EQ(Captions(), (std::vector<std::string>{Cap("work/"), ""}));
  EXPECT_EQ(List().ListedFolder, work);
  EXPECT_EQ(messages.size(), 1u);
}

// View opens a window; locked viewing follows the grid's current file.
TEST_F(MainWindowTest, ViewCommandsAndLockedViewing) {
  Write(work + "one.txt", "first\n");
  Write(work + "two.txt", "second\n");
  Start();
  form->GFileInfo->SetRow(RowOf("one.txt"));
  form->GFileInfo->setFocus();
  form->bViewFileClick();
  ASSERT_NE(LockedView, nullptr);
  EXPECT_EQ(LockedView->FileName, work + "one.txt");
  form->mViewHex->trigger();
  EXPECT_EQ(LockedView->Mode, vmHex);
  form->bViewFileAlways->trigger();  // down: the current file in the locked view
  EXPECT_EQ(LockedView->Mode, vmText);
  form->GFileInfo->SetRow(RowOf("two.txt"));
  EXPECT_EQ(LockedView->Memo->toPlainText(), "second\n");
  QTest::keyClick(form->GFileInfo, Qt::Key_Escape);
  EXPECT_FALSE(form->bViewFileAlways->isChecked());
  form->mCloseViews->trigger();
  EXPECT_EQ(ViewCascade, 0);
}
