// SPDX-License-Identifier: GPL-3.0-or-later
// The issues window on the offscreen platform: ticking by mouse, sorting,
// swapping, proceeding and closing.
#include "fileops/query_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTest>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "browser/operation_state.h"
#include "compare/compare_form.h"
#include "dialogs/controls_ui.h"
#include "dialogs/event_log.h"
#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "dialogs/options.h"
#include "fileops/query.h"
#include "foundation/file_system.h"
#include "foundation/worker_pool_ui.h"
#include "heartbeat.h"
#include "test_util.h"
#include "viewer/view_window.h"

namespace trovix {
namespace {

constexpr int64_t kBase = 133'000'000'000'000'000;

class QueryFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NiceLabelFormatChar = '|';
    QuerySortColumn = 0;
    IssueList.Clear();
    LogClear();
    FsClearFaults();
    SetOptionUseGradients(true);
    form = new TQueryForm;
    form->OnRefresh = [this] { ++refreshes; };
  }
  void TearDown() override {
    delete form;
    SetMessageBoxAnswerer({});
    FsClearFaults();
    IssueList.Clear();
  }
  void AddIssues(int count) {
    for (int i = 0; i < count; ++i) {
      IssueList.Add(okCopy, "/src/f" + std::to_string(i), "/dst/f" + std::to_string(i),
                    "|b|2Destination NEWER by 0:00:0" + std::to_string(i));
    }
  }
  void Show() {
    form->Compares->WaitMs = 10000;  // the compare lands before the test looks
    ASSERT_TRUE(form->ShowIfIssues());
    QApplication::processEvents();
  }
  void Mouse(QEvent::Type type, int col, int row, Qt::MouseButtons buttons,
             Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget *viewport = form->gIssues->viewport();
    const QPointF pos = form->gIssues->CellRect(col, row).center();
    ASSERT_FALSE(form->gIssues->CellRect(col, row).isEmpty()) << col << "," << row;
    QMouseEvent event(type, pos, viewport->mapToGlobal(pos), Qt::LeftButton, buttons, mods);
    QApplication::sendEvent(viewport, &event);
  }
  void Click(int col, int row, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    Mouse(QEvent::MouseButtonPress, col, row, Qt::LeftButton, mods);
    Mouse(QEvent::MouseButtonRelease, col, row, Qt::NoButton, mods);
  }
  void Drag(int col, int from, int to) {
    Mouse(QEvent::MouseButtonPress, col, from, Qt::LeftButton);
    for (int row = from + 1; row <= to; ++row) Mouse(QEvent::MouseMove, col, row, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, col, to, Qt::NoButton);
  }
  static std::string Ticks() {
    std::string marks;
    for (const OperationIssue &issue : IssueList.Items()) marks += issue.Ticked ? 'x' : '.';
    return marks;
  }
  void Write(const std::string &rel, const std::string &text, int64_t time) {
    std::filesystem::create_directories(std::filesystem::path(root + rel).parent_path());
    std::ofstream(root + rel, std::ios::binary) << text;
    ASSERT_TRUE(FsSetFileTime(root + rel, time));
  }

  TQueryForm *form = nullptr;
  int refreshes = 0;
  test::TempFolder dir{"trovix-qform"};
  std::string root = dir.path();
};

TEST_F(QueryFormTest, TickBoxesRowsAndHeader) {
  EXPECT_FALSE(form->ShowIfIssues());  // nothing to review: stays hidden
  EXPECT_FALSE(form->isVisible());
  AddIssues(3);
  IssueList.Add(okDelete, "/src/locked", "", prCannotDelete);
  Show();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->gIssues->RowCount(), 5);

  Click(0, 2);
  EXPECT_EQ(Ticks(), ".x..");
  Click(0, 0);  // some ticked: all off
  EXPECT_EQ(Ticks(), "....");
  Click(0, 0);  // none ticked: all on
  EXPECT_EQ(Ticks(), "xxxx");
  Click(0, 4);
  EXPECT_EQ(Ticks(), "xxx.");
  Click(2, 1);  // a click on one row in another column ticks nothing
  EXPECT_EQ(Ticks(), "xxx.");
  form->mSelectAllNone->trigger();
  EXPECT_EQ(Ticks(), "....");
}

