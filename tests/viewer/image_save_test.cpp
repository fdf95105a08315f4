// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QPointer>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "browser/folder_tree_ui.h"
#include "dialogs/controls_ui.h"
#include "dialogs/message_box.h"
#include "foundation/file_system.h"
#include "foundation/settings.h"
#include "test_util.h"
#include "viewer/file_save_form.h"
#include "viewer/image_encode.h"
#include "viewer/image_save_ui.h"
#include "viewer/metafile.h"
#include "viewer/view_window.h"

namespace trovix {
namespace {

// What a command prints on its standard output, and whether it exited 0.
std::string Shell(const std::string &command, bool *ok = nullptr) {
  std::string out;
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  const int status = pclose(pipe);
  if (ok) *ok = status == 0;
  return out;
}

// A picture with a distinct colour in each corner over a gradient.
TPicture Photo(int width, int height) {
  TPicture picture;
  picture.Bitmap = QImage(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      picture.Bitmap.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, 128));
  picture.Bitmap.setPixel(0, 0, qRgb(255, 0, 0));
  picture.Bitmap.setPixel(width - 1, 0, qRgb(0, 255, 0));
  picture.Bitmap.setPixel(0, height - 1, qRgb(0, 0, 255));
  picture.Bitmap.setPixel(width - 1, height - 1, qRgb(255, 255, 0));
  return picture;
}

QImage Decode(const std::string &path, QByteArray *format = nullptr) {
  if (format) *format = QImageReader::imageFormat(QString::fromStdString(path));
  return QImageReader(QString::fromStdString(path)).read();
}

class ImageSaveTest : public testing::Test {
 protected:
  void SetUp() override {
    INIStore.Clear();
    SetMessageBoxAnswerer([this](uint8_t, const std::string &message, const std::string &) {
      messages.push_back(message);
      return 0;  // Yes, OK
    });
    SetFileSaveAnswerer([this](TFileSaveRequest &request) {
      asked = request;
      request.folder = dir.path();
      if (!name.empty()) request.name = name;
      if (type >= 0) request.type = type;
      request.originalSize = originalSize;
      request.sizeHeight = height;
      request.gifTransparency = corner;
      return fsrSave;
    });
    ViewerHooks().listAgainSelecting = [this](const std::string &n) { selected.push_back(n); };
  }
  void TearDown() override {
    FsClearFaults();
    SetFileSaveAnswerer(nullptr);
    SetMessageBoxAnswerer(nullptr);
    ViewerHooks().listAgainSelecting = nullptr;
    INIStore.Clear();
  }
  bool Save(const TPicture &picture, const std::string &viewed = "photo.png") {
    messages.clear();
    selected.clear();
    return SaveImageFile(nullptr, picture, dir / viewed);
  }
  int Files() const {
    int n = 0;
    for (auto &e : std::filesystem::directory_iterator(dir.path())) n += e.is_regular_file();
    return n;
  }

  test::TempFolder dir;
  std::vector<std::string> messages;
  std::vector<std::string> selected;
  TFileSaveRequest asked;
  std::string name;
  int type = -1;
  bool originalSize = true;
  int height = 256;
  int corner = 0;
};

TEST_F(ImageSaveTest, DialogChoicesNamesAndSizes) {
  // The type follows the viewed file; the name loses its extension; the
  // stored options fill the request.
  INIWriteNum("JPGCompression", 55);
  EXPECT_TRUE(Save(Photo(400, 300), "photo.png"));
  EXPECT_EQ(asked.type, itPng);
  EXPECT_EQ(asked.name, "photo");
  EXPECT_EQ(asked.jpgCompression, 55);
  ASSERT_EQ(selected, std::vector<std::string>{"photo.png"});
  Save(Photo(4, 4), "x.JPEG");
  EXPECT_EQ(asked.type, itJpeg);
  Save(Photo(4, 4), "x.txt");
  EXPECT_EQ(asked.type, -1);

  // A name with dots gets the extension in place of everything from the
  // first dot; the size follows the height.
  name = "a.b";
  type = itPng;
  originalSize = false;
  height = 150;
  EXPECT_TRUE(Save(Photo(400, 300)));
  EXPECT_EQ(selected, std::vector<std::string>{"a.png"});
  bool ok = false;
  Shell("pngcheck -q '" + dir / "a.png" + "'", &ok);
  EXPECT_TRUE(ok);
  QImage png = Decode(dir / "a.png");
  EXPECT_EQ(png.size(), QSize(200, 150));
  EXPECT_EQ(INIReadNum("SizeHeight", 0), 150);  // the choice is stored

  // An icon is 32 x 32 whatever the size options; the colour of (0, 0) is
  // transparent.
  name = "icon";
  type = itIco;
  EXPECT_TRUE(Save(Photo(400, 300)));
  QByteArray format;
  QImage icon = Decode(dir / "icon.ico", &format);
  EXPECT_EQ(format, "ico");
  ASSERT_EQ(icon.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(icon.pixel(16, 16)), 255);

  // A height that would make the picture too wide is refused.
  name = "wide";
  type = itBmp;
  height = 999999;
  EXPECT_FALSE(Save(Photo(400, 3)));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("larger than"), std::string::npos);
  EXPECT_FALSE(FsExists(dir / "wide.bmp"));
}

