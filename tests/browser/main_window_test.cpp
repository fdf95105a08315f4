#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QSplitter>
#include <QTest>
#include <QTimer>
#include <QListWidget>
#include <filesystem>
#include <optional>

#include "browser/browse_tabs_ui.h"
#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_tree_ui.h"
#include "browser/main_window.h"
#include "browser/operation_state.h"
#include "browser/status_bar_ui.h"
#include "dialogs/message_box.h"
#include "foundation/file_system.h"
#include "foundation/platform.h"
#include "foundation/platform_ui.h"
#include "foundation/settings.h"

using namespace trovix;

namespace {

// A temporary home with a small tree, the current folder inside it and a
// settings file of its own; each test's window is shown and closed like a run.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/trovix-main-XXXXXX";
    root_ = std::string(mkdtemp(pattern)) + "/";
    oldHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", root_.c_str(), 1);
    FsCreateFolders(root_ + "work/sub");
    FsCreateFolders(root_ + "a,b");
    for (const char *name : {"work/one.txt", "work/two.txt", "a,b/x.txt"}) FsClose(FsCreate(root_ + name, true));
    for (const char *folder : {"t1", "t2", "t3 x, y z"}) {
      FsCreateFolders(root_ + folder);
      WriteFile(root_ + folder + "/a.txt", 1);
      WriteFile(root_ + folder + "/b.txt", 2);
    }
    oldCwd_ = std::filesystem::current_path();
    std::filesystem::current_path(root_ + "work");
    INIInitFile(root_ + "Trovix.ini");
    TabStates.clear();
    SetMessageBoxAnswerer([this](uint8_t, const std::string &message, const std::string &) {
      messages_.push_back(message);
      return 0;
    });
  }
  void TearDown() override {
    SetMessageBoxAnswerer(nullptr);
    std::filesystem::current_path(oldCwd_);
    setenv("HOME", oldHome_.c_str(), 1);
    std::filesystem::remove_all(root_);
  }
  std::unique_ptr<TMainForm> Start() {
    auto form = std::make_unique<TMainForm>();
    MainForm = form.get();
    form->show();
    QApplication::processEvents();
    return form;
  }
  std::string TabText(TMainForm &form, int i) { return form.TCTrovix->Caption(i); }
  std::vector<std::string> Captions(TMainForm &form) {
    std::vector<std::string> captions;
    for (int i = 0; i < form.TCTrovix->TabCount(); ++i) captions.push_back(form.TCTrovix->Caption(i));
    return captions;
  }
  void WriteFile(const std::string &path, size_t size) {
    int h = FsCreate(path, true);
    std::string data(size, 'x');
    FsWrite(h, data.data(), static_cast<int64_t>(size));
    FsClose(h);
  }
  // Tabs on the three folders t1, t2 and t3 (a name with spaces and commas),
  // each left with its second entry current; t3 is current.
  void OpenThreeTabs(TMainForm &form) {
    form.FolderTree->SelectedFolderWrite(root_ + "t1/");
    form.GFileInfo->SetRow(2);
    form.OpenInNewTab(root_ + "t2/");
    form.GFileInfo->SetRow(2);
    form.OpenInNewTab(root_ + "t3 x, y z/");
    form.GFileInfo->SetRow(2);
  }
  // A left click on a tab, as the user chooses it.
  void ClickTab(TMainForm &form, int index, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(form.TCTrovix, button, Qt::NoModifier, form.TCTrovix->tabRect(index).center());
  }

  std::string root_, oldHome_;
  std::filesystem::path oldCwd_;
  std::vector<std::string> messages_;
};

}  // namespace

TEST_F(MainWindowTest, FirstRunListsCurrentFolderWithNewTabTab) {
  auto form = Start();
  ASSERT_EQ(form->TCTrovix->TabCount(), 2);
  EXPECT_EQ(TabStates[0].Folder, root_ + "work/");
  EXPECT_EQ(TabText(*form, 1), "");
  EXPECT_EQ(FileCount, 3);  // sub, one.txt, two.txt
  EXPECT_EQ(FileList[0].Name, "sub");
  EXPECT_EQ(form->windowTitle().toStdString(), "Trovix - " + root_ + "work/");
}

