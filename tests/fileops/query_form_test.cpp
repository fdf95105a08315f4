// The issues window on the offscreen platform: ticking by mouse, sorting,
// swapping, proceeding and closing.
#include "fileops/query_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>

#include "browser/operation_state.h"
#include "dialogs/controls_ui.h"
#include "dialogs/event_log.h"
#include "dialogs/markup.h"
#include "dialogs/markup_ui.h"
#include "dialogs/message_box.h"
#include "dialogs/message_box_form.h"
#include "fileops/query.h"
#include "foundation/file_system.h"
#include "foundation/settings.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;
constexpr int64_t kBase = 133'000'000'000'000'000;

class QueryFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NiceLabelFormatChar = '|';
    IssueList.Clear();
    LogClear();
    FsClearFaults();
    INIWriteNum("Grtadient", 1);
    root = (fs::temp_directory_path() / ("trovix-qform-" + std::to_string(std::random_device()())))
               .string() + "/";
    fs::create_directories(root);
    form = new TQueryForm;
    form->OnRefresh = [this] { ++refreshes; };
  }
  void TearDown() override {
    delete form;
    SetMessageBoxAnswerer({});
    FsClearFaults();
    IssueList.Clear();
    fs::remove_all(root);
  }
  void AddIssues(int count) {
    for (int i = 0; i < count; ++i) {
      IssueList.Add(okCopy, "/src/f" + std::to_string(i), "/dst/f" + std::to_string(i),
                    "|b|2Destination NEWER by 0:00:0" + std::to_string(i));
    }
  }
  void Show() {
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
  QImage HeaderImage(int col) {
    form->gIssues->viewport()->repaint();
    return form->gIssues->viewport()->grab(form->gIssues->CellRect(col, 0)).toImage();
  }
  void Write(const std::string &rel, const std::string &text, int64_t time) {
    std::ofstream(root + rel, std::ios::binary) << text;
    ASSERT_TRUE(FsSetFileTime(root + rel, time));
  }

  TQueryForm *form = nullptr;
  int refreshes = 0;
  std::string root;
};

TEST_F(QueryFormTest, TickBoxesRowsAndHeader) {
  EXPECT_FALSE(form->ShowIfIssues());  // nothing to review: stays hidden
  EXPECT_FALSE(form->isVisible());
  AddIssues(3);
  IssueList.Add(okDelete, "/src/locked", "", prCannotDelete);
  Show();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->lMessage->Caption(), "|1|b|| Problems / Issues");
  EXPECT_EQ(form->gIssues->RowCount(), 5);
  EXPECT_EQ(form->gIssues->ColumnWidth(3), 264);
  OperationIssue issue;
  ASSERT_TRUE(IssueList.Get(0, issue));
  EXPECT_EQ(QueryCellText(issue, qcOperation), "Copy");
  ASSERT_TRUE(IssueList.Get(3, issue));
  EXPECT_EQ(QueryCellText(issue, qcOperation), "Delete");

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

  // The tick is painted: green pixels in the tick cell of a ticked row only.
  Click(0, 1);
  const QImage image = form->gIssues->viewport()->grab().toImage();
  auto greens = [&](int row) {
    int count = 0;
    const QRect cell = form->gIssues->CellRect(0, row);
    for (int y = cell.top(); y <= cell.bottom(); ++y)
      for (int x = cell.left(); x <= cell.right(); ++x)
        count += image.pixelColor(x, y).green() > 90 && image.pixelColor(x, y).red() < 60;
    return count;
  };
  EXPECT_GT(greens(1), 5);
  EXPECT_EQ(greens(2) + greens(0), 0);
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
  QuerySortColumn = 0;
  IssueList.Add(okDelete, "/b", "", prCannotDelete);
  IssueList.Add(okCopy, "/C", "/x", prReadError);
  IssueList.Add(okCopy, "/a", "/y", prSizeDifferent);
  Show();
  const QImage plain = HeaderImage(2);
  Click(2, 0);
  EXPECT_EQ(QuerySortColumn, 2);
  std::string order;
  for (const OperationIssue &issue : IssueList.Items()) order += issue.Source;
  EXPECT_EQ(order, "/a/b/C");
  const QImage underlined = HeaderImage(2);
  EXPECT_NE(plain, underlined);
  Click(1, 0);
  EXPECT_EQ(IssueList.Items().back().Kind, okDelete);
  EXPECT_EQ(HeaderImage(2), plain);
  Click(2, 0);

  form->close();
  EXPECT_EQ(IssueList.Count(), 0);
  AddIssues(2);
  Show();
  EXPECT_EQ(HeaderImage(2), underlined);
}