TEST_F(ImageSaveTest, ViewedIconSavedAsIconKeepsItsTransparentPixels) {
  // Transparent, with a red square in the middle and an opaque blue top-left
  // corner, so the corner colour alone would not clear the background.
  QImage art(64, 64, QImage::Format_ARGB32);
  art.fill(Qt::transparent);
  QPainter paint(&art);
  paint.fillRect(16, 16, 32, 32, Qt::red);
  paint.fillRect(0, 0, 4, 4, Qt::blue);
  paint.end();
  ASSERT_TRUE(art.save(QString::fromStdString(dir / "art.ico"), "ICO"));
  QPointer<TViewFileForm> form = ViewFile(dir / "art.ico", true, false, "", nullptr);
  while (form && form->LoadPending()) QCoreApplication::processEvents();
  ASSERT_NE(form, nullptr);
  type = itIco;
  name = "out";
  EXPECT_TRUE(Save(form->Picture, "art.ico"));
  CloseAllViews();
  const QImage icon = Decode(dir / "out.ico").convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(icon.size(), QSize(32, 32));
  EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);   // the corner's colour
  EXPECT_EQ(qAlpha(icon.pixel(24, 4)), 0);  // the icon's own transparent part
  EXPECT_EQ(icon.pixel(16, 16), qRgb(255, 0, 0));
}

TEST_F(ImageSaveTest, EveryBitmapTypeReadsBackWithItsPixels) {
  const TPicture picture = Photo(64, 48);
  const QImage &source = picture.Bitmap;
  type = itBmp;
  name = "p";
  ASSERT_TRUE(Save(picture));
  QByteArray format;
  QImage bmp = Decode(dir / "p.bmp", &format);
  EXPECT_EQ(format, "bmp");
  EXPECT_EQ(bmp.convertToFormat(QImage::Format_RGB32), source);

  type = itPng;
  ASSERT_TRUE(Save(picture));
  EXPECT_EQ(Decode(dir / "p.png").convertToFormat(QImage::Format_RGB32), source);

  // JPEG through djpeg: the size, and colours close to the source.
  INIWriteNum("JPGCompression", 95);
  type = itJpg;
  ASSERT_TRUE(Save(picture));
  bool ok = false;
  const std::string ppm = Shell("djpeg -pnm '" + dir / "p.jpg" + "'", &ok);
  ASSERT_TRUE(ok);
  QImage jpeg;
  ASSERT_TRUE(jpeg.loadFromData(reinterpret_cast<const uchar *>(ppm.data()),
                                static_cast<int>(ppm.size()), "PPM"));
  ASSERT_EQ(jpeg.size(), source.size());
  EXPECT_LT(std::abs(qRed(jpeg.pixel(32, 24)) - qRed(source.pixel(32, 24))), 12);
  EXPECT_LT(std::abs(qGreen(jpeg.pixel(32, 24)) - qGreen(source.pixel(32, 24))), 12);
  // A lower quality makes a smaller file.
  const auto fine = std::filesystem::file_size(dir / "p.jpg");
  INIWriteNum("JPGCompression", 10);
  ASSERT_TRUE(Save(picture));
  EXPECT_LT(std::filesystem::file_size(dir / "p.jpg"), fine);
}

