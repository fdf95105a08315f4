// SPDX-License-Identifier: GPL-3.0-or-later
// The window keeps answering while folders are slow, hung or huge, and
// follows changes made by other programs.
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItem>

#include "browser/folder_tree.h"
#include "browser/folder_watch_ui.h"
#include "browser/status_bar_ui.h"
#include "foundation/platform.h"
#include "heartbeat.h"
#include "main_window_fixture.h"

namespace trovix {
namespace {

using namespace std::chrono_literals;

using test::Heartbeat;
using test::kAnswerMs;

class AsyncWindowTest : public MainWindowFixture {
 protected:
  void TearDown() override {
    FsClearFaults();
    MainWindowFixture::TearDown();
  }
  // Starts the window with the short waits of a real session.
  void StartLive() {
    Start();
    form->Lister->WaitMs = 20;
    form->Lister->NotRespondingMs = 300;
    form->FreeSpace->WaitMs = 20;
    form->FolderTree->WaitMs = 20;
    form->FileCommands->Runner().WaitMs = 20;
    form->FileCommands->Runner().NotRespondingMs = 300;
    form->Watch->ProbeMs = 20;
  }
  // Runs the event loop until done() or a timeout; false on the timeout.
  static bool SpinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = 10s) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
      if (clock.elapsed() > limit.count()) return false;
      QTest::qWait(5);
    }
    return true;
  }
  // Selects folder in the tree from inside the event loop, as a click does.
  void Go(const std::string &folder) {
    QTimer::singleShot(0, form.get(),
                       [this, folder] { form->FolderTree->SelectedFolderWrite(folder); });
  }
  std::string Panel0() {
    form->StatusBar->grab();
    return form->StatusBar->Panel0Text();
  }
};

TEST_F(AsyncWindowTest, AHundredThousandEntriesArriveWithoutHoldingTheWindow) {
  const std::string big = root + "big/";
  std::filesystem::create_directories(big);
  for (int i = 0; i < 100000; ++i) std::ofstream(big + "f" + std::to_string(i));
  StartLive();
  Heartbeat beat;
  Go(big);
  ASSERT_TRUE(
      SpinUntil([&] { return List().ListedFolder == big && !form->Lister->Pending(); }, 60s));
  EXPECT_EQ(List().FileCount(), 100000);
  EXPECT_EQ(List().FileList[0].Name, "f0");  // sorted by name
  EXPECT_LT(beat.Longest(), kAnswerMs);
}

TEST_F(AsyncWindowTest, AHungListingSaysSoLetsTheUserLeaveAndNeverLands) {
  Write(root + "hung/a");
  Write(work + "w");
  StartLive();
  FsInjectDelay(FsDelayOp::List, "hung/", -1);
  Heartbeat beat;
  Go(root + "hung/");
  ASSERT_TRUE(SpinUntil([&] { return form->Lister->Pending(); }));
  EXPECT_EQ(List().FileCount(), 0);  // nothing of the folder left before
  EXPECT_EQ(Panel0().rfind("|4|bListing ...|b  0 items", 0), 0u);
  QTest::qWait(400);
  EXPECT_EQ(Panel0(), "|b|1Not responding: " + root + "hung/");

  // Elsewhere at once, even with a worker stuck.
  Go(work);
  ASSERT_TRUE(SpinUntil([&] { return List().ListedFolder == work; }));
  const int32_t count = List().FileCount();
  // The stuck listing returns later and is dropped.
  FsReleaseDelays();
  QTest::qWait(100);
  EXPECT_EQ(List().ListedFolder, work);
  EXPECT_EQ(List().FileCount(), count);
  EXPECT_EQ(List().TabStates[0].Folder, work);

  // Esc gives a listing up: the folder stays empty and nothing lands.
  FsInjectDelay(FsDelayOp::List, "hung/", -1);
  Go(root + "hung/");
  ASSERT_TRUE(SpinUntil([&] { return form->Lister->Pending(); }));
  QTest::keyClick(form->GFileInfo, Qt::Key_Escape);
  EXPECT_FALSE(form->Lister->Pending());
  FsReleaseDelays();
  QTest::qWait(100);
  EXPECT_EQ(List().FileCount(), 0);
  EXPECT_LT(beat.Longest(), kAnswerMs);
}

