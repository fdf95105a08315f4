// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>
#include <functional>

#include "browser/folder_tree.h"
#include "browser/folder_tree_ui.h"
#include "foundation/file_system.h"
#include "test_util.h"

using namespace trovix;

namespace {

// A temporary folder made the home folder, so the tree's first root is it.
class FolderTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldHome_ = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home_.c_str(), 1);
    FsCreateFolders(home_ + "Alpha/Beta/Gamma");
    FsCreateFolders(home_ + "alpha2");
    FsCreateFolders(home_ + ".hidden");
    FsClose(FsCreate(home_ + "file.txt", true));
  }
  void TearDown() override { setenv("HOME", oldHome_.c_str(), 1); }
  // Runs the event loop until done(); false after a few seconds.
  static bool SpinUntil(const std::function<bool()> &done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000) QTest::qWait(5);
    return done();
  }
  static bool HasArrow(const QTreeWidgetItem *node) {
    return node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
  }
  test::TempFolder dir_{"trovix-tree"};
  std::string home_ = dir_.path(), oldHome_;
};

}  // namespace

TEST(FolderTreeRules, EditNameAndComponents) {
  EXPECT_EQ(FolderEditName(""), "NewFolder");
  EXPECT_EQ(FolderEditName("  a b-c@d_9  "), "a b-c@d_9");
  EXPECT_EQ(FolderEditName("caf\xC3\xA9"), "caf__");
  EXPECT_EQ(FolderEditName("a/b"), "a_b");

  EXPECT_EQ(PathComponents("a/b/c/"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(PathComponents("a//b"), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(PathComponents("").empty());

  EXPECT_EQ(FindName({"abc", "ABC"}, "ABC"), 1);  // exact wins
  EXPECT_EQ(FindName({"abc", "x"}, "ABC"), 0);    // case-insensitive fallback
  EXPECT_EQ(FindName({"abc"}, ""), -1);
}

TEST(FolderTreeRules, RootOfPathTakesLongestPrefix) {
  std::vector<FolderRoot> roots(3);
  roots[0].path = "/home/me/";
  roots[1].path = "/";
  roots[2].path = "/media/USB/";
  EXPECT_EQ(RootOfPath(roots, "/home/me/docs/"), 0);
  EXPECT_EQ(RootOfPath(roots, "/home/me"), 0);
  EXPECT_EQ(RootOfPath(roots, "/home/other/"), 1);
  EXPECT_EQ(RootOfPath(roots, "/media/USB/x"), 2);
  EXPECT_EQ(RootOfPath(roots, "/MEDIA/usb/x"), 2);  // case-insensitive fallback
  EXPECT_EQ(RootOfPath(roots, "relative"), -1);
}

TEST_F(FolderTreeTest, RootsStartWithHomeThenSlash) {
  std::vector<FolderRoot> roots = FolderRoots();
  ASSERT_GE(roots.size(), 2u);
  EXPECT_EQ(roots[0].path, home_);
  EXPECT_EQ(roots[1].path, "/");
  for (size_t i = 2; i < roots.size(); ++i) EXPECT_LT(roots[i - 1].path, roots[i].path);
}

TEST_F(FolderTreeTest, SelectsDeepestFolderAndAlwaysFires) {
  TFolderTree tree;
  tree.WaitMs = 10000;
  int fired = 0;
  tree.OnChangeFolder = [&] { ++fired; };
  tree.Init(home_);
  EXPECT_EQ(tree.SelectedFolderRead(), home_);
  EXPECT_EQ(fired, 1);

  // Case does not matter; missing trailing parts select the deepest folder.
  tree.SelectedFolderWrite(home_ + "alpha/BETA/missing/deeper/");
  EXPECT_EQ(tree.SelectedFolderRead(), home_ + "Alpha/Beta/");
  EXPECT_EQ(fired, 2);
  tree.SelectedFolderWrite(home_ + "Alpha/Beta/");
  EXPECT_EQ(fired, 3);  // already selected: fires anyway

  // Sub-folders only, hidden ones included, files left out.
  tree.SelectedFolderWrite(home_);
  QTreeWidgetItem *root = tree.currentItem();
  tree.FillNode(root);
  QStringList names;
  for (int i = 0; i < root->childCount(); ++i) names << root->child(i)->text(0);
  EXPECT_EQ(names, (QStringList{".hidden", "Alpha", "alpha2"}));
  EXPECT_FALSE(tree.PathRemoteRead());

  // A name that is not valid UTF-8 is walked like any other.
  const std::string odd = home_ + "bad\xFFname/inner/";
  ASSERT_TRUE(FsCreateFolders(odd));
  tree.Init(odd);
  EXPECT_EQ(tree.SelectedFolderRead(), odd);
}

// A folder made outside after its parent was read is found by the window
// tests' Edit Path and by the probed node below.
TEST_F(FolderTreeTest, FolderAddMakesEveryMissingLevel) {
  TFolderTree tree;
  tree.WaitMs = 10000;
  tree.show();
  tree.Init(home_ + "Alpha/");
  ASSERT_TRUE(tree.FolderAdd("New/Inner"));
  EXPECT_TRUE(FsFolderExists(home_ + "Alpha/New/Inner"));
  EXPECT_EQ(tree.SelectedFolderRead(), home_ + "Alpha/New/Inner/");
}

TEST_F(FolderTreeTest, RenameInPlaceAppliesNameRules) {
  TFolderTree tree;
  tree.WaitMs = 10000;
  tree.show();
  tree.Init(home_ + "alpha2/");
  int fired = 0;
  tree.OnChangeFolder = [&] { ++fired; };

  auto renameTo = [&](const char *name) {
    ASSERT_TRUE(tree.StartRename());
    auto *editor = tree.findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->setText(name);
    QTest::keyClick(editor, Qt::Key_Return);
    QApplication::processEvents();
  };
  renameTo("my.folder");
  EXPECT_TRUE(FsFolderExists(home_ + "my_folder"));
  EXPECT_FALSE(FsFolderExists(home_ + "alpha2"));
  EXPECT_EQ(tree.SelectedFolderRead(), home_ + "my_folder/");
  EXPECT_EQ(fired, 1);

  // A rename onto an existing folder fails and keeps the old name.
  renameTo("Alpha");
  EXPECT_EQ(tree.SelectedFolderRead(), home_ + "my_folder/");
  EXPECT_TRUE(FsFolderExists(home_ + "Alpha/Beta"));

  // A root cannot be renamed.
  tree.SelectedFolderWrite(home_);
  EXPECT_FALSE(tree.StartRename());
}

TEST_F(FolderTreeTest, OnlyChildrenWithSubFoldersKeepTheirExpandButton) {
  FsCreateFolders(home_ + "Files");
  FsClose(FsCreate(home_ + "Files/only-a-file", true));
  FsCreateFolders(home_ + "Linked");
  ASSERT_TRUE(FsCreateLink(home_ + "Alpha", home_ + "Linked/to-alpha"));
  TFolderTree tree;
  tree.WaitMs = 10000;
  tree.Init(home_);
  tree.currentItem()->setExpanded(true);
  auto node = [&](const char *name) { return tree.NodeOfFolder(home_ + name); };
  ASSERT_NE(node("Files"), nullptr);
  ASSERT_TRUE(SpinUntil([&] { return !HasArrow(node("Files")); }));
  EXPECT_FALSE(HasArrow(node("alpha2")));
  EXPECT_FALSE(HasArrow(node(".hidden")));
  EXPECT_TRUE(HasArrow(node("Alpha")));
  EXPECT_TRUE(HasArrow(node("Linked")));  // a link to a folder counts

  // A folder made inside a probed one shows once the node is read again.
  FsCreateFolders(home_ + "alpha2/late");
  tree.SelectedFolderWrite(home_ + "alpha2/late/");
  EXPECT_EQ(tree.SelectedFolderRead(), home_ + "alpha2/late/");
  EXPECT_EQ(node("alpha2")->childCount(), 1);
}

TEST_F(FolderTreeTest, ReadingAgainKeepsTheScrollPositionAndCurrentNode) {
  for (int i = 0; i < 120; ++i) FsCreateFolders(home_ + "d" + std::to_string(1000 + i) + "/x");
  TFolderTree tree;
  tree.WaitMs = 10000;
  tree.resize(300, 200);
  tree.show();
  tree.Init(home_ + "d1060/");
  tree.currentItem()->setExpanded(true);
  QApplication::processEvents();
  tree.verticalScrollBar()->setValue(40);
  const int value = tree.verticalScrollBar()->value();
  ASSERT_EQ(value, 40);
  QTreeWidgetItem *top = tree.itemAt(0, 0);
  QTreeWidgetItem *current = tree.currentItem();

  // A folder appears under the selected node, and one above the screen.
  FsCreateFolders(home_ + "d1060/new");
  FsCreateFolders(home_ + "d1000a");
  tree.ReReadFolder(home_ + "d1060/");
  tree.ReReadFolder(home_);
  ASSERT_TRUE(SpinUntil([&] { return tree.NodeOfFolder(home_ + "d1000a/") != nullptr; }));
  ASSERT_TRUE(SpinUntil([&] { return tree.NodeOfFolder(home_ + "d1060/new/") != nullptr; }));
  EXPECT_EQ(tree.currentItem(), current);
  EXPECT_TRUE(current->isExpanded());
  EXPECT_EQ(tree.itemAt(0, 0), top);
  EXPECT_EQ(tree.verticalScrollBar()->value(), value + 1);  // the row above pushed it down

  // A folder gone under it: the rows on screen stay too.
  FsRemoveFolder(home_ + "d1060/x");
  tree.ReReadFolder(home_ + "d1060/");
  ASSERT_TRUE(SpinUntil([&] { return tree.NodeOfFolder(home_ + "d1060/x/") == nullptr; }));
  EXPECT_EQ(tree.itemAt(0, 0), top);
  EXPECT_EQ(tree.currentItem(), current);
}