TEST_F(ImageSaveTest, GifCornersAndPalette) {
  // Few colours come back exactly; "Top Right" makes exactly the pixels of
  // that corner's colour transparent.
  TPicture picture;
  picture.Bitmap = QImage(40, 30, QImage::Format_RGB32);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      picture.Bitmap.setPixel(
          x, y, (x + y) % 3 == 0 ? qRgb(10, 200, 30) : qRgb(x % 8 * 30, y % 8 * 30, 90));
  picture.Bitmap.setPixel(39, 0, qRgb(250, 250, 250));
  picture.Bitmap.setPixel(5, 5, qRgb(250, 250, 250));
  picture.Bitmap.setPixel(6, 5, qRgb(250, 250, 251));  // near, but not that colour
  type = itGif;
  name = "g";
  corner = gcTopRight;
  ASSERT_TRUE(Save(picture));
  const std::string text = Shell("giftext '" + dir / "g.gif" + "'");
  EXPECT_NE(text.find("Transparency on: yes"), std::string::npos);
  QImage gif = Decode(dir / "g.gif").convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(gif.size(), QSize(40, 30));
  int clear = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) clear += qAlpha(gif.pixel(x, y)) == 0;
  EXPECT_EQ(clear, 2);
  EXPECT_EQ(qAlpha(gif.pixel(5, 5)), 0);
  EXPECT_EQ(gif.pixel(6, 5), qRgb(250, 250, 251));
  EXPECT_EQ(gif.pixel(3, 0), qRgb(10, 200, 30));
  EXPECT_EQ(gif.pixel(1, 3), qRgb(30, 90, 90));

  corner = gcNone;
  ASSERT_TRUE(Save(picture));
  EXPECT_EQ(Shell("giftext '" + dir / "g.gif" + "'").find("Transparency"), std::string::npos);
  EXPECT_EQ(Decode(dir / "g.gif").convertToFormat(QImage::Format_RGB32).pixel(39, 0),
            qRgb(250, 250, 250));

  // A large picture chooses its palette from a sample that misses the corner:
  // the transparent colour is still kept.
  corner = gcTopRight;
  ASSERT_TRUE(Save(Photo(401, 300)));
  QImage large = Decode(dir / "g.gif").convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(qAlpha(large.pixel(400, 0)), 0);
  EXPECT_EQ(qAlpha(large.pixel(399, 0)), 255);
  corner = gcNone;

  // A photograph's many colours: a full palette, dithered, close to the source.
  const TPicture photo = Photo(200, 150);
  ASSERT_TRUE(Save(photo));
  QImage reduced = Decode(dir / "g.gif").convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(reduced.size(), QSize(200, 150));
  double squares = 0;
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 200; ++x) {
      const QRgb a = reduced.pixel(x, y), b = photo.Bitmap.pixel(x, y);
      for (int d : {qRed(a) - qRed(b), qGreen(a) - qGreen(b), qBlue(a) - qBlue(b)})
        squares += d * d;
    }
  const double psnr = 10 * std::log10(255.0 * 255.0 / (squares / (200 * 150 * 3)));
  EXPECT_GT(psnr, 32.0);
}

TEST_F(ImageSaveTest, MetafileTypeFromBitmapWritesNothingButRefreshes) {
  type = itWmf;
  name = "m";
  EXPECT_TRUE(Save(Photo(10, 10)));
  EXPECT_EQ(messages, std::vector<std::string>{
                          "|b|1ERROR: Can not convert a bitmap to vector metafile (yet)"});
  EXPECT_EQ(selected, std::vector<std::string>{"m.wmf"});
  EXPECT_EQ(Files(), 0);

  // From a metafile: its own format keeps its bytes, the other one is
  // converted, and a bitmap type shows it on white at the target size.
  TPicture meta;
  meta.IsMetafile = true;
  std::string error;
  ASSERT_TRUE(ParseMetafile(test::ReadAll(TROVIX_TEST_DATA "/metafiles/shapes_inkscape.emf"),
                            meta.Metafile, error));
  type = itEmf;
  EXPECT_TRUE(Save(meta));
  EXPECT_EQ(test::ReadAll(dir / "m.emf"), meta.Metafile.Bytes);
  type = itWmf;
  EXPECT_TRUE(Save(meta));
  TMetafile wmf;
  ASSERT_TRUE(ParseMetafile(test::ReadAll(dir / "m.wmf"), wmf, error)) << error;
  EXPECT_EQ(wmf.Kind, TMetafileKind::Wmf);
  EXPECT_EQ(wmf.Width, meta.Metafile.Width);
  type = itPng;
  originalSize = false;
  height = 300;
  EXPECT_TRUE(Save(meta));
  QImage png = Decode(dir / "m.png");
  ASSERT_EQ(png.height(), 300);
  EXPECT_EQ(png.width(), meta.Metafile.Width * 300 / meta.Metafile.Height);
  EXPECT_EQ(png.pixel(0, 0), qRgb(255, 255, 255));
  const QRgb red = png.pixel(100, 60);  // the red shape, at twice its size
  EXPECT_TRUE(qRed(red) > 200 && qGreen(red) < 60 && qBlue(red) < 60) << std::hex << red;
}

