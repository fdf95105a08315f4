#include <gtest/gtest.h>

#include <QApplication>
#include <QSplitter>
#include <QTabBar>
#include <QTest>
#include <filesystem>

#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_tree_ui.h"
#include "browser/main_window.h"
#include "browser/operation_state.h"
#include "dialogs/message_box.h"
#include "foundation/file_system.h"
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
  std::string TabText(TMainForm &form, int i) { return form.TCTrovix->tabText(i).toStdString(); }

  std::string root_, oldHome_;
  std::filesystem::path oldCwd_;
  std::vector<std::string> messages_;
};

}  // namespace

TEST_F(MainWindowTest, FirstRunListsCurrentFolderWithNewTabTab) {
  auto form = Start();
  ASSERT_EQ(form->TCTrovix->count(), 2);
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
    ASSERT_EQ(form->TCTrovix->count(), 3);
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
  ASSERT_EQ(form->TCTrovix->count(), 3);
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
