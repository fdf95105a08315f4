// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/drag_drop.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidgetItem>
#include <QUrl>

#include "browser/browse_tabs_ui.h"
#include "browser/folder_tree_ui.h"
#include "fileops/drag_drop_ui.h"
#include "foundation/file_system.h"
#include "foundation/platform_ui.h"
#include "main_window_fixture.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;

TEST(DragDropRules, SourcesTargetsAndDestinations) {
  // A drag of another program is never taken for one of ours.
  EXPECT_EQ(DragSourceFromTag(DragSourceTag(DragSource::Tree)), DragSource::Tree);
  EXPECT_EQ(DragSourceFromTag("something else"), DragSource::Outside);
  EXPECT_FALSE(TreeAcceptsDrag(DragSource::Outside));
  EXPECT_TRUE(TreeAcceptsDrag(DragSource::Grid) && TabsAcceptDrag(DragSource::Tree));

  // A folder below the root goes into a folder of its name; a volume's
  // content goes straight into the target.
  EXPECT_EQ(TreeFolderDestination("/backup/", "Photos", true), "/backup/Photos/");
  EXPECT_EQ(TreeFolderDestination("/backup/", "/media/usb/", false), "/backup/");

  EXPECT_TRUE(InsideFolder("/data/photos/", "/data/photos/"));
  EXPECT_TRUE(InsideFolder("/data/photos/2024/photos/", "/data/photos/"));
  EXPECT_FALSE(InsideFolder("/data/photos2/", "/data/photos/"));
  EXPECT_FALSE(InsideFolder("/data/", "/data/photos/"));

  auto split = [](const std::string &path) {
    std::string folder, name;
    return SplitDroppedPath(path, folder, name) ? folder + "|" + name : "refused";
  };
  EXPECT_EQ(split("/home/u/a.txt"), "/home/u/|a.txt");
  EXPECT_EQ(split("/home/u/Docs/"), "/home/u/|Docs");
  EXPECT_EQ(split("/"), "/|");
  EXPECT_EQ(split("relative/a.txt"), "refused");

  // Dropped paths keep every byte, valid UTF-8 or not; other URLs are left out.
  QMimeData data;
  data.setUrls({LocalFileUrl("/tmp/caf\xe9 #1.txt"), QUrl("https://example.com/x"),
                LocalFileUrl("/tmp/b.txt")});
  EXPECT_EQ(DroppedPaths(&data), (std::vector<std::string>{"/tmp/caf\xe9 #1.txt", "/tmp/b.txt"}));
}

// ---- Drops in the main window ------------------------------------------------------

class DragDropWindow : public MainWindowFixture {
 protected:
  void SetUp() override {
    MainWindowFixture::SetUp();
    for (const char *n : {"work/a.txt", "work/b.txt", "work/docs/d.txt", "work/pics/p.png",
                          "data/Photos/one.jpg", "data/Photos/trip/two.jpg"})
      Write(root + n, n);
    fs::create_directories(root + "backup");
    fs::create_directories(root + "other");
    Start();
  }
  void ShowTab(int index) {
    form->TCTrovix->SetTabIndex(index);
    form->TCTrovix->LastIndex = index;
    form->TCTrovixFill(index);
  }
  // The tree node of a folder, leaving the tree's selection on select.
  QTreeWidgetItem *Node(const std::string &folder, const std::string &select) {
    form->FolderTree->SelectedFolderWrite(folder);
    QTreeWidgetItem *node = form->FolderTree->currentItem();
    form->FolderTree->SelectedFolderWrite(select);
    return node;
  }
};

