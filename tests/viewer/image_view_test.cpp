// SPDX-License-Identifier: GPL-3.0-or-later
// The view window's image and multimedia modes on the offscreen platform:
// opening, caption, rotate and zoom, clipboard, printing, full screen, and
// damaged or hostile files that must end in a message.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMediaPlayer>
#include <QMimeData>
#include <QPointer>
#include <QPrinter>
#include <QTest>

#include "dialogs/message_box.h"
#include "foundation/settings.h"
#include "image_samples.h"
#include "test_util.h"
#include "viewer/view_window.h"

namespace trovix {
namespace {

using test::Encode;
using test::TwoColourImage;
using test::WriteAll;

class ImageViewTest : public testing::Test {
 protected:
  void SetUp() override {
    INIStore.Clear();
    SetMessageBoxAnswerer([this](uint8_t, const std::string &message, const std::string &) {
      messages.push_back(message);
      return 0;
    });
    ViewerHooks().openFile = [](QWidget *, const std::string &) { return true; };
  }
  void TearDown() override {
    CloseAllViews();
    SetMessageBoxAnswerer(nullptr);
    ViewerHooks().openFile = nullptr;
    ViewerHooks().lockedViewing = nullptr;
    INIStore.Clear();
  }
  TViewFileForm *Open(const std::string &name, const std::string &bytes) {
    WriteAll(dir / name, bytes);
    QPointer<TViewFileForm> form = ViewFile(dir / name, true, false, "", nullptr);
    while (form && form->LoadPending()) QCoreApplication::processEvents();
    return form;
  }
  bool Failed() const {
    return !messages.empty() && messages.back().rfind("|b|1ERROR: Can not View file", 0) == 0;
  }

  test::TempFolder dir;
  std::vector<std::string> messages;
};

TEST_F(ImageViewTest, PngOpensThenRotateAndZoomIn) {
  TViewFileForm *form = Open("two.png", Encode(TwoColourImage(40, 30), "PNG"));
  ASSERT_NE(nullptr, form);
  EXPECT_EQ(vmImage, form->Mode);
  EXPECT_TRUE(form->pImage->isVisible());
  EXPECT_FALSE(form->pMemo->isVisible());
  EXPECT_EQ(QString::fromStdString(dir / "two.png") + "  (40 x 30)  100%", form->windowTitle());

  form->bRotateCW->trigger();
  form->bZoomIn->trigger();
  EXPECT_EQ(QString::fromStdString(dir / "two.png") + "  (30 x 40)  125%", form->windowTitle());
  // Turned clockwise: the red left half is now the top.
  EXPECT_EQ(qRgb(255, 0, 0), form->Picture.Bitmap.pixel(15, 0));
  EXPECT_EQ(qRgb(0, 0, 255), form->Picture.Bitmap.pixel(15, 39));
  const QImage shown = form->pbImage->grab().toImage();
  EXPECT_EQ(qRgb(255, 0, 0), shown.pixel(10, 5));
  ASSERT_GE(shown.height(), 36);
  EXPECT_EQ(qRgb(0, 0, 255), shown.pixel(10, 35));

  // The wheel zooms out again; 1:1 returns to 100.
  QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(form, &wheel);
  EXPECT_EQ(100, form->Zoom);
  form->ZoomInClick();
  form->b1to1->trigger();
  EXPECT_EQ(100, form->Zoom);
  EXPECT_TRUE(messages.empty());
}

TEST_F(ImageViewTest, ClipboardPasteAndCopy) {
  TViewFileForm *form = Open("a.gif", test::MakeGif(6, 4));
  ASSERT_NE(nullptr, form);
  QApplication::clipboard()->clear();
  form->bPasteImage->trigger();
  ASSERT_EQ(1u, messages.size());
  EXPECT_EQ("|b|1ERROR: Clipboard does not contain an image", messages[0]);
  EXPECT_EQ(6, form->Picture.Width());

  QApplication::clipboard()->setImage(TwoColourImage(9, 7));
  form->mPasteImage->trigger();
  EXPECT_EQ(9, form->Picture.Width());
  EXPECT_EQ(QString::fromStdString(dir / "a.gif") + "  (9 x 7)  100%", form->windowTitle());
  form->mHolesClick(1);
  EXPECT_EQ(qRgb(255, 0, 0), form->Picture.Bitmap.pixel(8, 6));
  form->bCopyImage->trigger();
  EXPECT_EQ(QSize(9, 7), QApplication::clipboard()->image().size());
}

TEST_F(ImageViewTest, PrintsOnePageTurningALandscapePicture) {
  TViewFileForm *form = Open("wide.png", Encode(TwoColourImage(60, 20), "PNG"));
  ASSERT_NE(nullptr, form);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir / "out.pdf"));
  printer.setPageOrientation(QPageLayout::Portrait);
  ASSERT_TRUE(form->PrintImage(printer));
  EXPECT_EQ(20, form->Picture.Width());  // turned to the page's shape
  const std::string pdf = test::ReadAll(dir / "out.pdf");
  int pages = 0;
  for (size_t at = pdf.find("/Type /Page"); at != std::string::npos;
       at = pdf.find("/Type /Page", at + 1))
    if (pdf.compare(at, 12, "/Type /Pages") != 0) ++pages;
  EXPECT_EQ(1, pages);
}

