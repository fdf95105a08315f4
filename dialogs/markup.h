// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Inline markup of messages, prompts and labels: an escape character followed
// by a one-character code switches colour, weight, size and line layout
// inside one string ("|b|4Copy or Move?"). This unit parses the markup and
// lays it out against abstract font metrics, so the arithmetic of the painter
// is testable without a display; markup_ui.h paints the result with QPainter.
//
// Codes (letters in either case):
//   0        font colour back to the colour the painting started with
//   1..9 : ; < = > ?   font colour from NiceLabelColours
//   B I U    toggle bold, italic, underline
//   H        toggle highlight (inverse) mode
//   N        new line          T  next tab stop
//   D        outlined upward triangle
//   ]  size x 2    |  size x 3/2    ^  size x 2/3    [  base size
// Sizes are always relative to the base size, never cumulative. Any other
// code character is consumed and ignored.
#include <cstdint>
#include <string>
#include <vector>

namespace trovix {

// The escape character in force; backslash until the main window switches
// it to "|". Texts are interpreted with the value in force when painted.
extern char NiceLabelFormatChar;
// A tab stop is this many times the width of "A" in the starting font.
extern int32_t NiceLabelSizeTab;

// Colours as 0x00BBGGRR, indexed by code - '0'; entry 0 (the base colour)
// is black here and never used for painting.
extern const uint32_t NiceLabelColours[16];

// Index 1..15 of a colour code character, 0 for "0", -1 for any other.
int32_t NiceLabelColourIndex(char code);
// The code whose table colour is nearest (sum of absolute channel
// differences); colour 0 gives '0'; on a tie the lower code wins.
char NiceLabelNearestColour(uint32_t colour);

// Frame kinds of PaintBorder and TNiceLabel.
enum TBorder { bNone, bLowered, bRaised };

// ---- Parsing ------------------------------------------------------------------

// One piece of a markup string: a run of plain text or a code. A run may be
// empty (between two codes); it still counts as a run for the line metrics.
struct MarkupToken {
  bool isCode = false;
  char code = 0;     // upper-cased code character (0 when the escape ends the text)
  std::string text;  // the run's bytes
};

std::vector<MarkupToken> MarkupParse(const std::string &text, char escape = NiceLabelFormatChar);

// The text without codes: new lines become '\n', tabs '\t', triangles and
// other codes vanish. For window titles and accessible names.
std::string MarkupPlainText(const std::string &text, char escape = NiceLabelFormatChar);

// Outside text (a file name, a path, a system message) made safe to put into
// markup: "|" and the escape character in force become look-alikes that are
// no code (U+00A6 broken bar; U+29F5 reverse solidus operator for a
// backslash escape), and each control character (a line
// feed would break the line) becomes U+FFFD. Everything else stays as it is.
std::string MarkupEscape(const std::string &text, char escape = NiceLabelFormatChar);

// The status bar's markup for a folder, file or command that has not
// answered for a while ("Not responding: " and what, escaped); empty for an
// empty what.
std::string NotRespondingText(const std::string &what);

// ---- Layout -------------------------------------------------------------------

// The font state at a run: style flags and the size as a fraction of the
// base size.
struct MarkupFont {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int32_t sizeNum = 1;
  int32_t sizeDen = 1;
  bool operator==(const MarkupFont &) const = default;
};

// Measures text in the painter's font turned into a MarkupFont.
class MarkupMetrics {
 public:
  virtual ~MarkupMetrics() = default;
  virtual int32_t TextWidth(const MarkupFont &font, const std::string &text) = 0;
  // Height of a line of text ("Ag") in the font.
  virtual int32_t TextHeight(const MarkupFont &font) = 0;
};

// One thing to draw, at absolute coordinates.
struct MarkupDraw {
  enum Kind { Run, Triangle } kind = Run;
  int32_t x = 0, y = 0;
  std::string text;  // Run: the bytes
  MarkupFont font;
  bool baseColour = true;  // colour: the starting colour, else `colour`
  uint32_t colour = 0;     // 0x00BBGGRR
  bool highlight = false;  // Run: box filled with the colour, text in the background's
  int32_t width = 0;       // Run: text box size
  int32_t height = 0;
  // Triangle: corners (x, base), (x + side, base - 2 side), (x + 2 side, base).
  int32_t side = 0;
  int32_t base = 0;
};

struct MarkupLayout {
  std::vector<MarkupDraw> draws;
  int32_t width = 0;   // right edge covered plus the gap, from the origin 0
  int32_t height = 0;  // bottom edge covered plus the gap, from the origin 0
};

// Lays text out with its top-left corner at (x, y) and a margin of gap
// pixels. The extent includes x and y, so painting at (60, 8) returns the
// right and bottom edges measured from 0.
MarkupLayout NiceLabelLayout(const std::string &text, int32_t x, int32_t y, int32_t gap,
                             MarkupMetrics &metrics, char escape = NiceLabelFormatChar);

// Turns line feeds into new-line codes (a CR LF pair becomes one code), as a
// label's caption does before it is shown.
std::string NiceLabelLineBreaks(const std::string &text, char escape = NiceLabelFormatChar);

}  // namespace trovix