TEST_F(MainWindowTest, TabsAndLayoutSurviveRestart) {
  {
    auto form = Start();
    form->FolderTree->SelectedFolderWrite(root_ + "a,b/");
    EXPECT_EQ(TabStates[0].Folder, root_ + "a,b/");
    form->OpenInNewTab(root_ + "work/sub/");
    ASSERT_EQ(form->TCTrovix->TabCount(), 3);
    EXPECT_EQ(TabStates[1].Folder, root_ + "work/sub/");
    form->Splitter->setSizes({211, 500});
    form->GFileInfo->SetColumnWidth(1, 99);
    form->move(40, 30);
    form->close();
  }
  EXPECT_EQ(INIRead("CurrentFolders"), root_ + "a\x80" "b/," + root_ + "work/sub/");
  EXPECT_EQ(INIReadNum("TreeWidth", 0), 211);
  INIBackup();
  INIInitFile(root_ + "Trovix.ini");  // the file as the next run reads it
  TabStates.clear();

  auto form = Start();
  ASSERT_EQ(form->TCTrovix->TabCount(), 3);
  EXPECT_EQ(TabStates[0].Folder, root_ + "a,b/");
  EXPECT_EQ(TabStates[1].Folder, root_ + "work/sub/");
  EXPECT_EQ(TabText(*form, 2), "");  // the new-tab tab was not saved, only appended
  EXPECT_EQ(form->pTree->width(), 211);
  EXPECT_EQ(form->GFileInfo->ColumnWidth(1), 99);
  EXPECT_EQ(FileList[0].Name, "x.txt");
}

TEST_F(MainWindowTest, CloseRefusedWhileOperationsRun) {
  auto form = Start();
  ActiveOperations = 1;
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], "|b|1Operation in progress");
  ActiveOperations = 0;
  EXPECT_TRUE(form->close());
}

TEST_F(MainWindowTest, BackGoesUpAndStopsAtRoot) {
  auto form = Start();
  form->FolderTree->SelectedFolderWrite(root_ + "work/sub/");
  form->bBackClick();
  EXPECT_EQ(ListedFolder, root_ + "work/");
  form->bBackClick();
  EXPECT_EQ(ListedFolder, root_);
  form->bBackClick();  // the home root has no parent
  EXPECT_EQ(ListedFolder, root_);
}

TEST_F(MainWindowTest, TimerRefreshesOnceWhenOperationsEnd) {
  auto form = Start();
  FsClose(FsCreate(root_ + "work/three.txt", true));
  SetOperationStatus("Copying x");
  CancelRequested = true;
  OperationsDone = true;
  form->TimerTimer();
  EXPECT_FALSE(OperationsDone);
  EXPECT_FALSE(CancelRequested);
  EXPECT_EQ(form->LastShownStatus, "Copying x");
  EXPECT_EQ(FileCount, 4);
  SetOperationStatus("");
}

TEST_F(MainWindowTest, DoubleClickEntersFolderAndKeysSearch) {
  auto form = Start();
  form->GFileInfo->setFocus();
  form->GFileInfo->SetRow(1);  // "sub"
  form->bViewFileClick();
  EXPECT_EQ(ListedFolder, root_ + "work/sub/");
  form->bBackClick();
  // F3 at form level moves on one row, wrapping.
  int before = form->GFileInfo->Row();
  QTest::keyClick(form->GFileInfo, Qt::Key_F3);
  EXPECT_EQ(form->GFileInfo->Row(), before % FileCount + 1);
}