TEST_F(AsyncWindowTest, HungTreeProbeAndFreeSpaceShowPlaceholders) {
  std::filesystem::create_directories(work + "slow/inner");
  StartLive();
  form->FolderTree->currentItem()->setExpanded(true);
  QTreeWidgetItem *slow = nullptr;
  ASSERT_TRUE(SpinUntil([&] { return (slow = form->FolderTree->NodeOfFolder(work + "slow/")); }));
  FsInjectDelay(FsDelayOp::List, "slow/", -1);
  FsInjectDelay(FsDelayOp::FreeSpace, "", -1);
  Heartbeat beat;
  QTimer::singleShot(0, form.get(), [slow] { slow->setExpanded(true); });
  ASSERT_TRUE(SpinUntil([&] { return slow->childCount() == 1; }));
  EXPECT_EQ(slow->child(0)->text(0), "...");
  // A folder whose volume does not answer: "?" for the free space.
  Go(work + "slow/");
  ASSERT_TRUE(SpinUntil([&] { return form->Lister->Pending(); }));
  Go(work);
  ASSERT_TRUE(SpinUntil([&] { return List().ListedFolder == work; }));
  const std::string text = Panel0();
  EXPECT_EQ(text.substr(text.size() - 17), "|1Free Space: |b?");
  QTest::qWait(100);
  EXPECT_LT(beat.Longest(), kAnswerMs);
  FsReleaseDelays();
  ASSERT_TRUE(
      SpinUntil([&] { return slow->childCount() == 1 && slow->child(0)->text(0) == "inner"; }));
  ASSERT_TRUE(SpinUntil([&] { return Panel0().back() == ')'; }));
}

TEST_F(AsyncWindowTest, FileCommandsOnAHungFolderLandWhenItAnswers) {
  Write(work + "a.txt");
  Write(work + "sub/x");
  StartLive();
  Heartbeat beat;
  auto waitStuck = [] { return SpinUntil([] { return FsDelayedCalls() == 1; }); };

  // Rename: the window answers, says what hangs, and lands the new name.
  FsInjectDelay(FsDelayOp::Change, "a.txt", -1);
  form->GFileInfo->SetRow(RowOf("a.txt"));
  Mark({"a.txt"});
  typed = {"b.txt"};
  QTest::keyClick(form->GFileInfo, Qt::Key_F2);
  ASSERT_TRUE(waitStuck());
  QTest::qWait(400);
  EXPECT_EQ(Panel0(), "|b|1Not responding: " + work);
  FsReleaseDelays();
  ASSERT_TRUE(SpinUntil([&] { return CurrentName() == "b.txt"; }));
  EXPECT_TRUE(std::filesystem::exists(work + "b.txt"));
  EXPECT_EQ(Panel0().find("Not responding"), std::string::npos);

  // New File whose name does not answer.
  FsInjectDelay(FsDelayOp::Stat, "c.txt", -1);
  typed = {"c.txt"};
  form->FileCommands->bNewFileClick();
  ASSERT_TRUE(waitStuck());
  FsReleaseDelays();
  ASSERT_TRUE(SpinUntil([&] { return CurrentName() == "c.txt"; }));

  // Duplicate whose new name does not answer.
  FsInjectDelay(FsDelayOp::Stat, "c_.txt", -1);
  Mark({"c.txt"});
  form->FileCommands->bDuplicateClick();
  ASSERT_TRUE(waitStuck());
  FsReleaseDelays();
  ASSERT_TRUE(SpinUntil([&] { return CurrentName() == "c_.txt"; }));

  // A delete question whose folder cannot be counted comes without its note.
  FsInjectDelay(FsDelayOp::List, "sub/", -1);
  Mark({"sub"});
  answers = {1};  // No
  form->FileCommands->bDeleteClick(form->GFileInfo);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back(), "|b|4Delete sub?");
  FsReleaseDelays();

  // Trash of a file that does not answer; a rename whose tab went elsewhere
  // meanwhile changes the disk, not the listing.
  FsInjectDelay(FsDelayOp::Stat, "b.txt", -1);
  Mark({"b.txt"});
  form->FileCommands->mTrashClick(form->GFileInfo);
  ASSERT_TRUE(waitStuck());
  FsReleaseDelays();
  ASSERT_TRUE(SpinUntil([&] { return RowOf("b.txt") == 0; }));
  FsInjectDelay(FsDelayOp::Change, "c.txt", -1);
  form->GFileInfo->SetRow(RowOf("c.txt"));
  Mark({"c.txt"});
  typed = {"d.txt"};
  QTest::keyClick(form->GFileInfo, Qt::Key_F2);
  ASSERT_TRUE(waitStuck());
  Go(work + "sub/");
  ASSERT_TRUE(SpinUntil([&] { return List().ListedFolder == work + "sub/"; }));
  FsReleaseDelays();
  ASSERT_TRUE(SpinUntil([&] { return std::filesystem::exists(work + "d.txt"); }));
  QTest::qWait(100);
  EXPECT_EQ(List().ListedFolder, work + "sub/");
  EXPECT_EQ(List().PendingSelectName, "");

  // A folder to watch that does not answer is watched once it does.
  Write(work + "other/x");
  TFolderWatch watch;
  auto watched = [&](const std::string &folder) {
    const std::vector<std::string> all = watch.Folders();
    return std::find(all.begin(), all.end(), folder) != all.end();
  };
  FsInjectDelay(FsDelayOp::Stat, "other", -1);
  watch.SetFolders({work, work + "other/"});
  EXPECT_TRUE(watched(work));
  EXPECT_FALSE(watched(work + "other/"));
  FsReleaseDelays();
  EXPECT_TRUE(SpinUntil([&] { return watched(work + "other/"); }));
  EXPECT_LT(beat.Longest(), kAnswerMs);
}

