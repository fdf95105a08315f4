// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/markup.h"

#include <algorithm>
#include <cstdlib>

namespace trovix {

char NiceLabelFormatChar = '\\';
int32_t NiceLabelSizeTab = 8;

const uint32_t NiceLabelColours[16] = {
    0x000000,  // 0: base colour (not a fixed colour)
    0x000080,  // 1 maroon
    0x008000,  // 2 green
    0x008080,  // 3 olive
    0x800000,  // 4 navy
    0x800080,  // 5 purple
    0x808000,  // 6 teal
    0x808080,  // 7 grey
    0xC0C0C0,  // 8 silver
    0x0000FF,  // 9 red
    0x00FF00,  // : lime
    0x00FFFF,  // ; yellow
    0xFF0000,  // < blue
    0xFF00FF,  // = fuchsia
    0xFFFF00,  // > aqua
    0xFFFFFF,  // ? white
};

namespace {

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

int32_t ChannelDistance(uint32_t a, uint32_t b) {
  int32_t d = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    d += std::abs(static_cast<int32_t>((a >> shift) & 0xFF) -
                  static_cast<int32_t>((b >> shift) & 0xFF));
  }
  return d;
}

}  // namespace

int32_t NiceLabelColourIndex(char code) {
  if (code >= '0' && code <= '?') return code - '0';
  return -1;
}

char NiceLabelNearestColour(uint32_t colour) {
  colour &= 0xFFFFFF;
  if (colour == 0) return '0';
  int32_t best = 1;
  int32_t bestDistance = ChannelDistance(colour, NiceLabelColours[1]);
  for (int32_t i = 2; i < 16; ++i) {
    const int32_t d = ChannelDistance(colour, NiceLabelColours[i]);
    if (d < bestDistance) {  // strictly nearer: a tie keeps the lower code
      best = i;
      bestDistance = d;
    }
  }
  return static_cast<char>('0' + best);
}

std::string MarkupEscape(const std::string &text, char escape) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '|' || (c == escape && c != '\\'))
      result += "\xC2\xA6";  // broken bar
    else if (c == escape)
      result += "\xE2\xA7\xB5";  // reverse solidus operator
    else if (u < 0x20 || u == 0x7F)
      result += "\xEF\xBF\xBD";  // replacement character
    else
      result += c;
  }
  return result;
}

std::string NotRespondingText(const std::string &what) {
  return what.empty() ? std::string() : "|b|1Not responding: " + MarkupEscape(what);
}

std::vector<MarkupToken> MarkupParse(const std::string &text, char escape) {
  std::vector<MarkupToken> tokens;
  size_t i = 0;
  const size_t n = text.size();
  // Every step yields a run (possibly empty) and, when an escape follows, a
  // code; drawing continues two characters after the escape.
  while (i < n) {
    const size_t j = text.find(escape, i);
    const size_t end = j == std::string::npos ? n : j;
    tokens.push_back(MarkupToken{false, 0, text.substr(i, end - i)});
    if (end >= n) break;
    const char code = end + 1 < n ? AsciiUpper(text[end + 1]) : 0;
    tokens.push_back(MarkupToken{true, code, {}});
    i = end + 2;
  }
  if (n == 0) tokens.push_back(MarkupToken{});
  return tokens;
}

std::string MarkupPlainText(const std::string &text, char escape) {
  std::string out;
  for (const MarkupToken &t : MarkupParse(text, escape)) {
    if (!t.isCode) {
      out += t.text;
    } else if (t.code == 'N') {
      out += '\n';
    } else if (t.code == 'T') {
      out += '\t';
    }
  }
  return out;
}

MarkupLayout NiceLabelLayout(const std::string &text, int32_t x, int32_t y, int32_t gap,
                             MarkupMetrics &metrics, char escape) {
  MarkupLayout layout;
  MarkupFont font;  // plain, base size
  const int32_t baseLineHeight = metrics.TextHeight(font) + 1;
  const int32_t tabWidth = metrics.TextWidth(font, "A") * NiceLabelSizeTab;
  int32_t lineHeight = baseLineHeight;
  int32_t tallest = baseLineHeight;
  int32_t penX = x + gap;
  int32_t penY = y + gap;
  int32_t tabs = 0;
  bool highlight = false;
  bool baseColour = true;
  uint32_t colour = 0;

  auto setSize = [&](int32_t num, int32_t den) {
    font.sizeNum = num;
    font.sizeDen = den;
    lineHeight = metrics.TextHeight(font);
  };

  for (const MarkupToken &t : MarkupParse(text, escape)) {
    if (!t.isCode) {
      MarkupDraw d;
      d.kind = MarkupDraw::Run;
      d.x = penX;
      d.y = penY;
      d.text = t.text;
      d.font = font;
      d.baseColour = baseColour;
      d.colour = colour;
      d.highlight = highlight;
      d.width = t.text.empty() ? 0 : metrics.TextWidth(font, t.text);
      d.height = metrics.TextHeight(font);
      penX += d.width;
      if (!t.text.empty()) layout.draws.push_back(std::move(d));
      tallest = std::max(tallest, lineHeight);
      layout.width = std::max(layout.width, penX + gap);
      continue;
    }
    const int32_t colourIndex = NiceLabelColourIndex(t.code);
    if (colourIndex == 0) {
      baseColour = true;
    } else if (colourIndex > 0) {
      baseColour = false;
      colour = NiceLabelColours[colourIndex];
    } else {
      switch (t.code) {
        case 'B': font.bold = !font.bold; break;
        case 'I': font.italic = !font.italic; break;
        case 'U': font.underline = !font.underline; break;
        case 'H': highlight = !highlight; break;
        case 'N':
          penX = x + gap;
          penY += tallest;
          tallest = 0;
          tabs = 0;
          break;
        case 'T':
          ++tabs;
          penX = x + gap + tabs * tabWidth;
          break;
        case 'D': {
          MarkupDraw d;
          d.kind = MarkupDraw::Triangle;
          d.x = penX;
          d.y = penY;
          d.side = lineHeight * 3 / 8;
          d.base = penY + lineHeight * 4 / 5;
          d.baseColour = baseColour;
          d.colour = colour;
          d.font = font;
          penX += 2 * d.side + 1;
          layout.draws.push_back(std::move(d));
          break;
        }
        case ']': setSize(2, 1); break;
        case '|': setSize(3, 2); break;
        case '^': setSize(2, 3); break;
        case '[':
          font.sizeNum = 1;
          font.sizeDen = 1;
          lineHeight = baseLineHeight;
          break;
        default: break;  // unknown codes are consumed
      }
    }
  }
  layout.height = penY + tallest + gap;
  return layout;
}

std::string NiceLabelLineBreaks(const std::string &text, char escape) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n') {
      out += escape;
      out += 'n';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace trovix
