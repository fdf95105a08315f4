// SPDX-License-Identifier: GPL-3.0-or-later
// EMF and WMF: reading, refusing damaged files, playing records to the right
// pixels, and converting between the two formats.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "viewer/metafile.h"
#include "viewer/metafile_ui.h"

namespace trovix {
namespace {

// Little-endian record building for the test files.
struct TBytes {
  std::string Data;
  TBytes &U16(uint32_t v) {
    Data += char(v & 0xFF), Data += char(v >> 8 & 0xFF);
    return *this;
  }
  TBytes &U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  TBytes &Raw(const std::string &bytes) {
    Data += bytes;
    return *this;
  }
};

// An EMF whose frame is size x size pixels at 96 per inch (the reference
// device has 96 pixels per inch too).
class TEmf {
 public:
  explicit TEmf(int size = 96) : Size(size) {}
  TEmf &Rec(uint32_t type, std::vector<int32_t> fields) {
    TBytes r;
    r.U32(type).U32(uint32_t(8 + 4 * fields.size()));
    for (int32_t f : fields) r.U32(uint32_t(f));
    Records += r.Data;
    ++Count;
    return *this;
  }
  TEmf &RecRaw(uint32_t type, const std::string &body, int64_t sizeField = -1) {
    TBytes r;
    r.U32(type).U32(sizeField >= 0 ? uint32_t(sizeField) : uint32_t(8 + body.size())).Raw(body);
    Records += r.Data;
    ++Count;
    return *this;
  }
  std::string Bytes() const {
    TBytes h;
    int frame = Size * 2540 / 96;
    h.U32(1).U32(88);
    for (int32_t v : {0, 0, Size - 1, Size - 1, 0, 0, frame, frame}) h.U32(uint32_t(v));
    std::string tail = Records + TBytes().U32(14).U32(20).U32(0).U32(0).U32(20).Data;
    h.U32(0x464D4520).U32(0x10000).U32(uint32_t(88 + tail.size())).U32(Count + 2);
    h.U16(16).U16(0).U32(0).U32(0).U32(0).U32(960).U32(960).U32(254).U32(254);
    return h.Data + tail;
  }
  int Size;
  std::string Records;
  uint32_t Count = 0;
};

// A placeable WMF: a box of size x size logical units at 1440 per inch.
class TWmf {
 public:
  explicit TWmf(int size = 1440) : Size(size) {}
  TWmf &Rec(uint16_t function, std::vector<int16_t> params) {
    TBytes r;
    r.U32(uint32_t(3 + params.size())).U16(function);
    for (int16_t p : params) r.U16(uint16_t(p));
    Records += r.Data;
    return *this;
  }
  std::string Bytes() const {
    TBytes b;
    b.U32(0x9AC6CDD7).U16(0).U16(0).U16(0).U16(uint32_t(Size)).U16(uint32_t(Size)).U16(1440);
    b.U32(0).U16(0);
    std::string records = Records + TBytes().U32(3).U16(0).Data;
    b.U16(1).U16(9).U16(0x300).U32(uint32_t(9 + records.size() / 2)).U16(16).U32(100).U16(0);
    return b.Data + records;
  }
  int Size;
  std::string Records;
};

TMetafile Parse(const std::string &bytes) {
  TMetafile metafile;
  std::string error;
  EXPECT_TRUE(ParseMetafile(bytes, metafile, error)) << error;
  return metafile;
}

QImage Render(const TMetafile &metafile, int width = 96, int height = 96) {
  QImage image(width, height, QImage::Format_ARGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  PlayMetafile(metafile, painter, QRectF(0, 0, width, height));
  painter.end();
  return image;
}

bool Near(QColor a, QColor b, int tolerance = 40) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

// Checks the colour at each point; a failure names the point.
void ExpectColours(const QImage &image, std::initializer_list<std::pair<QPoint, QColor>> spots,
                   int tolerance = 40) {
  for (const auto &[at, colour] : spots)
    EXPECT_TRUE(Near(image.pixel(at), colour, tolerance)) << at.x() << "," << at.y();
}

int DarkPixels(const QImage &image, QRect area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (qGray(image.pixel(x, y)) < 128) ++count;
  return count;
}

constexpr int32_t kRed = 0x0000FF;  // COLORREF 0x00bbggrr
constexpr int32_t kNullPen = int32_t(0x80000008);

// A red rectangle at (24,24)-(72,48) in MM_ANISOTROPIC with a 1000-unit window.
TEmf RedRectangleEmf() {
  TEmf emf;
  emf.Rec(17, {8})                     // SETMAPMODE anisotropic
      .Rec(9, {1000, 1000})            // window extent
      .Rec(11, {96, 96})               // viewport extent
      .Rec(39, {1, 0, kRed, 0})        // solid red brush in slot 1
      .Rec(37, {1})                    // select it
      .Rec(37, {kNullPen})             // no outline
      .Rec(43, {250, 250, 750, 500});  // RECTANGLE
  return emf;
}

TEST(Metafile, ReadsSizeAndPaintsShapesWhereTheMappingPutsThem) {
  TMetafile emf = Parse(RedRectangleEmf().Bytes());
  EXPECT_EQ(emf.Kind, TMetafileKind::Emf);
  EXPECT_EQ(emf.Width, 96);
  EXPECT_EQ(emf.Height, 96);
  QImage image = Render(emf);
  ExpectColours(image, {{{48, 36}, Qt::red}, {{20, 36}, Qt::white}, {{48, 52}, Qt::white}});
  // Drawn at twice the size, the picture scales with its target.
  QImage big = Render(emf, 192, 192);
  ExpectColours(big, {{{96, 72}, Qt::red}, {{40, 72}, Qt::white}});

  // LOMETRIC: 0.1 mm units with y growing upwards; the origin moved to the
  // bottom left. 254 units is one inch = 96 pixels.
  TEmf metric;
  metric.Rec(17, {2}).Rec(12, {0, 96}).Rec(39, {1, 0, kRed, 0}).Rec(37, {1}).Rec(37, {kNullPen});
  metric.Rec(43, {0, 127, 127, 0});  // the lower-left half-inch square
  QImage lometric = Render(Parse(metric.Bytes()));
  ExpectColours(lometric, {{{24, 72}, Qt::red}, {{24, 24}, Qt::white}, {{72, 72}, Qt::white}});

  // A world transform moves the shape; SaveDC/RestoreDC undoes it.
  TEmf world;
  world.Rec(39, {1, 0, kRed, 0}).Rec(37, {1}).Rec(37, {kNullPen}).Rec(33, {});
  TBytes xform;
  for (float f : {1.0f, 0.0f, 0.0f, 1.0f, 50.0f, 0.0f}) {
    uint32_t bits;
    memcpy(&bits, &f, 4);
    xform.U32(bits);
  }
  world.RecRaw(35, xform.Data).Rec(43, {0, 0, 20, 20}).Rec(34, {-1}).Rec(43, {0, 60, 20, 80});
  QImage moved = Render(Parse(world.Bytes()));
  ExpectColours(moved, {{{60, 10}, Qt::red}, {{10, 10}, Qt::white}, {{10, 70}, Qt::red}});

  // The same picture as a placeable WMF: one inch = 1440 units = 96 pixels.
  TWmf wmf;
  wmf.Rec(0x020B, {0, 0}).Rec(0x020C, {1440, 1440});
  wmf.Rec(0x02FC, {0, kRed, 0, 0}).Rec(0x012D, {0});  // brush in slot 0
  wmf.Rec(0x02FA, {5, 0, 0, 0, 0}).Rec(0x012D, {1});  // null pen in slot 1
  wmf.Rec(0x041B, {720, 1080, 360, 360});             // bottom, right, top, left
  TMetafile parsed = Parse(wmf.Bytes());
  EXPECT_EQ(parsed.Kind, TMetafileKind::Wmf);
  EXPECT_EQ(parsed.Width, 96);
  // Without the placeable header, the size is the window extent, or failing
  // that, as far as the shapes reach.
  std::string bare = wmf.Bytes().substr(22);
  EXPECT_EQ(Parse(bare).Width, 1440);
  TWmf noExtent;
  noExtent.Rec(0x041B, {60, 200, 10, 10});
  TMetafile reach = Parse(noExtent.Bytes().substr(22));
  EXPECT_EQ(reach.Width, 200);
  EXPECT_EQ(reach.Height, 60);
  QImage fromWmf = Render(parsed);
  ExpectColours(fromWmf, {{{48, 36}, Qt::red}, {{20, 36}, Qt::white}, {{48, 52}, Qt::white}});
}

TEST(Metafile, ClippingLimitsDrawing) {
  TWmf wmf;
  wmf.Rec(0x02FC, {0, kRed, 0, 0}).Rec(0x012D, {0}).Rec(0x02FA, {5, 0, 0, 0, 0}).Rec(0x012D, {1});
  wmf.Rec(0x001E, {}).Rec(0x0416, {720, 720, 0, 0});  // save, clip to the top-left quarter
  wmf.Rec(0x041B, {1440, 1440, 0, 0}).Rec(0x0127, {-1});
  // A region of one band (960..1440 both ways) selected as the clip.
  wmf.Rec(0x06FF, {0, 6, 0, 0, 0, 1, 2, 960, 960, 1440, 1440, 2, 960, 1440, 960, 1440, 2});
  wmf.Rec(0x012C, {2}).Rec(0x041B, {1440, 1440, 0, 0});
  QImage image = Render(Parse(wmf.Bytes()));
  ExpectColours(image, {{{24, 24}, Qt::red},
                        {{72, 24}, Qt::white},
                        {{24, 72}, Qt::white},
                        {{80, 80}, Qt::red},
                        {{56, 56}, Qt::white}});

  TEmf emf;
  emf.Rec(39, {1, 0, kRed, 0}).Rec(37, {1}).Rec(37, {kNullPen});
  emf.Rec(29, {0, 0, 48, 96}).Rec(43, {0, 0, 96, 96});  // EXCLUDECLIPRECT, then fill all
  QImage excluded = Render(Parse(emf.Bytes()));
  ExpectColours(excluded, {{{24, 50}, Qt::white}, {{72, 50}, Qt::red}});
}

TEST(Metafile, ArcsFollowTheDirectionAndTextTheAlignment) {
  // A pie from 3 o'clock to 12 o'clock: anticlockwise a quarter, clockwise three.
  for (bool clockwise : {false, true}) {
    TEmf emf;
    emf.Rec(39, {1, 0, kRed, 0}).Rec(37, {1}).Rec(37, {kNullPen});
    if (clockwise) emf.Rec(57, {2});
    emf.Rec(47, {0, 0, 96, 96, 96, 48, 48, 0});
    QImage image = Render(Parse(emf.Bytes()));
    EXPECT_TRUE(Near(image.pixel(72, 24), clockwise ? Qt::white : Qt::red)) << clockwise;
    EXPECT_TRUE(Near(image.pixel(24, 24), clockwise ? Qt::red : Qt::white)) << clockwise;
    EXPECT_TRUE(Near(image.pixel(72, 72), clockwise ? Qt::red : Qt::white)) << clockwise;
  }
  // "HH" centred on x = 48 with its baseline at y = 60 (TA_CENTER | TA_BASELINE).
  TEmf text;
  TBytes font;
  font.U32(1).U32(uint32_t(-30)).U32(0).U32(0).U32(0).U32(700).U32(0).U32(0);
  font.Raw(std::string(64, '\0'));
  text.RecRaw(82, font.Data).Rec(37, {1}).Rec(18, {1}).Rec(22, {6 | 24});
  TBytes out;
  out.U32(0).U32(0).U32(0).U32(0).U32(1).U32(0).U32(0);
  out.U32(48).U32(60).U32(2).U32(72).U32(0x100).U32(0);  // no rectangle, no advances
  out.U32(0).U32(0).U32(0).U16('H').U16('H');
  text.RecRaw(84, out.Data);
  QImage image = Render(Parse(text.Bytes()));
  int left = DarkPixels(image, QRect(0, 30, 48, 30)),
      right = DarkPixels(image, QRect(48, 30, 48, 30));
  EXPECT_GT(left, 40);
  EXPECT_GT(right, 40);
  EXPECT_LT(std::abs(left - right), (left + right) / 4);
  EXPECT_EQ(DarkPixels(image, QRect(0, 62, 96, 34)), 0);
}

TEST(Metafile, TextAndBitmapsLand) {
  // EXTTEXTOUTW "HH" with a 40-pixel font, top-left aligned at (10, 10).
  TEmf text;
  TBytes font;
  font.U32(1).U32(uint32_t(-40)).U32(0).U32(0).U32(0).U32(700).U32(0).U32(0);
  font.Raw(std::string(64, '\0'));
  text.RecRaw(82, font.Data).Rec(37, {1}).Rec(24, {0}).Rec(18, {1});
  TBytes out;
  out.U32(0).U32(0).U32(0).U32(0).U32(1).U32(0).U32(0);  // bounds, mode, scales
  out.U32(10).U32(10).U32(2).U32(76).U32(0);             // reference, chars, offString, options
  out.U32(0).U32(0).U32(0).U32(0).U32(0);                // rectangle, offDx
  out.U16('H').U16('H');
  text.RecRaw(84, out.Data);
  QImage written = Render(Parse(text.Bytes()));
  EXPECT_GT(DarkPixels(written, QRect(10, 10, 50, 40)), 100);
  EXPECT_EQ(DarkPixels(written, QRect(0, 60, 96, 36)), 0);

  // STRETCHDIBITS: a 2 x 2 bottom-up 24-bit DIB stretched to (20,20)-(60,60).
  // Stored rows: bottom (blue, green), top (red, white).
  TBytes bmi;
  bmi.U32(40).U32(2).U32(2).U16(1).U16(24).U32(0).U32(16).U32(0).U32(0).U32(0).U32(0);
  TBytes bits;  // BGR triples, rows padded to four bytes
  bits.U16(0x00FF).U16(0).U16(0x00FF).U16(0).U16(0).U16(0xFFFF).U16(0xFFFF).U16(0);
  TBytes blit;
  blit.U32(0).U32(0).U32(0).U32(0);                  // bounds
  blit.U32(20).U32(20).U32(0).U32(0).U32(2).U32(2);  // dest x, y; source x, y, w, h
  blit.U32(80).U32(40).U32(120).U32(16);             // bmi and bits offsets and sizes
  blit.U32(0).U32(0x00CC0020).U32(40).U32(40);       // usage, SRCCOPY, dest w, h
  blit.Raw(bmi.Data).Raw(bits.Data);
  TEmf bitmap;
  bitmap.RecRaw(81, blit.Data);
  QImage blitted = Render(Parse(bitmap.Bytes()));
  EXPECT_TRUE(Near(blitted.pixel(30, 30), Qt::red, 5));
  EXPECT_TRUE(Near(blitted.pixel(50, 30), Qt::white, 5));
  EXPECT_TRUE(Near(blitted.pixel(30, 50), Qt::blue, 5));
  EXPECT_TRUE(Near(blitted.pixel(50, 50), Qt::green, 5));
  EXPECT_TRUE(Near(blitted.pixel(10, 10), Qt::white, 5));

  // WMF STRETCHDIB: a 2 x 2 one-bit DIB with a red and blue palette, to (0,0)-(48,48).
  TWmf dib;
  dib.Rec(0x0F43,
          {0x0020, 0x00CC, 0,      2, 2, 0, 0, 720, 720, 0, 0,  // rop ... x
           40,     0,      2,      0, 2, 0, 1, 1,   0,   0, 8, 0, 0, 0, 0, 0, 2, 0, 0, 0,  // header
           0,      0x00FF, 0x00FF, 0,    // red, blue
           0x0080, 0,      0x0040, 0});  // rows bottom up: blue red, red blue
  QImage fromDib = Render(Parse(dib.Bytes()));
  EXPECT_TRUE(Near(fromDib.pixel(12, 12), Qt::red, 5));
  EXPECT_TRUE(Near(fromDib.pixel(36, 12), Qt::blue, 5));
  EXPECT_TRUE(Near(fromDib.pixel(12, 36), Qt::blue, 5));
  EXPECT_TRUE(Near(fromDib.pixel(36, 36), Qt::red, 5));
  EXPECT_TRUE(Near(fromDib.pixel(60, 60), Qt::white, 5));
}

TEST(Metafile, DamagedAndHostileFilesAreRefusedOrSkipped) {
  TMetafile metafile;
  std::string error;
  std::string good = RedRectangleEmf().Bytes();
  // A record whose size runs past the end, a truncated file, a zero size.
  TEmf past = RedRectangleEmf();
  past.RecRaw(43, std::string(16, '\0'), 4000);
  EXPECT_FALSE(ParseMetafile(past.Bytes(), metafile, error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ParseMetafile(good.substr(0, good.size() - 30), metafile, error));
  TEmf zero;
  zero.RecRaw(43, "", 0);
  EXPECT_FALSE(ParseMetafile(zero.Bytes(), metafile, error));
  EXPECT_FALSE(ParseMetafile("GIF89a and more bytes than a header", metafile, error));
  EXPECT_FALSE(ParseMetafile(good.substr(0, 40), metafile, error));
  TWmf wmfPast;
  wmfPast.Records = TBytes().U32(60000).U16(0x041B).Data;
  EXPECT_FALSE(ParseMetafile(wmfPast.Bytes(), metafile, error));

  // Files that parse but ask for absurd things: they play without harm.
  TEmf hostile = RedRectangleEmf();
  hostile
      .Rec(3, {0, 0, 0, 0, -1, 1, 1})                   // POLYGON with 4 billion points
      .Rec(8, {0, 0, 0, 0, -1, -1, 5})                  // POLYPOLYGON with huge counts
      .Rec(38, {60000, 0, 5, 0, 0})                     // a pen beyond the object table
      .Rec(37, {70000})                                 // selecting it
      .Rec(40, {-5})                                    // deleting nonsense
      .Rec(34, {-100})                                  // restoring what was never saved
      .Rec(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 76, 0})  // text with 4 billion characters
      .Rec(81, {0, 0, 0, 0, 0, 0, 0, 0, 100000, 100000, 80, 40, 120, 16, 0, 0xCC0020, 5, 5});
  for (int i = 0; i < 2000; ++i)  // a clip cut again and again (EXCLUDECLIPRECT)
    hostile.Rec(29, {i % 40 * 2, i / 40 * 2, i % 40 * 2 + 1, i / 40 * 2 + 1});
  hostile.Rec(75, {0, 5});                             // and then no clip at all
  for (int i = 0; i < 5000; ++i) hostile.Rec(33, {});  // SaveDC nested deeply
  hostile.Rec(43, {0, 0, 10, 10});
  for (int i = 0; i < 5000; ++i) hostile.Rec(34, {-1});
  QImage image = Render(Parse(hostile.Bytes()));
  EXPECT_TRUE(Near(image.pixel(48, 36), Qt::red));

  TWmf wmf;
  wmf.Rec(0x0324, {30000, 1, 2})      // POLYGON claiming 30000 points
      .Rec(0x0538, {-1, 100})         // POLYPOLYGON with 65535 polygons
      .Rec(0x012D, {9999})            // selecting a slot that does not exist
      .Rec(0x01F0, {-1})              // deleting one
      .Rec(0x0A32, {0, 0, 30000, 0})  // EXTTEXTOUT longer than the record
      .Rec(0x0B41, {0x20, 0xCC, 2, 2, 0, 0, 10, 10, 0, 0, 40, 0});  // DIB cut short
  for (int i = 0; i < 3000; ++i) wmf.Rec(0x001E, {});
  Render(Parse(wmf.Bytes()));
}

TEST(Metafile, ConversionKeepsThePicture) {
  TEmf emf = RedRectangleEmf();
  emf.Rec(38, {2, 0, 3, 0, 0x00FF00}).Rec(37, {2});  // green pen
  emf.Rec(39, {3, 1, 0, 0}).Rec(37, {3});            // null brush
  emf.Rec(42, {100, 600, 400, 900});                 // ELLIPSE outline
  // A red disc: a square clipped to a circle path, which WMF can only hold cut to shape.
  emf.Rec(33, {}).Rec(59, {}).Rec(42, {600, 600, 900, 900}).Rec(60, {}).Rec(67, {5});
  emf.Rec(37, {1}).Rec(37, {kNullPen}).Rec(43, {600, 600, 900, 900}).Rec(34, {-1});
  TMetafile source = Parse(emf.Bytes());
  QImage original = Render(source);

  std::string wmfBytes, emfBytes, error;
  std::vector<std::string> dropped;
  ASSERT_TRUE(ConvertMetafile(source, TMetafileKind::Wmf, wmfBytes, dropped, error)) << error;
  EXPECT_TRUE(dropped.empty());
  TMetafile wmf = Parse(wmfBytes);
  EXPECT_EQ(wmf.Kind, TMetafileKind::Wmf);
  EXPECT_NEAR(wmf.Width, 96, 1);
  EXPECT_NEAR(wmf.Height, 96, 1);
  ASSERT_TRUE(ConvertMetafile(wmf, TMetafileKind::Emf, emfBytes, dropped, error)) << error;
  TMetafile back = Parse(emfBytes);
  EXPECT_EQ(back.Kind, TMetafileKind::Emf);
  EXPECT_NEAR(back.Width, 96, 1);
  for (const TMetafile *copy : {&wmf, &back}) {
    QImage image = Render(*copy);
    int differing = 0;
    for (int y = 0; y < 96; ++y)
      for (int x = 0; x < 96; ++x)
        if (!Near(image.pixel(x, y), original.pixel(x, y), 60)) ++differing;
    EXPECT_TRUE(Near(image.pixel(60, 60), Qt::white));  // outside the disc
    EXPECT_TRUE(Near(image.pixel(72, 72), Qt::red));
    EXPECT_LT(differing, 96 * 96 / 100);
  }
  // The own format is written unchanged.
  ASSERT_TRUE(ConvertMetafile(source, TMetafileKind::Emf, emfBytes, dropped, error));
  EXPECT_EQ(emfBytes, source.Bytes);
}

// STRETCHDIBITS of a one-pixel 24-bit DIB of colour over box, with rop.
void SolidBlit(TEmf &emf, QRect box, QRgb colour, uint32_t rop) {
  TBytes bmi;
  bmi.U32(40).U32(1).U32(1).U16(1).U16(24).U32(0).U32(4).U32(0).U32(0).U32(0).U32(0);
  TBytes bits;
  bits.U16(uint32_t(qBlue(colour) | qGreen(colour) << 8)).U16(uint32_t(qRed(colour)));
  TBytes blit;
  blit.U32(0).U32(0).U32(0).U32(0);
  blit.U32(uint32_t(box.x())).U32(uint32_t(box.y())).U32(0).U32(0).U32(1).U32(1);
  blit.U32(80).U32(40).U32(120).U32(4);
  blit.U32(0).U32(rop).U32(uint32_t(box.width())).U32(uint32_t(box.height()));
  emf.RecRaw(81, blit.Raw(bmi.Data).Raw(bits.Data).Data);
}

TEST(Metafile, ConversionKeepsAndAndXorBlitsAndListsWhatItCannotKeep) {
  // AND cyan over the white left half, then XOR red over the bottom half:
  // cyan, white / white, cyan.
  TEmf emf;
  SolidBlit(emf, QRect(0, 0, 48, 96), qRgb(0, 255, 255), 0x008800C6);
  SolidBlit(emf, QRect(0, 48, 96, 48), qRgb(255, 0, 0), 0x00660046);
  const TMetafile source = Parse(emf.Bytes());
  std::string wmfBytes, emfBytes, error;
  std::vector<std::string> dropped;
  ASSERT_TRUE(ConvertMetafile(source, TMetafileKind::Wmf, wmfBytes, dropped, error)) << error;
  EXPECT_TRUE(dropped.empty());
  const TMetafile wmf = Parse(wmfBytes);
  ASSERT_TRUE(ConvertMetafile(wmf, TMetafileKind::Emf, emfBytes, dropped, error)) << error;
  EXPECT_TRUE(dropped.empty());
  for (const TMetafile &m : {source, wmf, Parse(emfBytes)}) {
    const QImage image = Render(m);
    for (QPoint cyan : {QPoint(24, 24), QPoint(72, 72)})
      EXPECT_TRUE(Near(image.pixel(cyan), Qt::cyan, 5));
    for (QPoint white : {QPoint(72, 24), QPoint(24, 72)})
      EXPECT_TRUE(Near(image.pixel(white), Qt::white, 5));
  }

  // An inverting pattern blit (DSTINVERT) has no record in the conversion:
  // it is left out and said so.
  emf.Rec(76, {0, 0, 0, 0, 10, 10, 20, 20, 0x00550009, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(ConvertMetafile(Parse(emf.Bytes()), TMetafileKind::Wmf, wmfBytes, dropped, error));
  EXPECT_EQ(dropped, std::vector<std::string>{"inverted areas (left out)"});
}

TEST(Metafile, FilesWrittenByInkscapePlay) {
  for (const char *name : {"shapes_inkscape.emf", "shapes_inkscape.wmf"}) {
    SCOPED_TRACE(name);
    std::ifstream in(std::string(TROVIX_TEST_DATA "/metafiles/") + name, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    TMetafile metafile = Parse(bytes.str());
    EXPECT_EQ(metafile.Width, 200);
    EXPECT_NEAR(metafile.Height, 150, 1);
    QImage image = Render(metafile, 200, 150);
    EXPECT_TRUE(Near(image.pixel(50, 30), Qt::red));
    EXPECT_TRUE(Near(image.pixel(116, 40), QColor(0, 128, 0), 60));  // ellipse outline
    EXPECT_TRUE(Near(image.pixel(150, 40), Qt::white));              // and its inside
    ExpectColours(image, {{{60, 128}, Qt::blue}, {{155, 115}, Qt::yellow}, {{185, 135}, Qt::blue}});
    EXPECT_GT(DarkPixels(image, QRect(120, 90, 30, 22)), 40);  // "Tx"
    EXPECT_TRUE(Near(image.pixel(100, 20), Qt::white));
  }
}

}  // namespace
}  // namespace trovix