TEST_F(MainWindowTest, TabsCloseMoveAndKeepTheirFiles) {
  auto form = Start();
  OpenThreeTabs(*form);
  ASSERT_EQ(form->TCTrovix->TabCount(), 4);
  EXPECT_EQ(TabText(*form, 2), FolderCaption(root_ + "t3 x, y z/"));
  EXPECT_EQ(TabText(*form, 3), "");

  // Choosing a tab with the mouse reads the one left and lists the new one.
  ClickTab(*form, 0);
  EXPECT_EQ(TabStates[2].CurrentFile, "b.txt");
  EXPECT_EQ(ListedFolder, root_ + "t1/");
  EXPECT_EQ(form->TCTrovix->LastIndex, 0);

  // Dragging t3 onto t1 gives t3, t1, t2; each keeps folder and current file.
  ClickTab(*form, 2);
  ASSERT_TRUE(form->TCTrovix->DropCurrentOn(0));
  EXPECT_EQ(TabStates[0].Folder, root_ + "t3 x, y z/");
  EXPECT_EQ(TabStates[1].Folder, root_ + "t1/");
  EXPECT_EQ(TabStates[2].Folder, root_ + "t2/");
  EXPECT_EQ(TabText(*form, 1), FolderCaption(root_ + "t1/"));
  EXPECT_EQ(form->TCTrovix->TabIndex(), 0);
  EXPECT_EQ(form->TCTrovix->LastIndex, 0);
  EXPECT_FALSE(form->TCTrovix->DropCurrentOn(3));  // never onto the new-tab tab

  // Closing the middle tab (t1) of t3, t1, t2 leaves t3 current; t2 keeps its file.
  ClickTab(*form, 1);
  form->mCloseTabClick();
  ASSERT_EQ(Captions(*form), (std::vector<std::string>{FolderCaption(root_ + "t3 x, y z/"),
                                                       FolderCaption(root_ + "t2/"), ""}));
  EXPECT_EQ(form->TCTrovix->TabIndex(), 0);
  EXPECT_EQ(ListedFolder, root_ + "t3 x, y z/");
  EXPECT_EQ(TabStates[1].CurrentFile, "b.txt");
  ClickTab(*form, 1);
  EXPECT_EQ(FileList[form->GFileInfo->Row() - 1].Name, "b.txt");

  // A middle click closes the tab under the mouse; the only tab stays.
  ClickTab(*form, 0, Qt::MiddleButton);
  EXPECT_EQ(Captions(*form), (std::vector<std::string>{FolderCaption(root_ + "t2/"), ""}));
  ClickTab(*form, 0, Qt::MiddleButton);
  EXPECT_EQ(form->TCTrovix->TabCount(), 2);
  // "Close Tab" on the new-tab tab does nothing, even with stale data behind it.
  form->TCTrovix->SetTabIndex(1);
  EnsureTabStates(2);
  TabStates[1].Folder = root_ + "t1/";
  form->mCloseTabClick();
  EXPECT_EQ(form->TCTrovix->TabCount(), 2);
  EXPECT_EQ(TabText(*form, 1), "");
  // Choosing the new-tab tab makes it a tab for the tree's folder.
  form->TCTrovix->SetTabIndex(0);
  form->FolderTree->SelectedFolderWrite(root_ + "work/");
  ClickTab(*form, 1);
  EXPECT_EQ(Captions(*form), (std::vector<std::string>{FolderCaption(root_ + "work/"),
                                                       FolderCaption(root_ + "work/"), ""}));
  EXPECT_EQ(TabStates[1].Folder, root_ + "work/");
  EXPECT_EQ(form->TCTrovix->LastIndex, 1);
}