TEST_F(ImageViewTest, FullScreenAndBackRestoresTheWindow) {
  std::vector<bool> locked;
  ViewerHooks().lockedViewing = [&locked](bool down) { locked.push_back(down); };
  TViewFileForm *form = Open("p.png", Encode(TwoColourImage(50, 40), "PNG"));
  ASSERT_NE(nullptr, form);
  form->setGeometry(30, 40, 300, 250);
  QTest::qWait(10);
  const QRect before = form->geometry();
  form->bFullScreen->trigger();
  EXPECT_TRUE(form->FullScreen());
  EXPECT_FALSE(form->ToolBarImage->isVisible());
  QTest::mouseDClick(form->pbImage, Qt::LeftButton);
  EXPECT_FALSE(form->FullScreen());
  EXPECT_TRUE(form->ToolBarImage->isVisible());
  EXPECT_EQ(before.size(), form->geometry().size());
  EXPECT_EQ((std::vector<bool>{true, false}), locked);
}

TEST_F(ImageViewTest, DamagedAndHostileFilesEndInAMessage) {
  const std::string jpeg = Encode(TwoColourImage(64, 64), "JPG");
  std::string png = Encode(TwoColourImage(32, 32), "PNG");
  png[20] ^= 1;
  std::string icon = Encode(TwoColourImage(16, 16), "ICO");
  ASSERT_GT(icon.size(), 22u + 8);
  const std::string hugeIcon = icon.substr(0, 22) + test::PngClaiming(100000, 100000);
  // The icon's directory entry must point at the PNG that follows it.
  std::string fixedIcon = hugeIcon;
  const uint32_t size = static_cast<uint32_t>(hugeIcon.size() - 22);
  for (int i = 0; i < 4; ++i) fixedIcon[14 + i] = static_cast<char>(size >> (8 * i));
  const std::pair<const char *, std::string> cases[] = {
      {"cut.jpg", jpeg.substr(0, jpeg.size() / 2)},
      {"crc.png", png},
      {"none.gif", test::MakeGif(4, 4, -1, false)},
      {"huge.bmp", test::BmpClaiming(100000, 100000)},
      {"huge2.bmp", test::BmpClaiming(30000, -30000)},
      {"huge.ico", fixedIcon},
      {"empty.png", ""},
  };
  for (const auto &[name, bytes] : cases) {
    messages.clear();
    EXPECT_EQ(nullptr, Open(name, bytes)) << name;
    EXPECT_TRUE(Failed()) << name;
  }
  // A sound icon opens.
  messages.clear();
  TViewFileForm *form = Open("fine.ico", icon);
  ASSERT_NE(nullptr, form);
  EXPECT_EQ(16, form->Picture.Width());
}

TEST_F(ImageViewTest, LargeJpegShowsAPreviewThenTheFullPicture) {
  TViewFileForm *form = Open("big.jpg", Encode(TwoColourImage(3200, 2400), "JPG", 80));
  ASSERT_NE(nullptr, form);
  EXPECT_EQ(3200, form->PictureWidth());
  EXPECT_LT(form->Zoom, 50);
  form->EnsureFullPicture();
  EXPECT_EQ(3200, form->Picture.Bitmap.width());
  EXPECT_EQ(2400, form->Picture.Bitmap.height());
}

TEST_F(ImageViewTest, MediaPlaysPausesAndStopsOnReuse) {
  TViewFileForm *form = Open("tone.wav", test::MakeWav());
  ASSERT_NE(nullptr, form);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(vmMedia, form->Mode);
  ASSERT_NE(nullptr, form->MediaPlayer);
  EXPECT_TRUE(form->bPause->isVisible());
  EXPECT_FALSE(form->pbImage->isVisible());
  EXPECT_EQ(QString::fromStdString(dir / "tone.wav"), form->windowTitle());
  form->bPause->trigger();
  EXPECT_EQ(QMediaPlayer::PausedState, form->MediaPlayer->playbackState());
  // Locked viewing of a picture closes the player.
  WriteAll(dir / "next.png", Encode(TwoColourImage(8, 8), "PNG"));
  EXPECT_EQ(form, ViewFile(dir / "next.png", false, false, "", nullptr));
  while (form->LoadPending()) QCoreApplication::processEvents();
  EXPECT_EQ(nullptr, form->MediaPlayer);
  EXPECT_EQ(vmImage, form->Mode);
  EXPECT_FALSE(form->bPause->isVisible());
}

TEST_F(ImageViewTest, MediaThatCannotPlayEndsInAMessage) {
  TViewFileForm *form = Open("noise.mp3", std::string(4000, '\x5A'));
  EXPECT_TRUE(Failed());
  if (form) {
    EXPECT_NE(vmMedia, form->Mode);
    EXPECT_EQ(nullptr, form->MediaPlayer);
  }
}

}  // namespace
}  // namespace trovix
