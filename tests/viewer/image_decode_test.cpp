// SPDX-License-Identifier: GPL-3.0-or-later
// The image decoders on valid, cut, corrupt and hostile files, and the image
// view's arithmetic: zoom steps, fitting, panning, holes, image extensions.
#include "viewer/image_decode.h"

#include <gtest/gtest.h>

#include "image_samples.h"
#include "viewer/image_geometry.h"

namespace trovix {
namespace {

using test::Encode;
using test::TwoColourImage;

uint32_t At(const TBitmap &b, int x, int y) {
  return b.Pixels[static_cast<size_t>(y) * b.Width + x];
}

// Lossy colours: each channel within tolerance.
bool Near(uint32_t a, uint32_t b, int tolerance = 24) {
  for (int shift = 0; shift < 32; shift += 8)
    if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > tolerance) return false;
  return true;
}

TEST(ImageDecode, Jpeg) {
  const std::string jpeg = Encode(TwoColourImage(64, 48), "JPG");
  TBitmap b;
  std::string error;
  ASSERT_TRUE(DecodeJpeg(jpeg, b, error)) << error;
  EXPECT_EQ(64, b.Width);
  EXPECT_EQ(48, b.Height);
  EXPECT_TRUE(Near(0xFFFF0000u, At(b, 4, 4)));
  EXPECT_TRUE(Near(0xFF0000FFu, At(b, 60, 40)));

  // A reduced transform: a quarter of the size, the same picture.
  TJpegInfo info;
  ASSERT_TRUE(JpegReadInfo(jpeg, info, error));
  EXPECT_EQ(4, JpegScaleDenominator(info.Width, info.Height, 16, 12));
  EXPECT_EQ(1, JpegScaleDenominator(info.Width, info.Height, 40, 12));
  EXPECT_EQ(8, JpegScaleDenominator(6000, 4000, 700, 400));
  ASSERT_TRUE(DecodeJpeg(jpeg, b, error, 4));
  EXPECT_EQ(16, b.Width);
  EXPECT_EQ(12, b.Height);
  EXPECT_TRUE(Near(0xFF0000FFu, At(b, 15, 11)));

  // Grey JPEGs come out as opaque grey.
  QImage grey(8, 8, QImage::Format_Grayscale8);
  grey.fill(128);
  ASSERT_TRUE(DecodeJpeg(Encode(grey, "JPG"), b, error));
  EXPECT_TRUE(Near(0xFF808080u, At(b, 3, 3), 4));
}

TEST(ImageDecode, JpegCutCorruptOrHuge) {
  const std::string jpeg = Encode(TwoColourImage(64, 48), "JPG");
  TBitmap b;
  std::string error;
  EXPECT_FALSE(DecodeJpeg(jpeg.substr(0, jpeg.size() / 2), b, error));
  EXPECT_TRUE(b.Empty());
  EXPECT_FALSE(DecodeJpeg("", b, error));
  EXPECT_FALSE(DecodeJpeg("\xFF\xD8\xFF garbage", b, error));
  // The frame header claims 65000 x 65000.
  std::string huge = jpeg;
  const size_t sof = huge.find("\xFF\xC0");
  ASSERT_NE(std::string::npos, sof);
  huge[sof + 5] = huge[sof + 7] = static_cast<char>(0xFD);
  huge[sof + 6] = huge[sof + 8] = static_cast<char>(0xE8);
  EXPECT_FALSE(DecodeJpeg(huge, b, error));
  EXPECT_NE(std::string::npos, error.find("too large"));
}

TEST(ImageDecode, Png) {
  QImage image = TwoColourImage(5, 3);
  image.setPixel(0, 0, qRgba(10, 20, 30, 0));
  TBitmap b;
  std::string error;
  ASSERT_TRUE(DecodePng(Encode(image, "PNG"), b, error)) << error;
  ASSERT_EQ(5, b.Width);
  ASSERT_EQ(3, b.Height);
  EXPECT_EQ(0u, At(b, 0, 0) >> 24);
  EXPECT_EQ(0xFFFF0000u, At(b, 1, 0));
  EXPECT_EQ(0xFF0000FFu, At(b, 4, 2));
  // Palette and 16-bit files expand to the same 32-bit pixels.
  ASSERT_TRUE(DecodePng(
      Encode(TwoColourImage(5, 3).convertToFormat(QImage::Format_Indexed8), "PNG"), b, error));
  EXPECT_EQ(0xFF0000FFu, At(b, 4, 2));
  ASSERT_TRUE(DecodePng(Encode(TwoColourImage(5, 3).convertToFormat(QImage::Format_RGBA64), "PNG"),
                        b, error));
  EXPECT_EQ(0xFFFF0000u, At(b, 0, 2));
}

TEST(ImageDecode, PngBadCrcCutOrHuge) {
  const std::string png = Encode(TwoColourImage(32, 32), "PNG");
  TBitmap b;
  std::string error;
  std::string bad = png;
  bad[20] ^= 1;  // the header's height: its checksum no longer matches
  EXPECT_FALSE(DecodePng(bad, b, error));
  EXPECT_FALSE(DecodePng(png.substr(0, png.size() - 20), b, error));
  EXPECT_TRUE(b.Empty());
  EXPECT_FALSE(DecodePng(test::PngClaiming(100000, 100000), b, error));
  EXPECT_FALSE(DecodePng(test::PngClaiming(30000, 30000), b, error));  // 900 megapixels
}

TEST(ImageDecode, Gif) {
  TBitmap b;
  std::string error;
  ASSERT_TRUE(DecodeGif(test::MakeGif(5, 3, 2), b, error)) << error;
  ASSERT_EQ(5, b.Width);
  ASSERT_EQ(3, b.Height);
  EXPECT_EQ(0xFF000000u, At(b, 0, 0));
  EXPECT_EQ(0xFFFF0000u, At(b, 1, 0));
  EXPECT_EQ(0u, At(b, 2, 0) >> 24);  // index 2 is transparent
  EXPECT_EQ(0xFF0000FFu, At(b, 2, 1));
  ASSERT_TRUE(DecodeGif(test::MakeGif(3, 3), b, error));
  EXPECT_EQ(0xFF00FF00u, At(b, 2, 0));  // no transparency: index 2 is green
}

TEST(ImageDecode, GifWithoutFramesCutOrHuge) {
  TBitmap b;
  std::string error;
  EXPECT_FALSE(DecodeGif(test::MakeGif(5, 3, -1, false), b, error));
  const std::string gif = test::MakeGif(40, 40);
  EXPECT_FALSE(DecodeGif(gif.substr(0, gif.size() / 2), b, error));
  EXPECT_TRUE(b.Empty());
  EXPECT_FALSE(DecodeGif("GIF89a", b, error));
  // A 65,535 x 65,535 screen around a 4 x 4 frame: the frame alone, not
  // gigabytes of background.
  std::string wide = test::MakeGif(4, 4);
  wide[6] = wide[7] = wide[8] = wide[9] = static_cast<char>(0xFF);
  ASSERT_TRUE(DecodeGif(wide, b, error)) << error;
  EXPECT_EQ(4, b.Width);
  EXPECT_EQ(4, b.Height);
  // A frame that claims far more pixels than the file could code.
  std::string tall = test::MakeGif(4, 4);
  const size_t descriptor = tall.find(',');
  ASSERT_NE(std::string::npos, descriptor);
  tall[descriptor + 5] = tall[descriptor + 7] = static_cast<char>(0x7F);
  tall[descriptor + 6] = tall[descriptor + 8] = static_cast<char>(0x20);
  EXPECT_FALSE(DecodeGif(tall, b, error));
  EXPECT_NE(std::string::npos, error.find("too short"));
}

TEST(ImageGeometry, ZoomSteps) {
  auto run = [](int zoom, int steps, bool in) {
    std::vector<int> seen;
    for (int i = 0; i < steps; ++i)
      seen.push_back(zoom = in ? ZoomIn(zoom, 1000000) : ZoomOut(zoom));
    return seen;
  };
  EXPECT_EQ((std::vector<int>{125, 156, 195, 243, 303, 378}), run(100, 6, true));
  EXPECT_EQ((std::vector<int>{2, 4, 5, 6, 7, 8, 10, 12}), run(1, 8, true));
  EXPECT_EQ((std::vector<int>{80, 64, 51, 40, 32, 25, 20, 16, 12, 9, 7, 5, 4, 3, 2, 1, 1}),
            run(100, 17, false));
  // The zoom stops where the zoomed side would leave 32-bit arithmetic.
  const int limit = ZoomLimit(30000);
  EXPECT_EQ(limit, ZoomIn(limit - 1, limit));
  EXPECT_LE(int64_t(30000) * limit, INT32_MAX);
}

TEST(ImageGeometry, FitPanAndTypes) {
  EXPECT_EQ(56, FitZoom(1000, 708));
  EXPECT_EQ(100, FitZoom(700, 708));
  EXPECT_EQ(1, FitZoom(1000, -50));  // no room: stops rather than looping
  // A picture smaller than the box stays at 0; a larger one never shows a gap.
  EXPECT_EQ(0, ClampOffset(-30, 100, 400));
  EXPECT_EQ(0, ClampOffset(25, 100, 400));
  EXPECT_EQ(-600, ClampOffset(-900, 1000, 400));
  EXPECT_EQ(-250, ClampOffset(-250, 1000, 400));
  EXPECT_EQ(0, ClampOffset(40, 1000, 400));
  EXPECT_EQ(-50, RescaleOffset(-100, 100, 50));

  EXPECT_EQ(TImageFileKind::None, ImageTypeOf("/pictures.bmp/notes.txt"));
  EXPECT_EQ(TImageFileKind::None, ImageTypeOf("/pictures.bmp/README"));
  EXPECT_EQ(TImageFileKind::Jpeg, ImageTypeOf("/a/photo.JPEG"));
  EXPECT_EQ(TImageFileKind::Metafile, ImageTypeOf("/a/b.Emf"));
}

TEST(ImageGeometry, Holes) {
  uint32_t p[4] = {1, 2, 3, 4};
  PunchHoles(p, 2, 2, 2, 1);
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 3, 1}), std::vector<uint32_t>(p, p + 4));

  std::vector<uint32_t> a(16), b;
  for (uint32_t i = 0; i < 16; ++i) a[i] = i + 7;
  PunchHoles(a.data(), 4, 4, 4, 0);
  b = a;
  PunchHoles(a.data(), 4, 4, 4, 0);
  EXPECT_EQ(b, a);  // twice changes nothing more
  EXPECT_EQ(7u, a[2]);
  EXPECT_EQ(8u, a[1]);
  PunchHoles(a.data(), 4, 4, 4, 2);
  EXPECT_EQ((std::vector<uint32_t>{7, 8, 7, 10, 7, 7, 7, 7, 7, 16, 7, 18, 7, 7, 7, 7}), a);
}

}  // namespace
}  // namespace trovix
