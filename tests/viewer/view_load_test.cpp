// SPDX-License-Identifier: GPL-3.0-or-later
// The view window keeps answering while a file is slow to read, hangs, or is
// large: it waits with "Loading ...", drops results no longer wanted, and
// holds back commands that need the whole text until it is in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <chrono>
#include <functional>

#include "dialogs/message_box.h"
#include "foundation/file_system.h"
#include "foundation/settings.h"
#include "heartbeat.h"
#include "image_samples.h"
#include "test_util.h"
#include "viewer/view_window.h"

namespace trovix {
namespace {

using namespace std::chrono_literals;
using test::Heartbeat;
using test::WriteAll;

class ViewLoadTest : public testing::Test {
 protected:
  void SetUp() override {
    INIStore.Clear();
    SetMessageBoxAnswerer([this](uint8_t, const std::string &message, const std::string &) {
      messages.push_back(message);
      return 0;
    });
  }
  void TearDown() override {
    FsClearFaults();
    CloseAllViews();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetMessageBoxAnswerer(nullptr);
    INIStore.Clear();
  }
  // Runs the event loop until done() or the limit; false on the limit.
  static bool SpinUntil(const std::function<bool()> &done, std::chrono::milliseconds limit = 60s) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
      if (clock.elapsed() > limit.count()) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
  }
  static void Spin(std::chrono::milliseconds time) {
    SpinUntil([] { return false; }, time);
  }

  test::TempFolder dir;
  std::vector<std::string> messages;
};

TEST_F(ViewLoadTest, AHungReadWaitsWithLoadingIsClosedOrReusedAndItsLateResultIsDropped) {
  WriteAll(dir / "hung.txt", "never shown\n");
  WriteAll(dir / "other.txt", "other text\n");
  // The first window of the program costs its fonts and styles: not measured.
  ViewFile(dir / "other.txt", true, false, "", nullptr)->close();
  FsInjectDelay(FsDelayOp::Read, "hung", -1);
  Heartbeat beat;
  QPointer<TViewFileForm> view = ViewFile(dir / "hung.txt", true, false, "", nullptr);
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->LoadPending());
  EXPECT_TRUE(view->isVisible());
  EXPECT_NE(view->windowTitle().toStdString().find("hung.txt"), std::string::npos);
  EXPECT_NE(view->StatusText().find("Loading ..."), std::string::npos);
  Spin(150ms);
  // The same file asked again is the window already waiting for it.
  EXPECT_EQ(ViewFile(dir / "hung.txt", false, false, "", nullptr), view);
  // Locked viewing goes on to the next file; the hung one no longer counts.
  EXPECT_EQ(ViewFile(dir / "other.txt", false, false, "", nullptr), view);
  ASSERT_TRUE(SpinUntil([&] { return !view->LoadPending(); }));
  EXPECT_EQ(view->Memo->toPlainText(), "other text\n");
  // A second window waits on the same hung file and is closed by the user.
  QPointer<TViewFileForm> second = ViewFile(dir / "hung.txt", true, false, "", nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_TRUE(second->LoadPending());
  second->close();
  Spin(50ms);
  EXPECT_EQ(second, nullptr);
  EXPECT_LT(beat.Longest(), test::kAnswerMs);
  // The reads return at last: nothing of them lands anywhere.
  FsReleaseDelays();
  Spin(200ms);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->Memo->toPlainText(), "other text\n");
  EXPECT_EQ(view->FileName, dir / "other.txt");
  EXPECT_TRUE(messages.empty());
}

TEST_F(ViewLoadTest, SlowReadsLandAsTheyWouldAtOnceErrorsIncluded) {
  WriteAll(dir / "slow.txt", "slow text\n");
  FsInjectDelay(FsDelayOp::Read, "slow", 150);
  QPointer<TViewFileForm> view = ViewFile(dir / "slow.txt", true, false, "", nullptr);
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->LoadPending());
  ASSERT_TRUE(SpinUntil([&] { return view && !view->LoadPending(); }));
  EXPECT_EQ(view->Mode, vmText);
  EXPECT_EQ(view->Memo->toPlainText(), "slow text\n");
  EXPECT_FALSE(view->Memo->isReadOnly());
  EXPECT_EQ(view->windowTitle().toStdString(), dir / "slow.txt");
  // A file that turns out to be missing: the message, and no window stays.
  FsInjectDelay(FsDelayOp::Read, "gone", 100);
  QPointer<TViewFileForm> gone = ViewFile(dir / "gone.txt", true, false, "", nullptr);
  ASSERT_NE(gone, nullptr);
  ASSERT_TRUE(SpinUntil([&] { return gone.isNull(); }));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("|b|1ERROR: Can not View file", 0), 0u);
  // A slow picture that is damaged ends in the same message.
  WriteAll(dir / "slow.png", "\x89PNG\r\n\x1A\n damaged");
  QPointer<TViewFileForm> picture = ViewFile(dir / "slow.png", true, false, "", nullptr);
  ASSERT_NE(picture, nullptr);
  ASSERT_TRUE(picture->LoadPending());
  ASSERT_TRUE(SpinUntil([&] { return picture.isNull(); }));
  EXPECT_EQ(messages.size(), 2u);
}