TEST_F(QueryFormTest, DraggedAndShiftClickedRanges) {
  AddIssues(6);
  IssueList.Change([](std::vector<OperationIssue> &issues) { issues[2].Ticked = true; });
  Show();
  Drag(2, 2, 5);
  EXPECT_EQ(form->gIssues->SelectionTop(), 2);
  EXPECT_EQ(form->gIssues->SelectionBottom(), 5);
  EXPECT_EQ(Ticks(), "......");
  Drag(3, 2, 5);
  EXPECT_EQ(Ticks(), ".xxxx.");
  Click(4, 6);
  EXPECT_EQ(form->gIssues->SelectionTop(), 6);
  Click(4, 4, Qt::ShiftModifier);  // rows 4 to 6, two of them ticked
  EXPECT_EQ(form->gIssues->SelectionTop(), 4);
  EXPECT_EQ(Ticks(), ".xx...");
}

TEST_F(QueryFormTest, SortColumnIsKeptAcrossShowings) {
  IssueList.Add(okDelete, "/b", "", prCannotDelete);
  IssueList.Add(okCopy, "/C", "/x", prReadError);
  IssueList.Add(okCopy, "/a", "/y", prSizeDifferent);
  Show();
  Click(2, 0);
  EXPECT_EQ(QuerySortColumn, 2);
  std::string order;
  for (const OperationIssue &issue : IssueList.Items()) order += issue.Source;
  EXPECT_EQ(order, "/a/b/C");
  Click(1, 0);
  EXPECT_EQ(IssueList.Items().back().Kind, okDelete);
  Click(2, 0);

  form->close();
  EXPECT_EQ(IssueList.Count(), 0);
  AddIssues(2);
  Show();
  EXPECT_EQ(QuerySortColumn, 2);
}

TEST_F(QueryFormTest, SwapNeedsBothPaths) {
  IssueList.Add(okCopy, "/s/read", "", prReadError);
  IssueList.Add(okCopy, "/s/newer", "/d/newer", "|b|2Destination NEWER by 0:00:05");
  Show();
  for (int row : {1, 2}) {
    form->gIssues->SelectRow(row);
    form->mSwapSourceDestination->trigger();
  }
  const std::vector<OperationIssue> issues = IssueList.Items();
  EXPECT_EQ(issues[0].Source + ">" + issues[0].Destination, "/s/read>");  // a read error: nothing
  EXPECT_EQ(issues[1].Source + ">" + issues[1].Destination, "/d/newer>/s/newer");
}

// End to end: a tree copied onto an older copy of itself where some
// destination files are newer; the dialog lists exactly those, and ticking
// one and proceeding overwrites exactly that one.
TEST_F(QueryFormTest, ProceedOverwritesTheTickedNewerDestination) {
  for (const char *name : {"a.txt", "sub/b.txt", "sub/deep/c.txt", "d.txt"}) {
    Write(std::string("src/") + name, std::string("new ") + name, kBase);
    Write(std::string("dst/") + name, "old", kBase - ftDay);
  }
  Write("dst/sub/b.txt", "edited later", kBase + 2 * ftHour);
  Write("dst/d.txt", "edited later too", kBase + 5 * ftDay);
  EXPECT_FALSE(FolderCopy(root + "src/", root + "dst/", false));
  EXPECT_EQ(FileToString(root + "dst/a.txt"), "new a.txt");  // older files were simply overwritten
  EXPECT_EQ(FileToString(root + "dst/sub/deep/c.txt"), "new sub/deep/c.txt");
  Show();
  ASSERT_EQ(form->gIssues->RowCount(), 3);
  Click(2, 0);  // sorted by source
  ASSERT_EQ(IssueList.Items()[0].Source, root + "src/d.txt");
  ASSERT_EQ(IssueList.Items()[1].Source, root + "src/sub/b.txt");
  EXPECT_EQ(IssueList.Items()[1].Problem, "|b|2Destination NEWER by 2:00:00");
  LogClear();
  Click(0, 2);
  form->bProceed->click();
  EXPECT_EQ(FileToString(root + "dst/sub/b.txt"), "new sub/b.txt");
  EXPECT_EQ(FileToString(root + "dst/d.txt"), "edited later too");
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"\t" + root + "src/sub/b.txt copied"}));
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(IssueList.Count(), 0);
  EXPECT_EQ(refreshes, 1);
}

