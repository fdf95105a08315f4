// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/markup.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "dialogs/markup_ui.h"

namespace trovix {
namespace {

// Every byte 6 pixels wide (7 when bold), lines 12 high, both scaled with the
// size fraction; integer arithmetic as a font would round.
class FakeMetrics : public MarkupMetrics {
 public:
  int32_t TextWidth(const MarkupFont &f, const std::string &text) override {
    return static_cast<int32_t>(text.size()) * (f.bold ? 7 : 6) * f.sizeNum / f.sizeDen;
  }
  int32_t TextHeight(const MarkupFont &f) override { return 12 * f.sizeNum / f.sizeDen; }
};

class Markup : public ::testing::Test {
 protected:
  void SetUp() override {
    savedChar_ = NiceLabelFormatChar;
    NiceLabelFormatChar = '|';
  }
  void TearDown() override { NiceLabelFormatChar = savedChar_; }
  MarkupLayout Lay(const std::string &text, int32_t x = 0, int32_t y = 0, int32_t gap = 4) {
    return NiceLabelLayout(text, x, y, gap, metrics_);
  }
  // The extent of a layout as "width x height".
  std::string Extent(const std::string &text, int32_t x = 0, int32_t y = 0) {
    const MarkupLayout l = Lay(text, x, y);
    return std::to_string(l.width) + "x" + std::to_string(l.height);
  }
  FakeMetrics metrics_;
  char savedChar_ = '\\';
};

TEST_F(Markup, ExtentOfPlainTextAndCodesAtTheEnd) {
  // One run: base line height (12 + 1) plus twice the gap.
  MarkupLayout l = Lay("Hello");
  ASSERT_EQ(l.draws.size(), 1u);
  EXPECT_EQ(l.draws[0].x, 4);
  EXPECT_EQ(l.draws[0].y, 4);
  EXPECT_EQ(Extent("Hello"), "38x21");         // 4 + 30 + 4, 4 + 13 + 4
  EXPECT_EQ(Extent("Hello", 60, 8), "98x29");  // the origin is part of the extent
  // "|b" at the end turns bold on and draws nothing more.
  l = Lay("Hello|b");
  ASSERT_EQ(l.draws.size(), 1u);
  EXPECT_FALSE(l.draws[0].font.bold);
  EXPECT_EQ(Extent("Hello|b"), "38x21");
  // A lone escape at the end is consumed; an empty text still has a line; a
  // trailing new line adds no empty line below.
  EXPECT_EQ(Extent("Hello|"), "38x21");
  EXPECT_EQ(Extent(""), "8x21");
  EXPECT_EQ(Extent("Hello|n"), "38x21");
}

TEST_F(Markup, StyleColourAndLowerCaseCodes) {
  MarkupLayout l = Lay("a|bb|Bc|ud|U");
  ASSERT_EQ(l.draws.size(), 4u);
  EXPECT_FALSE(l.draws[0].font.bold);
  EXPECT_TRUE(l.draws[1].font.bold);   // lower-case b works like B
  EXPECT_FALSE(l.draws[2].font.bold);  // and toggles back
  EXPECT_TRUE(l.draws[3].font.underline);
  EXPECT_EQ(l.draws[2].x, 4 + 6 + 7);
  EXPECT_EQ(l.width, 4 + 6 + 7 + 6 + 6 + 4);

  l = Lay("|1a|9b|0c|?d|:e|Hf|hg|zh");
  ASSERT_EQ(l.draws.size(), 8u);
  EXPECT_FALSE(l.draws[0].baseColour);
  EXPECT_EQ(l.draws[0].colour, 0x000080u);
  EXPECT_EQ(l.draws[1].colour, 0x0000FFu);
  EXPECT_TRUE(l.draws[2].baseColour);
  EXPECT_EQ(l.draws[3].colour, 0xFFFFFFu);
  EXPECT_EQ(l.draws[4].colour, 0x00FF00u);
  EXPECT_TRUE(l.draws[5].highlight);
  EXPECT_FALSE(l.draws[6].highlight);
  EXPECT_EQ(l.draws[7].text, "h");  // an unknown code is consumed, not drawn
  EXPECT_EQ(l.width, 4 + 8 * 6 + 4);
}

TEST_F(Markup, SizesAreRelativeToTheBase) {
  // Double, then two thirds: base x 2/3, not base x 4/3.
  MarkupLayout twice = Lay("|]|^XX");
  MarkupLayout once = Lay("|^XX");
  ASSERT_EQ(twice.draws.size(), 1u);
  EXPECT_EQ(twice.draws[0].font, once.draws[0].font);
  EXPECT_EQ(twice.draws[0].font.sizeNum * 3, twice.draws[0].font.sizeDen * 2);
  EXPECT_EQ(twice.width, 4 + 8 + 4);
  // The empty run between the codes was drawn at double size: the line
  // keeps that height. A smaller size alone keeps the base line.
  EXPECT_EQ(twice.height, 4 + 24 + 4);
  EXPECT_EQ(once.height, 4 + 13 + 4);

  // A larger size raises the line's height; "[" brings back the base line.
  MarkupLayout l = Lay("a|]B|[c|nd");
  ASSERT_EQ(l.draws.size(), 4u);
  EXPECT_EQ(l.draws[1].font.sizeNum, 2);
  EXPECT_EQ(l.draws[1].width, 12);
  EXPECT_EQ(l.draws[2].font.sizeNum, 1);
  EXPECT_EQ(l.draws[3].y, 4 + 24);
  EXPECT_EQ(l.height, 4 + 24 + 13 + 4);
  l = Lay("||x");  // with "|" as escape, "||" is the x 3/2 size code
  ASSERT_EQ(l.draws.size(), 1u);
  EXPECT_EQ(l.draws[0].font.sizeNum, 3);
  EXPECT_EQ(l.draws[0].font.sizeDen, 2);
  EXPECT_EQ(l.height, 4 + 18 + 4);
}

TEST_F(Markup, LinesTabsAndTriangles) {
  MarkupLayout l = Lay("ab|ncd|n|nef");
  ASSERT_EQ(l.draws.size(), 3u);
  EXPECT_EQ(l.draws[1].x, 4);
  EXPECT_EQ(l.draws[1].y, 4 + 13);
  EXPECT_EQ(l.draws[2].y, 4 + 13 * 3);  // an empty line keeps its height
  EXPECT_EQ(l.height, 4 + 13 * 4 + 4);

  // Tab stops count from the left margin; a new line restarts the count.
  const int32_t saved = NiceLabelSizeTab;
  NiceLabelSizeTab = 8;
  l = Lay("a|tb|tc|nd|te", 10, 0, 2);
  ASSERT_EQ(l.draws.size(), 5u);
  EXPECT_EQ(l.draws[1].x, 12 + 48);
  EXPECT_EQ(l.draws[2].x, 12 + 96);
  EXPECT_EQ(l.draws[4].x, 12 + 48);
  EXPECT_EQ(l.width, 12 + 96 + 6 + 2);
  NiceLabelSizeTab = saved;

  l = Lay("|dX");
  ASSERT_EQ(l.draws.size(), 2u);
  EXPECT_EQ(l.draws[0].kind, MarkupDraw::Triangle);
  EXPECT_EQ(l.draws[0].side, 13 * 3 / 8);
  EXPECT_EQ(l.draws[0].base, 4 + 13 * 4 / 5);
  EXPECT_EQ(l.draws[1].x, 4 + 2 * 4 + 1);
}

TEST_F(Markup, EscapeCharacterAndHelpers) {
  NiceLabelFormatChar = '\\';
  MarkupLayout l = Lay("|bA\\bB");
  ASSERT_EQ(l.draws.size(), 2u);
  EXPECT_EQ(l.draws[0].text, "|bA");
  EXPECT_TRUE(l.draws[1].font.bold);
  EXPECT_EQ(MarkupPlainText("\\b\\4Line\\none\\tx\\d"), "Line\none\tx");
  EXPECT_EQ(NiceLabelLineBreaks("a\r\nb\nc\rd"), "a\\nb\\nc\rd");
  NiceLabelFormatChar = '|';
  EXPECT_EQ(NiceLabelLineBreaks("a\r\nb"), "a|nb");
}

// A name holding any code, the escape or a line feed stays plain text.
TEST(MarkupEscapeText, NamesWithEveryCodeStayText) {
  const std::string codes = "0123456789:;<=>?BIUHNTDbiuhntd]|^[x\\";
  for (char code : codes) {
    const std::string name = std::string("a|") + code + "b\n|";
    const std::string text = "|b|4Delete " + MarkupEscape(name, '|') + "?";
    int found = 0;
    for (const MarkupToken &t : MarkupParse(text, '|')) found += t.isCode;
    EXPECT_EQ(found, 2) << code;  // only the question's own codes
    EXPECT_EQ(MarkupPlainText(text, '|'),
              "Delete a\xC2\xA6" + (code == '|' ? std::string("\xC2\xA6") : std::string(1, code)) +
                  "b\xEF\xBF\xBD\xC2\xA6?")
        << code;
  }
  EXPECT_EQ(MarkupEscape("a\\b|c", '\\'),
            "a\xE2\xA7\xB5"
            "b\xC2\xA6"
            "c");
  EXPECT_EQ(MarkupEscape("caf\xC3\xA9 x.txt", '|'), "caf\xC3\xA9 x.txt");
}

TEST(MarkupColour, NearestCode) {
  EXPECT_EQ(NiceLabelNearestColour(0u), '0');
  for (int i = 1; i < 16; ++i)
    EXPECT_EQ(NiceLabelNearestColour(NiceLabelColours[i]), static_cast<char>('0' + i)) << i;
  EXPECT_EQ(NiceLabelNearestColour(0x0000F0u), '9');
  // Maroon, navy and purple are equally far: the lowest code wins.
  EXPECT_EQ(NiceLabelNearestColour(0x400040u), '1');
  EXPECT_EQ(NiceLabelColourIndex('?'), 15);
  EXPECT_EQ(NiceLabelColourIndex('@'), -1);
  EXPECT_EQ(NiceLabelNearestColour(QColor(255, 0, 0)), '9');
  EXPECT_EQ(NiceLabelColour(0x0080FFu), QColor(255, 128, 0));
}

// ---- Painting with a real font ---------------------------------------------------

class MarkupPaint : public Markup {
 protected:
  MarkupPaint() : image_(400, 120, QImage::Format_RGB32) {
    font_.setFamily("DejaVu Sans Mono");
    font_.setPixelSize(12);
    image_.fill(Qt::white);
  }
  QFont font_;
  QImage image_;
};

TEST_F(MarkupPaint, ExtentsMatchTheFontAndStateIsKept) {
  QPainter p(&image_);
  p.setFont(font_);
  p.setPen(Qt::black);
  const QFontMetrics fm(font_, &image_);
  QFont bold = font_;
  bold.setBold(true);
  const QFontMetrics fmBold(bold, &image_);

  int32_t w = 0, h = 0;
  NiceLabelPaint(p, 0, 0, w, h, "Hello", 4);
  EXPECT_EQ(w, 4 + fm.horizontalAdvance("Hello") + 4);
  EXPECT_EQ(h, 4 + fm.height() + 1 + 4);
  NiceLabelPaint(p, 0, 30, w, h, "|bHello|b", 4);
  EXPECT_EQ(w, 4 + fmBold.horizontalAdvance("Hello") + 4);
  EXPECT_EQ(h, 30 + 4 + fm.height() + 1 + 4);
  int32_t mw = 0, mh = 0;
  NiceLabelMeasure(font_, mw, mh, "|bHello|b", 4);
  EXPECT_EQ(mw, w);
  EXPECT_EQ(mh, h - 30);
  // The painter's font and colour are as they were.
  EXPECT_EQ(p.font(), font_);
  EXPECT_EQ(p.pen().color(), QColor(Qt::black));
  // Even a painter with a bold font paints plain text.
  p.setFont(bold);
  NiceLabelPaint(p, 0, 60, w, h, "Hello", 4);
  EXPECT_EQ(w, 4 + fm.horizontalAdvance("Hello") + 4);
}

TEST_F(MarkupPaint, NiceLabelCaptionAndAutoSize) {
  TNiceLabel label;
  label.setFont(font_);
  label.SetCaption("one\r\ntwo\nthree");
  EXPECT_EQ(label.Caption(), "one|ntwo|nthree");
  label.SetGap(3);
  label.SetAutoSize(true);
  const QFontMetrics fm(font_);
  EXPECT_EQ(label.width(), 3 + fm.horizontalAdvance("three") + 3);
  EXPECT_EQ(label.height(), 3 + (fm.height() + 1) * 3 + 3);
}

}  // namespace
}  // namespace trovix