TEST_F(MainWindowTest, CloseOtherTabsAndTabsToTheRight) {
  auto form = Start();
  OpenThreeTabs(*form);
  // Close others on the folder whose name holds spaces and commas.
  form->mCloseOtherTabsClick();
  EXPECT_EQ(Captions(*form), (std::vector<std::string>{FolderCaption(root_ + "t3 x, y z/"), ""}));
  EXPECT_EQ(TabStates[0].Folder, root_ + "t3 x, y z/");
  EXPECT_EQ(TabStates[0].CurrentFile, "b.txt");
  EXPECT_EQ(form->TCTrovix->LastIndex, 0);

  // Close to the right of the first keeps only it and the new-tab tab.
  form->OpenInNewTab(root_ + "t1/");
  form->OpenInNewTab(root_ + "t2/");
  ASSERT_EQ(form->TCTrovix->TabCount(), 4);
  ClickTab(*form, 0);
  form->mCloseTabstotheRightClick();
  EXPECT_EQ(Captions(*form), (std::vector<std::string>{FolderCaption(root_ + "t3 x, y z/"), ""}));
  EXPECT_EQ(ListedFolder, root_ + "t3 x, y z/");

  // Edit Path: the tree takes as much of the typed path as exists.
  SetEditStringAnswerer([this](const std::string &prompt, std::string &value) {
    EXPECT_EQ(prompt, "|b|4Enter New Path");
    EXPECT_EQ(value, root_ + "t3 x, y z/");
    value = root_ + "work/sub/missing/deeper";
    return true;
  });
  form->mEditPathClick();
  SetEditStringAnswerer(nullptr);
  EXPECT_EQ(TabStates[0].Folder, root_ + "work/sub/");
  EXPECT_EQ(TabText(*form, 0), FolderCaption(root_ + "work/sub/"));
}

TEST_F(MainWindowTest, TabCaptionLinesAndIcons) {
  FsCreateFolders(root_ + "one");
  FsCreateFolders(root_ + "empty");
  WriteFile(root_ + "one/only.txt", 5);
  INIWrite("CurrentFolders", root_ + "one/," + root_ + "empty/");
  auto form = Start();
  ASSERT_EQ(form->TCTrovix->TabCount(), 3);
  EXPECT_EQ(TabCountLine(TabStates[0]), "1 item: 5 Bytes");
  EXPECT_EQ(TabStates[1].ImageIndex, -1);  // not listed since the start
  EXPECT_EQ(TabCountLine(TabStates[1]), "");

  // A tab not yet listed shows neither icon nor second line: its icon and
  // count-line areas hold only the background's rows.
  auto plainRows = [&](int index) {
    QImage image = form->TCTrovix->grab().toImage();
    QRect r = form->TCTrovix->tabRect(index);
    for (int y = r.top() + 4; y < r.bottom() - 2; ++y)
      for (int x = r.left() + 4; x < r.left() + 20; ++x)
        if (image.pixel(x, y) != image.pixel(r.left() + 2, y)) return false;
    return true;
  };
  EXPECT_FALSE(plainRows(0));
  EXPECT_TRUE(plainRows(1));
  ClickTab(*form, 1);
  EXPECT_EQ(TabCountLine(TabStates[1]), "0 items: 0 Bytes");
  EXPECT_FALSE(plainRows(1));
}

TEST_F(MainWindowTest, SavedTabsKeepEveryByteAndTheirFiles) {
  const std::string odd = root_ + "\xC3\x80nimo, 1/";  // UTF-8 holding byte 128, and a comma
  FsCreateFolders(odd);
  WriteFile(odd + "f,1.txt", 1);
  {
    auto form = Start();
    form->OpenInNewTab(odd);
    form->GFileInfo->SetRow(1);
    TabStates[0].CurrentFile.clear();  // tab 0 (work/) has no current file
    form->close();
  }
  EXPECT_EQ(INIRead("CurrentFiles"), ",f\x80" "1.txt");
  INIBackup();
  INIInitFile(root_ + "Trovix.ini");
  TabStates.clear();
  auto form = Start();
  ASSERT_EQ(form->TCTrovix->TabCount(), 3);
  EXPECT_EQ(TabStates[1].Folder, odd);
  EXPECT_EQ(TabStates[1].CurrentFile, "f,1.txt");  // the empty file of tab 0 kept its place
  EXPECT_EQ(TabText(*form, 2), "");
}