TEST_F(ImageSaveTest, OverwriteKeepsTheOldFileUnderEveryFailure) {
  type = itPng;
  name = "old";
  const std::string target = dir / "old.png";
  test::WriteAll(target, "previous contents");
  std::filesystem::permissions(target, std::filesystem::perms(0640));
  const TPicture picture = Photo(30, 20);
  const struct {
    FsOp op;
    int error;
  } faults[] = {{FsOp::Create, EACCES},       {FsOp::Write, EIO}, {FsOp::ShortWrite, 0},
                {FsOp::SetAttributes, EPERM}, {FsOp::Sync, EIO},  {FsOp::Close, EIO},
                {FsOp::Rename, EXDEV}};
  for (const auto &f : faults) {
    SCOPED_TRACE(static_cast<int>(f.op));
    FsInjectFault(f.op, dir.path(), f.error, 10);
    EXPECT_FALSE(Save(picture));
    FsClearFaults();
    EXPECT_EQ(test::ReadAll(target), "previous contents");
    EXPECT_EQ(Files(), 1);           // no temporary file left
    ASSERT_EQ(messages.size(), 2u);  // overwrite question, then the error
    EXPECT_NE(messages[1].find("ERROR: Can not Save file"), std::string::npos);
    EXPECT_TRUE(selected.empty());
  }
  // Declining the overwrite changes nothing.
  SetMessageBoxAnswerer([](uint8_t, const std::string &, const std::string &) { return 1; });
  EXPECT_FALSE(Save(picture));
  EXPECT_EQ(test::ReadAll(target), "previous contents");
  // Agreed and nothing fails: replaced, keeping the file's permissions.
  SetMessageBoxAnswerer([](uint8_t, const std::string &, const std::string &) { return 0; });
  EXPECT_TRUE(Save(picture));
  EXPECT_EQ(Decode(target).size(), QSize(30, 20));
  EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(Files(), 1);
}

TEST_F(ImageSaveTest, OptionsPanelLoadsAndStoresItsSettings) {
  TFileSaveForm form;
  form.FolderTree->Init(dir.path());
  form.pOptions->show();
  form.show();  // defaults, with nothing stored
  EXPECT_EQ(form.eSizeHeight->Value(), 256);
  EXPECT_EQ(form.eJPGCompression->Value(), 70);
  EXPECT_EQ(form.cbGIFTransparency->currentIndex(), 0);
  EXPECT_FALSE(form.eSizeHeight->isEnabled());  // "Original Size" is ticked
  form.hide();
  INIWriteNum("JPGCompression", 40);
  INIWriteNum("GIFTransparency", 9);  // out of range: kept in it
  form.show();
  EXPECT_EQ(form.eJPGCompression->Value(), 40);
  EXPECT_EQ(form.cbGIFTransparency->currentIndex(), 4);
  form.cbSizeOriginal->setChecked(false);
  EXPECT_TRUE(form.eSizeHeight->isEnabled());
  form.eSizeHeight->SetValue(512);
  form.cbGIFTransparency->setCurrentIndex(2);
  if (const char *shot = std::getenv("TROVIX_SCREENSHOT")) form.grab().save(shot);
  form.bOKClick();
  EXPECT_EQ(form.result(), fsrSave);
  EXPECT_EQ(INIReadNum("SizeHeight", 0), 512);
  EXPECT_EQ(INIReadNum("JPGCompression", 0), 40);
  EXPECT_EQ(INIReadNum("GIFTransparency", 0), 2);
}

}  // namespace
}  // namespace trovix