TEST_F(AsyncWindowTest, MapDriveOnAServerThatDoesNotAnswerLandsWhenItDoes) {
  StartLive();
  form->Commands->WaitMs = 20;
  SetCommandRunner([](const ExternalCommand &) { return 2; });
  FsInjectDelay(FsDelayOp::List, "gvfs", -1);
  typed = {"smb://srv/docs"};
  Heartbeat beat;
  form->bMapDrive->trigger();
  ASSERT_TRUE(SpinUntil([] { return FsDelayedCalls() == 1; }));
  EXPECT_TRUE(form->bMapDrive->isChecked());
  form->bMapDrive->trigger();  // undone while the first click runs
  EXPECT_TRUE(form->bMapDrive->isChecked());
  EXPECT_EQ(prompts.size(), 1u);
  FsReleaseDelays();
  EXPECT_TRUE(SpinUntil([&] { return !messages.empty(); }));
  SetCommandRunner(nullptr);
  EXPECT_EQ(messages, std::vector<std::string>{"|b|1ERROR: Could not Connect to drive"});
  EXPECT_FALSE(form->bMapDrive->isChecked());
  EXPECT_LT(beat.Longest(), kAnswerMs);
}

TEST_F(AsyncWindowTest, AHungVolumeListStartsTheTreeFromWhatIsKnown) {
  std::filesystem::create_directories(work + "sub/inner");
  FsInjectDelay(FsDelayOp::Volumes, "", -1);
  TFolderTree tree;
  tree.WaitMs = 20;
  tree.show();
  Heartbeat beat;
  QTimer::singleShot(0, &tree, [&tree, this] { tree.Init(work); });
  ASSERT_TRUE(SpinUntil([&] { return tree.currentItem() != nullptr; }));
  // Refreshed while it hangs: the same read goes on, no second one waits.
  ASSERT_TRUE(SpinUntil([&] { return FsDelayedCalls() == 1; }));
  tree.Init(work);
  QTest::qWait(30);
  EXPECT_EQ(FsDelayedCalls(), 1);
  // The home folder and "/" meanwhile; the tree works.
  EXPECT_TRUE(tree.RootsPending());
  ASSERT_EQ(tree.topLevelItemCount(), 2);
  EXPECT_EQ(tree.topLevelItem(0)->text(0).toStdString(), root);
  EXPECT_EQ(tree.topLevelItem(1)->text(0), "/");
  EXPECT_EQ(tree.SelectedFolderRead(), work);
  QTreeWidgetItem *current = tree.currentItem();
  current->setExpanded(true);
  ASSERT_TRUE(SpinUntil([&] { return tree.NodeOfFolder(work + "sub/") != nullptr; }));
  QTest::qWait(50);
  EXPECT_LT(beat.Longest(), kAnswerMs);

  // The full list arrives in place, the selection and expanded nodes kept.
  FsReleaseDelays();
  ASSERT_TRUE(SpinUntil([&] { return !tree.RootsPending(); }));
  std::vector<FolderRoot> roots = FolderRoots();
  ASSERT_EQ(tree.topLevelItemCount(), static_cast<int>(roots.size()));
  for (size_t i = 0; i < roots.size(); ++i)
    EXPECT_EQ(tree.topLevelItem(static_cast<int>(i))->text(0).toStdString(), roots[i].text);
  EXPECT_EQ(tree.currentItem(), current);
  EXPECT_TRUE(current->isExpanded());
  EXPECT_EQ(tree.SelectedFolderRead(), work);
}