TEST_F(MainWindowTest, StatusBarCountsAndCancelSquare) {
  FsCreateFolders(root_ + "ten");
  for (int i = 0; i < 10; ++i) WriteFile(root_ + "ten/f" + std::to_string(i), 100);
  auto form = Start();
  form->FolderTree->SelectedFolderWrite(root_ + "ten/");
  ASSERT_EQ(FileCount, 10);
  form->StatusBar->grab();
  const std::string freePart = "|1Free Space: |b";
  std::string text = form->StatusBar->Panel0Text();
  EXPECT_EQ(text.substr(0, text.find(freePart)), "|4|b10 |bitems: |b1,000 Bytes |b       ");
  EXPECT_NE(text.find(freePart), std::string::npos);
  EXPECT_EQ(text.back(), ')');  // the volume's share
  for (int i : {1, 4, 7}) FileList[i].Selected = true;
  form->StatusBar->grab();
  text = form->StatusBar->Panel0Text();
  EXPECT_EQ(text.substr(0, text.find(freePart)), "|4|b3 / 10 |bitems: |b300 Bytes / 1,000 Bytes |b       ");

  // The cancel square: nothing changes while nothing runs.
  QPoint square(form->StatusBar->Panel0Width() + 4, form->StatusBar->height() / 2);
  QTest::mouseClick(form->StatusBar, Qt::LeftButton, Qt::NoModifier, square);
  EXPECT_FALSE(CancelRequested);
  ActiveOperations = 1;
  QTest::mouseClick(form->StatusBar, Qt::LeftButton, Qt::NoModifier, square - QPoint(10, 0));
  EXPECT_FALSE(CancelRequested);  // panel 0, not the square
  QTest::mouseClick(form->StatusBar, Qt::LeftButton, Qt::NoModifier, square);
  EXPECT_TRUE(CancelRequested);
  ActiveOperations = 0;
  CancelRequested = false;
}

// Four tabs, the second current, and the status bar with its gauge, saved
// when TROVIX_SHOTS names a folder.
TEST_F(MainWindowTest, Screenshot) {
  const char *shots = std::getenv("TROVIX_SHOTS");
  if (!shots) GTEST_SKIP() << "TROVIX_SHOTS not set";
  FsCreateFolders(root_ + "Projects/trovix/src");
  for (int i = 0; i < 12; ++i) WriteFile(root_ + "Projects/trovix/src/unit" + std::to_string(i) + ".cpp", 1500 * i + 321);
  WriteFile(root_ + "work/report.pdf", 254000);
  auto form = Start();
  form->resize(900, 520);
  OpenThreeTabs(*form);
  form->OpenInNewTab(root_ + "Projects/trovix/src/");
  form->OpenInNewTab(root_ + "work/");
  ClickTab(*form, 1);
  ClickTab(*form, 3);
  ASSERT_EQ(FileCount, 12);
  for (int i : {2, 3, 5}) FileList[i].Selected = true;
  form->ItemsChanged();
  QApplication::processEvents();
  std::filesystem::create_directories(shots);
  form->grab().save(QString::fromStdString(std::string(shots) + "/tabs.png"));
  // The same while a copy runs: the cancel square and the status.
  ActiveOperations = 1;
  SetOperationStatus("Copying |bunit3.cpp");
  form->TimerTimer();
  form->StatusBar->grab().save(QString::fromStdString(std::string(shots) + "/tabs-busy.png"));
  ActiveOperations = 0;
  SetOperationStatus("");
}