TEST_F(DragDropWindow, GridEntriesGoOntoFoldersButNeverOntoThemselves) {
  // Onto the folder the entries come from: its tab and its tree node.
  Mark({"a.txt", "docs"});
  TCTrovixDragDrop(*form, DragSource::Grid, 0);
  FolderTreeDragDrop(*form, DragSource::Grid, form->FolderTree->currentItem());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ActiveOperations, 0);

  // A marked folder row refuses the drag; an unmarked one takes it.
  EXPECT_FALSE(GFileInfoDragOver(*form, DragSource::Grid, RowOf("docs")));
  EXPECT_FALSE(GFileInfoDragOver(*form, DragSource::Grid, RowOf("b.txt")));
  EXPECT_TRUE(GFileInfoDragOver(*form, DragSource::Grid, RowOf("pics")));
  GFileInfoDragDrop(*form, DragSource::Grid, RowOf("docs"));
  EXPECT_TRUE(messages.empty());
  GFileInfoDragDrop(*form, DragSource::Grid, RowOf("pics"));
  EXPECT_EQ(messages.size(), 1u);  // the copy or move question
  FinishOperations();
  EXPECT_TRUE(fs::exists(work + "pics/a.txt"));
  EXPECT_TRUE(fs::exists(work + "pics/docs/d.txt"));
  EXPECT_TRUE(fs::exists(work + "a.txt"));  // copied, not moved

  // Onto a tree node below a dragged folder: refused without a question.
  fs::create_directories(work + "docs/inner");
  QTreeWidgetItem *inner = Node(work + "docs/inner/", work);
  Mark({"docs"});
  FolderTreeDragDrop(*form, DragSource::Grid, inner);
  EXPECT_EQ(messages.size(), 1u);

  // Onto another tab, moved this time.
  form->OpenInNewTab(root + "backup/");
  ShowTab(0);
  Mark({"b.txt"});
  answers = {1};  // Move
  TCTrovixDragDrop(*form, DragSource::Grid, 1);
  FinishOperations();
  EXPECT_TRUE(fs::exists(root + "backup/b.txt"));
  EXPECT_FALSE(fs::exists(work + "b.txt"));
}

TEST_F(DragDropWindow, TreeFolderGoesIntoASubFolderOfItsName) {
  QTreeWidgetItem *backup = Node(root + "backup/", root + "data/Photos/");
  size_t titles = LogTitles().size();
  FolderTreeDragDrop(*form, DragSource::Tree, backup);
  EXPECT_EQ(messages.size(), 1u);  // the copy or move question
  FinishOperations();
  EXPECT_TRUE(fs::exists(root + "backup/Photos/one.jpg"));
  EXPECT_TRUE(fs::exists(root + "backup/Photos/trip/two.jpg"));
  EXPECT_EQ(LogTitles().size(), titles);  // no entry of its own

  // Onto itself, or onto a folder inside it: nothing, not even a question.
  QTreeWidgetItem *trip = Node(root + "data/Photos/trip/", root + "data/Photos/");
  FolderTreeDragDrop(*form, DragSource::Tree, form->FolderTree->currentItem());
  FolderTreeDragDrop(*form, DragSource::Tree, trip);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(fs::exists(root + "data/Photos/trip/Photos"));

  // Onto a tab: the same rule with the tab's folder; the new-tab tab takes
  // nothing.
  form->OpenInNewTab(root + "other/");
  ShowTab(0);
  form->FolderTree->SelectedFolderWrite(root + "data/Photos/");
  TCTrovixDragDrop(*form, DragSource::Tree, form->TCTrovix->TabCount() - 1);
  EXPECT_EQ(messages.size(), 1u);
  ASSERT_EQ(List().TabStates[1].Folder, root + "other/");
  TCTrovixDragDrop(*form, DragSource::Tree, 1);
  FinishOperations();
  EXPECT_TRUE(fs::exists(root + "other/Photos/one.jpg"));
}

TEST_F(DragDropWindow, FilesFromAnotherProgramOpenInNewTabs) {
  const int tabs = form->TCTrovix->TabCount();
  auto *data = new QMimeData;
  data->setUrls({LocalFileUrl(work + "b.txt"), LocalFileUrl(root + "data/Photos/one.jpg"),
                 LocalFileUrl(root + "data/Photos/"), QUrl("https://example.com/x.txt")});
  QWidget *target = form->GFileInfo->viewport();
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  EXPECT_TRUE(drop.isAccepted());
  QApplication::processEvents();
  delete data;

  ASSERT_EQ(form->TCTrovix->TabCount(), tabs + 3);
  const int first = tabs - 1;  // the former new-tab tab
  EXPECT_EQ(List().TabStates[first].Folder, work);
  EXPECT_EQ(List().TabStates[first].CurrentFile, "b.txt");
  EXPECT_EQ(List().TabStates[first + 1].Folder, root + "data/Photos/");
  EXPECT_EQ(List().TabStates[first + 1].CurrentFile, "one.jpg");
  EXPECT_EQ(List().TabStates[first + 2].Folder, root + "data/");
  EXPECT_EQ(form->GFileInfo->CurrentEntry()->Name, "Photos");
  EXPECT_EQ(form->TCTrovix->TabIndex(), first + 2);
  EXPECT_EQ(form->TCTrovix->Caption(form->TCTrovix->TabCount() - 1), "");
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ActiveOperations, 0);
}

}  // namespace
}  // namespace trovix