TEST_F(QueryFormTest, ClosingForgetsWhatWasShown) {
  // Proceed with nothing ticked: closes and refreshes only.
  Write("src.txt", "a", kBase);
  Write("dst.txt", "b", kBase + ftDay);
  FileCopy(root + "src.txt", root + "dst.txt", false);
  Show();
  form->bProceed->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(IssueList.Count(), 0);
  EXPECT_EQ(FileToString(root + "dst.txt"), "b");
  EXPECT_TRUE(LogLines().empty());

  // Cancel and the close box: closed, nothing carried out, no refresh.
  AddIssues(2);
  Show();
  Click(0, 0);
  form->bCancel->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(IssueList.Count(), 0);
  AddIssues(2);
  Show();
  // An operation still running records an issue while the window is open:
  // it is not among those reviewed, so closing keeps it.
  IssueList.Add(okDelete, "/late", "", prCannotDelete);
  form->close();
  EXPECT_EQ(refreshes, 1);
  ASSERT_EQ(IssueList.Count(), 1);
  EXPECT_EQ(IssueList.Items()[0].Source, "/late");
  IssueList.Clear();

  // A forced retry that fails again is shown for review straight away.
  FileCopy(root + "src.txt", root + "dst.txt", false);
  Show();
  Click(0, 1);
  FsInjectFault(FsOp::Create, "dst.txt", EIO);
  form->bProceed->click();
  EXPECT_EQ(refreshes, 2);
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(IssueList.Count(), 1);
  EXPECT_EQ(IssueList.Items()[0].Problem, prCreateError);
  EXPECT_EQ(form->gIssues->RowCount(), 2);
  EXPECT_EQ(FileToString(root + "dst.txt"), "b");
}

TEST_F(QueryFormTest, CompareDescribesFilesAndViewOpensThem) {
  Write("a.bin", std::string(3000, '\0'), kBase);
  IssueList.Add(okCopy, root + "a.bin", root + "missing.bin", prSizeDifferent);
  Show();
  EXPECT_TRUE(form->mCompareSourceDestination->isEnabled());
  std::string message;
  int boxes = 0;
  SetMessageBoxAnswerer([&](uint8_t kind, const std::string &text, const std::string &) {
    EXPECT_EQ(kind, mbInformation);
    message = text;
    ++boxes;
    return 0;
  });
  Mouse(QEvent::MouseButtonDblClick, 4, 1, Qt::LeftButton);  // the problem column compares
  EXPECT_EQ(boxes, 1);
  EXPECT_EQ(message, QueryCompareMessage(root + "a.bin", root + "missing.bin"));
  // The source column views the source: not text, so the desktop opens it.
  std::vector<std::string> opened;
  ViewerHooks().openFile = [&](QWidget *, const std::string &path) {
    opened.push_back(path);
    return true;
  };
  Mouse(QEvent::MouseButtonDblClick, 2, 1, Qt::LeftButton);
  EXPECT_EQ(opened, std::vector<std::string>{root + "a.bin"});
  // The destination cannot be read: the viewer says so and no window stays.
  SetMessageBoxAnswerer([&](uint8_t kind, const std::string &text, const std::string &) {
    EXPECT_EQ(kind, mbError);
    message = text;
    return 0;
  });
  form->mViewDestination->trigger();
  EXPECT_EQ(message.rfind("|b|1ERROR: Can not View file", 0), 0u) << message;
  EXPECT_EQ(LockedView, nullptr);
  ViewerHooks().openFile = nullptr;
}

// Two text files open in the compare window; a file that does not answer
// holds neither the window nor the compare, which lands when it does.
TEST_F(QueryFormTest, TextCompareLandsInTheCompareWindowWhenTheFilesAnswer) {
  Write("s/a.txt", "one\ntwo\nthree\n", kBase);
  Write("d/a.txt", "one\r\nTWO\r\n3\r\n", kBase);
  IssueList.Add(okCopy, root + "s/a.txt", root + "d/a.txt", prSizeDifferent);
  Show();
  form->Compares->WaitMs = 20;
  TCompareForm compare;
  TCompareForm *saved = CompareForm;
  CompareForm = &compare;
  int boxes = 0;
  SetMessageBoxAnswerer([&](uint8_t, const std::string &, const std::string &) {
    ++boxes;
    return 0;
  });
  FsInjectDelay(FsDelayOp::Read, "d/a.txt", -1);
  test::Heartbeat beat;
  Mouse(QEvent::MouseButtonDblClick, 4, 1, Qt::LeftButton);
  QElapsedTimer clock;
  clock.start();
  while (FsDelayedCalls() == 0 && clock.elapsed() < 5000) QTest::qWait(5);
  QTest::qWait(50);
  EXPECT_FALSE(compare.isVisible());
  FsReleaseDelays();
  while (!compare.isVisible() && clock.elapsed() < 5000) QTest::qWait(5);
  CompareForm = saved;
  EXPECT_LT(beat.Longest(), test::kAnswerMs);
  EXPECT_EQ(boxes, 0);
  ASSERT_TRUE(compare.isVisible());
  EXPECT_EQ(compare.Memo->toPlainText(), "one\ntwo\nthree\n3");
  EXPECT_EQ(compare.CompareSummary(), "|b2 differing sections: |<" + root + "s/ |2" + root + "d/");
}

}  // namespace
}  // namespace trovix