// Opening, showing, copying, running and mapping go through the platform's
// seams: the URL opener and the command runner record what would start.
class LaunchTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    for (const char *name : {"TERMINAL", "SHELL", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_DATA_DIRS",
                             "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) {
      const char *value = std::getenv(name);
      savedEnv_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    setenv("TERMINAL", "myterm", 1);
    setenv("SHELL", "/bin/sh", 1);
    setenv("XDG_RUNTIME_DIR", (root_ + "run").c_str(), 1);
    FsCreateFolders(root_ + "run/gvfs");
    // One application registered for text files, and no others.
    setenv("XDG_DATA_HOME", (root_ + "data").c_str(), 1);
    // The MIME database stays reachable without the system's applications.
    FsCreateFolders(root_ + "nodata");
    std::filesystem::create_directory_symlink("/usr/share/mime", root_ + "nodata/mime");
    setenv("XDG_DATA_DIRS", (root_ + "nodata").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ + "config").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root_ + "noconfig").c_str(), 1);
    FsCreateFolders(root_ + "data/applications");
    const std::string app = "[Desktop Entry]\nType=Application\nName=Fake Editor\nExec=fakeeditor %f\nMimeType=text/plain;application/octet-stream;\n";
    int h = FsCreate(root_ + "data/applications/fake.desktop", true);
    FsWrite(h, app.data(), static_cast<int64_t>(app.size()));
    FsClose(h);
    h = FsCreate(root_ + "work/note.txt", true);
    FsWrite(h, "hello\n", 6);
    FsClose(h);
    SetUrlOpener([this](const QUrl &url) {
      urls_.push_back(url.toLocalFile().toStdString());
      return openerWorks_;
    });
    SetCommandRunner([this](const ExternalCommand &command) {
      commands_.push_back(command);
      return runner_ ? runner_(command) : 0;
    });
  }
  void TearDown() override {
    SetUrlOpener(nullptr);
    SetCommandRunner(nullptr);
    SetEditStringAnswerer(nullptr);
    for (auto &[name, value] : savedEnv_) {
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
    }
    MainWindowTest::TearDown();
  }
  // Makes the named entry the grid's current row and gives the grid the focus.
  void SelectEntry(TMainForm &form, const std::string &name) {
    form.GFileInfo->setFocus();
    form.GFileInfo->SelectByName(name);
    ASSERT_EQ(form.GFileInfo->CurrentEntry()->Name, name);
  }

  std::vector<std::pair<std::string, std::optional<std::string>>> savedEnv_;
  std::vector<std::string> urls_;
  std::vector<ExternalCommand> commands_;
  std::function<int(const ExternalCommand &)> runner_;
  bool openerWorks_ = true;
};

TEST_F(LaunchTest, OpenExploresFoldersAndOpensFiles) {
  auto form = Start();
  const std::string work = root_ + "work/";
  SelectEntry(*form, "sub");
  form->bOpenFileClick(form->mOpen);
  form->bOpenFileClick(form->mOpenWith);  // a folder is explored by Open With too
  form->bOpenFileClick(form->mTreeOpen);  // the tree's Open: the tab's folder
  EXPECT_EQ(urls_, (std::vector<std::string>{work + "sub/", work + "sub/", work}));

  urls_.clear();
  SelectEntry(*form, "note.txt");
  form->bOpenFileClick(form->mOpen);
  EXPECT_EQ(urls_, std::vector<std::string>{work + "note.txt"});
  EXPECT_TRUE(messages_.empty());

  // The desktop cannot open it: the choice of program follows, and a program
  // that cannot start is reported.
  openerWorks_ = false;
  runner_ = [](const ExternalCommand &) { return CommandNotStarted; };
  QTimer::singleShot(0, [] {
    auto *dialog = qobject_cast<TOpenWithDialog *>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->lApps->setCurrentRow(0);
    dialog->accept();
  });
  form->bOpenFileClick(form->mOpen);
  ASSERT_FALSE(commands_.empty());
  EXPECT_EQ(commands_.back().program, "fakeeditor");
  EXPECT_EQ(messages_, std::vector<std::string>{"|1|bERROR: Can not Open file |unote.txt"});
}