TEST_F(ViewLoadTest, ALargeJpegShowsAndTurnsFullWithoutHoldingTheWindow) {
  // 6000 x 4000 = 24 megapixels, shown reduced at first.
  WriteAll(dir / "big.jpg", test::Encode(test::TwoColourImage(6000, 4000), "JPG", 80));
  Heartbeat beat;
  QPointer<TViewFileForm> view = ViewFile(dir / "big.jpg", true, false, "", nullptr);
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(SpinUntil([&] { return !view->LoadPending(); }));
  EXPECT_EQ(view->Mode, vmImage);
  EXPECT_EQ(view->PictureWidth(), 6000);
  view->pbImage->update();
  ASSERT_TRUE(SpinUntil([&] { return view->Picture.Bitmap.width() == 6000; }));
  EXPECT_EQ(view->Picture.Bitmap.height(), 4000);
  EXPECT_FALSE(view->FullDecodePending());
  EXPECT_LT(beat.Longest(), test::kAnswerMs);
  EXPECT_TRUE(messages.empty());
}

// Tools used while the full picture is decoded wait for it instead of
// decoding it again on the window's thread, then run in the order used.
TEST_F(ViewLoadTest, ImageToolsUsedBeforeTheFullPictureWaitForIt) {
  WriteAll(dir / "big.jpg", test::Encode(test::TwoColourImage(3000, 2000), "JPG", 80));
  QPointer<TViewFileForm> view = ViewFile(dir / "big.jpg", true, false, "", nullptr);
  ASSERT_NE(view, nullptr);
  view->pbImage->update();
  ASSERT_TRUE(SpinUntil([&] { return view->FullDecodePending(); }));
  QApplication::clipboard()->clear();
  Heartbeat beat;
  view->bRotateCW->trigger();
  view->mCopyImage->trigger();
  EXPECT_LT(beat.Longest(), test::kAnswerMs);
  EXPECT_TRUE(view->Picture.Bitmap.isNull() || view->Picture.Bitmap.width() < 3000);
  ASSERT_TRUE(SpinUntil([&] { return !view->FullDecodePending(); }));
  EXPECT_EQ(view->Picture.Bitmap.size(), QSize(2000, 3000));
  EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(2000, 3000));
  EXPECT_TRUE(messages.empty());
}

// A tool used while the picture is still being read is kept, shown by a busy
// cursor, and runs once the picture is in; a picture that fails drops it.
TEST_F(ViewLoadTest, AToolUsedWhileThePictureIsReadRunsWhenItIsIn) {
  WriteAll(dir / "slow.png", test::Encode(test::TwoColourImage(40, 30), "PNG"));
  FsInjectDelay(FsDelayOp::Read, "slow", -1);
  QPointer<TViewFileForm> view = ViewFile(dir / "slow.png", true, false, "", nullptr);
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(view->LoadPending());
  view->bRotateCW->trigger();
  EXPECT_EQ(view->pbImage->cursor().shape(), Qt::BusyCursor);
  FsReleaseDelays();
  ASSERT_TRUE(SpinUntil([&] { return !view->LoadPending(); }));
  EXPECT_EQ(view->Picture.Bitmap.size(), QSize(30, 40));
  EXPECT_NE(view->pbImage->cursor().shape(), Qt::BusyCursor);

  WriteAll(dir / "slowbad.png", "\x89PNG\r\n\x1A\n damaged");
  FsInjectDelay(FsDelayOp::Read, "slowbad", 100);
  QPointer<TViewFileForm> bad = ViewFile(dir / "slowbad.png", true, false, "", nullptr);
  ASSERT_NE(bad, nullptr);
  bad->bRotateCW->trigger();
  ASSERT_TRUE(SpinUntil([&] { return bad.isNull(); }));
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(ViewLoadTest, KeysAndAFindDuringALargeHexLoadDoNotWaitForIt) {
  // Zeros with a mark in the last line: a find must see the end of the file.
  std::string data(2 << 20, '\0');
  const std::string mark = "\xCA\xFE\xBA\xBE";
  data.replace(data.size() - 4, 4, mark);
  WriteAll(dir / "big.bin", data);
  QPointer<TViewFileForm> view = ViewFile(dir / "big.bin", true, true, "", nullptr);
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(SpinUntil([&] { return !view->LoadPending(); }));
  ASSERT_TRUE(view->Loading());
  Heartbeat beat;
  QTest::keyClick(view->Memo, Qt::Key_Down);
  QTest::keyClick(view->Memo, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view->Memo->textCursor().blockNumber(), 2);
  EXPECT_TRUE(view->Memo->textCursor().hasSelection());
  // Typing is refused while loading, with a status saying why.
  const int length = view->Memo->document()->characterCount();
  QTest::keyClicks(view->Memo, "x");
  EXPECT_NE(view->StatusText().find("can be changed when all is in"), std::string::npos);
  EXPECT_GE(view->Memo->document()->characterCount(), length);
  EXPECT_FALSE(view->Memo->document()->isModified());
  // A find waits for the rest, then runs.
  view->eTarget->setEditText("CA FE BA BE");
  QTest::keyClick(view->eTarget->lineEdit(), Qt::Key_Return);
  ASSERT_TRUE(view->Loading());
  EXPECT_NE(view->StatusText().find("Searching ..."), std::string::npos);
  EXPECT_LT(beat.Longest(), test::kAnswerMs);
  ASSERT_TRUE(SpinUntil([&] { return view->Memo->textCursor().selectedText() == "CA FE BA BE"; }));
  EXPECT_FALSE(view->Loading());
  EXPECT_EQ(view->Memo->textCursor().blockNumber(), (2 << 20) / 16 - 1);
  EXPECT_FALSE(view->Memo->isReadOnly());
  EXPECT_LT(beat.Longest(), test::kAnswerMs);
}

}  // namespace
}  // namespace trovix