TEST_F(AsyncWindowTest, AHungSubFolderProbeKeepsTheArrowAndTheWindowAnswering) {
  std::filesystem::create_directories(work + "empty");
  std::filesystem::create_directories(work + "full/inner");
  std::filesystem::create_directories(work + "stuck");
  StartLive();
  FsInjectDelay(FsDelayOp::List, "stuck", -1);
  TFolderTree *tree = form->FolderTree;
  Heartbeat beat;
  QTimer::singleShot(0, form.get(), [tree] { tree->currentItem()->setExpanded(true); });
  auto arrow = [&](const char *name) {
    QTreeWidgetItem *node = tree->NodeOfFolder(work + name);
    return node && node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
  };
  ASSERT_TRUE(SpinUntil([&] { return tree->NodeOfFolder(work + "empty/") && !arrow("empty/"); }));
  ASSERT_TRUE(SpinUntil([&] { return FsDelayedCalls() == 1; }));
  QTest::qWait(50);
  EXPECT_TRUE(arrow("full/"));
  EXPECT_TRUE(arrow("stuck/"));
  EXPECT_LT(beat.Longest(), kAnswerMs);
  FsReleaseDelays();
  EXPECT_TRUE(SpinUntil([&] { return !arrow("stuck/"); }));
}

TEST_F(AsyncWindowTest, ExpandingANodeOfTenThousandFoldersKeepsTheWindowAnswering) {
  // Removing 10,000 folders from a disk takes many seconds; from memory, not.
  const char *oldTmp = std::getenv("TMPDIR");
  const std::string keptTmp = oldTmp ? oldTmp : "";
  if (std::filesystem::is_directory("/dev/shm")) setenv("TMPDIR", "/dev/shm", 1);
  test::TempFolder scratch("trovix-big-node");
  oldTmp ? setenv("TMPDIR", keptTmp.c_str(), 1) : unsetenv("TMPDIR");
  const std::string big = scratch.path();
  constexpr int kFolders = 10000;
  for (int i = 0; i < kFolders; ++i) std::filesystem::create_directory(big + std::to_string(i));
  TFolderTree tree;
  tree.WaitMs = 10000;
  tree.resize(300, 600);
  tree.show();
  tree.Init(big);
  ASSERT_EQ(tree.SelectedFolderRead(), big);
  ASSERT_TRUE(SpinUntil([&] { return !tree.RootsPending() && !tree.ProbesPending(); }));
  QTreeWidgetItem *node = tree.currentItem();
  tree.WaitMs = 20;
  Heartbeat beat;
  QTimer::singleShot(0, &tree, [node] { node->setExpanded(true); });
  ASSERT_TRUE(SpinUntil([&] { return node->childCount() == kFolders; }));
  ASSERT_TRUE(SpinUntil([&] { return !tree.ProbesPending(); }));
  EXPECT_LT(beat.Longest(), kAnswerMs);
  // Every node is whole: its folder, its image and its icon.
  EXPECT_EQ(tree.NodeOfFolder(big + "9999/"), node->child(kFolders - 1));
  EXPECT_EQ(TFolderTree::NodeImage(node->child(0)), fiFolder);
  EXPECT_FALSE(node->child(0)->icon(0).isNull());
}