TEST_F(LaunchTest, FileLocationCopyPathAndRun) {
  auto form = Start();
  const std::string work = root_ + "work/";
  SelectEntry(*form, "note.txt");
  form->mOpenfilelocationClick();
  ASSERT_EQ(commands_.size(), 1u);
  EXPECT_EQ(commands_[0].program, "dbus-send");
  EXPECT_TRUE(messages_.empty());
  // No file manager answers and the folder cannot be opened either.
  runner_ = [](const ExternalCommand &) { return CommandNotStarted; };
  openerWorks_ = false;
  form->mOpenfilelocationClick();
  EXPECT_EQ(urls_, std::vector<std::string>{work});
  EXPECT_EQ(messages_, std::vector<std::string>{"|b|1ERROR: Can not Open folder"});

  form->mCopyFullPathClick();
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), work + "note.txt");

  // Run: the current file's name as the command to edit, in the tree's folder.
  runner_ = nullptr;
  commands_.clear();
  std::vector<std::string> prompts, values;
  SetEditStringAnswerer([&](const std::string &prompt, std::string &value) {
    prompts.push_back(prompt);
    values.push_back(value);
    value = "ls -l";
    return true;
  });
  form->bRunClick();
  ASSERT_EQ(commands_.size(), 1u);
  EXPECT_EQ(prompts[0], "|b" + work);
  EXPECT_EQ(values[0], "note.txt");
  EXPECT_EQ(commands_[0].program, "myterm");
  EXPECT_EQ(commands_[0].workingFolder, work);
  ASSERT_EQ(commands_[0].args.size(), 4u);
  EXPECT_EQ(commands_[0].args[3].substr(0, 6), "ls -l\n");
  // With the tree focused the command starts empty; no terminal starts.
  form->FolderTree->setFocus();
  runner_ = [](const ExternalCommand &) { return CommandNotStarted; };
  messages_.clear();
  form->bRunClick();
  EXPECT_EQ(values[1], "");
  EXPECT_EQ(messages_, std::vector<std::string>{"|1|bERROR: Can not run shell"});
  // Cancelled: nothing runs.
  commands_.clear();
  SetEditStringAnswerer([](const std::string &, std::string &) { return false; });
  form->bRunClick();
  EXPECT_TRUE(commands_.empty());
}

TEST_F(LaunchTest, MapDriveOpensTheMountInANewTabAndDisconnects) {
  auto form = Start();
  const std::string mount = root_ + "run/gvfs/smb-share:server=srv,share=docs/";
  SetEditStringAnswerer([](const std::string &prompt, std::string &value) {
    EXPECT_EQ(prompt.substr(0, 24), "|b|4Select Folder to Map");
    value = "smb://srv/docs";
    return true;
  });
  // A failed connection is reported and the button goes up again.
  runner_ = [](const ExternalCommand &) { return 2; };
  form->bMapDrive->trigger();
  EXPECT_FALSE(form->bMapDrive->isChecked());
  EXPECT_EQ(messages_, std::vector<std::string>{"|b|1ERROR: Could not Connect to drive"});
  EXPECT_EQ(form->TCTrovix->TabCount(), 2);

  runner_ = [&](const ExternalCommand &command) {
    if (command.args.size() > 1 && command.args[1] == "-u")
      std::filesystem::remove_all(mount);
    else
      FsCreateFolders(mount + "reports");
    return 0;
  };
  form->bMapDrive->trigger();
  ASSERT_EQ(commands_.back().args.back(), "smb://srv/docs");
  ASSERT_EQ(form->TCTrovix->TabCount(), 3);
  EXPECT_EQ(form->TCTrovix->TabIndex(), 1);
  EXPECT_EQ(TabStates[1].Folder, mount);
  EXPECT_EQ(ListedFolder, mount);
  EXPECT_TRUE(form->bMapDrive->isChecked());  // the listed folder is on a network mount
  ClickTab(*form, 0);
  EXPECT_FALSE(form->bMapDrive->isChecked());
  ClickTab(*form, 1);
  EXPECT_TRUE(form->bMapDrive->isChecked());

  // Up again: the mount is unmounted and its tab closed.
  form->bMapDrive->trigger();
  EXPECT_EQ(commands_.back().args, (std::vector<std::string>{"mount", "-u", "-f", "--", mount}));
  EXPECT_EQ(Captions(*form), (std::vector<std::string>{FolderCaption(root_ + "work/"), ""}));
  EXPECT_EQ(ListedFolder, root_ + "work/");
  EXPECT_EQ(messages_.size(), 1u);
}