TEST_F(QueryFormTest, SwapNeedsBothPaths) {
  IssueList.Add(okCopy, "/s/read", "", prReadError);
  IssueList.Add(okCopy, "/s/newer", "/d/newer", "|b|2Destination NEWER by 0:00:05");
  Show();
  form->gIssues->SelectRow(1);
  form->mSwapSourceDestination->trigger();
  OperationIssue issue;
  ASSERT_TRUE(IssueList.Get(0, issue));
  EXPECT_EQ(issue.Source, "/s/read");
  EXPECT_EQ(issue.Destination, "");
  form->gIssues->SelectRow(2);
  form->mSwapSourceDestination->trigger();
  ASSERT_TRUE(IssueList.Get(1, issue));
  EXPECT_EQ(issue.Source, "/d/newer");
  EXPECT_EQ(issue.Destination, "/s/newer");
  EXPECT_EQ(issue.Kind, okCopy);
}

TEST_F(QueryFormTest, ProceedOverwritesTheTickedNewerDestination) {
  Write("src.txt", "the source", kBase);
  Write("dst.txt", "newer", kBase + 2 * ftHour);
  Write("keep.txt", "the source", kBase);
  Write("keep-dst.txt", "newer", kBase + 2 * ftHour);
  EXPECT_FALSE(FileCopy(root + "src.txt", root + "dst.txt", false));
  EXPECT_FALSE(FileCopy(root + "keep.txt", root + "keep-dst.txt", false));
  ASSERT_EQ(IssueList.Count(), 2);
  EXPECT_EQ(IssueList.Items()[0].Problem, "|b|2Destination NEWER by 2:00:00");
  Show();
  Click(0, 1);
  form->bProceed->click();
  EXPECT_EQ(FileToString(root + "dst.txt"), "the source");
  EXPECT_EQ(FileToString(root + "keep-dst.txt"), "newer");
  EXPECT_EQ(LogLines(), (std::vector<std::string>{"\t" + root + "src.txt copied"}));
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

TEST_F(QueryFormTest, CompareDescribesFilesViewingWaitsForTheViewer) {
  Write("a.bin", std::string(3000, '\0'), kBase);
  IssueList.Add(okCopy, root + "a.bin", root + "missing.bin", prSizeDifferent);
  Show();
  EXPECT_FALSE(form->mViewSource->isEnabled());
  EXPECT_FALSE(form->mViewDestination->isEnabled());
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
  EXPECT_NE(message.find("|t3,000 bytes|n"), std::string::npos) << message;
  EXPECT_NE(message.find("|bDestination: " + root + "missing.bin|b|n|t|b|1CAN NOT BE OPENED"),
            std::string::npos);
  Mouse(QEvent::MouseButtonDblClick, 2, 1, Qt::LeftButton);  // viewing: nothing yet
  EXPECT_EQ(boxes, 1);
}

TEST_F(QueryFormTest, ToolbarGradientFollowsTheOption) {
  AddIssues(1);
  Show();
  const int h = form->pbToolbar->height();
  ASSERT_GT(h, 10);
  QImage image = form->pbToolbar->grab().toImage();
  EXPECT_NEAR(image.pixelColor(2, 0).red(), DialogFaceColour().red(), 2);  // face at the top
  EXPECT_NE(image.pixelColor(2, h - 3), image.pixelColor(2, 0));
  INIWriteNum("Grtadient", 0);
  image = form->pbToolbar->grab().toImage();
  EXPECT_EQ(image.pixelColor(2, h - 3), image.pixelColor(2, 0));
}

// Run with --gtest_also_run_disabled_tests to write /tmp/shots/issues.png.
TEST_F(QueryFormTest, DISABLED_Screenshot) {
  Write("notes.txt", "notes\r\n", kBase);
  Write("notes-dst.txt", "notes, edited\r\n", kBase + 3 * ftDay + 4 * ftHour + 306 * ftSecond);
  FileCopy(root + "notes.txt", root + "notes-dst.txt", false);
  IssueList.Add(okCopy, "/home/ann/Projects/report.odt", "/media/backup/Projects/report.odt",
                "|b|1Destination Size Different");
  IssueList.Add(okCopy, "/home/ann/Projects/data.csv", "", prReadError);
  IssueList.Add(okCopy, "/home/ann/Photos/2023/beach.jpg", "/media/backup/Photos/2023/beach.jpg",
                "|b|2Destination OLDER by 0:16:39");
  IssueList.Add(okCopy, "/home/ann/Music/", "/media/backup/Music/", prCreateError);
  IssueList.Add(okCopy, "", "/media/backup/Videos/trip.mp4", prWriteError);
  IssueList.Add(okDelete, "/home/ann/old/locked.txt", "", prCannotDelete);
  IssueList.Add(okDelete, "/home/ann/old/", "", prRemoveFolder);
  IssueList.Add(okCopy, "/home/ann/same.txt", "/home/ann/same.txt", prIdentical);
  Show();
  Click(0, 1);
  Click(0, 3);
  form->gIssues->SelectRow(3);
  QApplication::processEvents();
  QDir().mkpath("/tmp/shots");
  EXPECT_TRUE(form->grab().save("/tmp/shots/issues.png"));
}

}  // namespace
}  // namespace trovix