TEST_F(AsyncWindowTest, ClosingWhileAListingHangsIsPrompt) {
  StartLive();
  FsInjectDelay(FsDelayOp::List, "hung/", -1);
  std::filesystem::create_directories(root + "hung");
  Go(root + "hung/");
  ASSERT_TRUE(SpinUntil([&] { return FsDelayedCalls() == 1; }));
  QElapsedTimer clock;
  clock.start();
  form->close();
  form.reset();
  MainForm = nullptr;
  QApplication::processEvents();
  EXPECT_LT(clock.elapsed(), 1000);
  FsReleaseDelays();  // the worker comes back to a closed window
  QTest::qWait(50);
}

TEST_F(AsyncWindowTest, FoldersMadeOrRemovedOutsideAreFoundAndLeave) {
  std::filesystem::create_directories(work + "gone");
  Start();
  form->FolderTree->currentItem()->setExpanded(true);
  // Made after the node was read: Edit Path and a double click find it.
  std::filesystem::create_directories(work + "typed");
  typed = {work + "typed/"};
  form->mEditPathClick();
  EXPECT_EQ(List().ListedFolder, work + "typed/");
  form->bBackClick();
  std::filesystem::create_directories(work + "clicked");
  ASSERT_TRUE(SpinUntil([&] { return RowOf("clicked") != 0; }, 3s));  // the grid follows
  form->GFileInfo->SetRow(RowOf("clicked"));
  form->bViewFileClick();
  EXPECT_EQ(List().ListedFolder, work + "clicked/");
  form->bBackClick();
  // Removed outside: its node leaves the expanded tree.
  form->FolderTree->currentItem()->setExpanded(true);
  QApplication::processEvents();
  ASSERT_NE(form->FolderTree->NodeOfFolder(work + "gone/"), nullptr);
  std::filesystem::remove(work + "gone");
  EXPECT_TRUE(SpinUntil([&] { return !form->FolderTree->NodeOfFolder(work + "gone/"); }, 3s));
}

TEST_F(AsyncWindowTest, ListedFolderFollowsOutsideChangesKeepingRowMarksAndBurstsCoalesce) {
  for (int i = 0; i < 30; ++i) Write(work + "f" + std::to_string(100 + i));
  Start();
  form->GFileInfo->SetRow(RowOf("f110"));
  Mark({"f105", "f120"});
  int relists = 0;
  QObject::connect(form->Lister, &TFolderLister::finished, [&] { ++relists; });
  QElapsedTimer clock;
  clock.start();
  Write(work + "a-new");
  std::filesystem::remove(work + "f105");
  ASSERT_TRUE(SpinUntil([&] { return RowOf("a-new") != 0; }, 2s));
  EXPECT_LT(clock.elapsed(), 1000);
  EXPECT_EQ(CurrentName(), "f110");
  EXPECT_EQ(List().MarkedCount(), 1);
  EXPECT_TRUE(List().FileList[RowOf("f120") - 1].Selected);

  // 5,000 files in a burst: a few relists, not thousands.
  std::filesystem::create_directories(work + "burst");
  form->FolderTree->SelectedFolderWrite(work + "burst/");
  relists = 0;
  for (int i = 0; i < 5000; ++i) {
    std::ofstream(work + "burst/b" + std::to_string(i)) << "x";
    if (i % 500 == 0) QApplication::processEvents();
  }
  ASSERT_TRUE(SpinUntil([&] { return List().FileCount() == 5000; }, 5s));
  QTest::qWait(500);
  EXPECT_LE(relists, 20);
  // Only what is on screen is watched.
  for (const std::string &folder : form->Watch->Folders())
    EXPECT_TRUE(folder == work + "burst/" || form->FolderTree->NodeOfFolder(folder)) << folder;
}

}  // namespace
}  // namespace trovix
