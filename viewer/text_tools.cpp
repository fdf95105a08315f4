// SPDX-License-Identifier: GPL-3.0-or-later
#include "viewer/text_tools.h"

#include <algorithm>
#include <vector>

#include "foundation/string_arrays.h"
#include "foundation/strings.h"
#include "viewer/view_text.h"

namespace trovix {

int64_t Bookmark = 0;

namespace {

bool IsBreak(char c) { return c == '\n' || c == '\r'; }
bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The start of the line after the break at i (CR LF counts as one break).
size_t AfterBreak(const std::string &s, size_t i) {
  if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') return i + 2;
  return i + 1;
}

// The first position of the line holding pos.
size_t LineStart(const std::string &s, size_t pos) {
  while (pos > 0 && !IsBreak(s[pos - 1])) --pos;
  return pos;
}

// The first position of the line after the one holding pos, or npos.
size_t NextLineStart(const std::string &s, size_t pos) {
  while (pos < s.size() && !IsBreak(s[pos])) ++pos;
  if (pos >= s.size()) return std::string::npos;
  return AfterBreak(s, pos);
}

}  // namespace

std::string EnterIndent(const std::string &text, size_t caret) {
  caret = std::min(caret, text.size());
  size_t p = LineStart(text, caret);
  std::string indent;
  while (p < caret && (text[p] == ' ' || text[p] == '\t')) indent += text[p++];
  return indent;
}

bool HexAsciiConvert(const std::string &selection, std::string &result) {
  int32_t n = StrToBytes(selection, nullptr, 0);
  if (n < 0) return false;
  std::vector<char> bytes(static_cast<size_t>(n) + 1);
  StrToBytes(selection, bytes.data(), n);
  if (selection.find('"') != std::string::npos) {
    result = BlockToHex(bytes.data(), -n);
    // The editor's lines end in "\n".
    result.erase(std::remove(result.begin(), result.end(), '\r'), result.end());
  } else {
    result = BlockToHexASCII(bytes.data(), n);
  }
  return true;
}

std::string TabsToSpaces(const std::string &s, int t) {
  t = std::max(t, 1);
  std::string out;
  out.reserve(s.size());
  int64_t c = 0;
  for (char b : s) {
    if (b == '\t') {
      do {
        out += ' ';
        ++c;
      } while (c % t != 0);
    } else if (IsBreak(b)) {
      out += b;
      c = 0;
    } else {
      out += b;
      if (static_cast<unsigned char>(b) >= 32 && !IsContinuation(b)) ++c;
    }
  }
  return out;
}

std::string SpacesToTabs(const std::string &s, int t) {
  t = std::max(t, 1);
  std::string out;
  out.reserve(s.size());
  int64_t c = 0, o = 0;
  auto pending = [&] {
    while (o / t < c / t) {
      out += '\t';
      o = (o / t + 1) * t;
    }
    while (o < c) {
      out += ' ';
      ++o;
    }
  };
  for (char b : s) {
    if (b == ' ') {
      ++c;
    } else if (b == '\t') {
      do ++c;
      while (c % t != 0);
    } else if (IsBreak(b)) {
      out += b;
      c = o = 0;
    } else {
      pending();
      out += b;
      if (static_cast<unsigned char>(b) >= 32 && !IsContinuation(b)) {
        ++c;
        ++o;
      }
    }
  }
  return out;
}

std::string TabsSpacesConvert(const std::string &s, int t) {
  return s.find('\t') != std::string::npos ? TabsToSpaces(s, t) : SpacesToTabs(s, t);
}

bool IsWordChar(char c) { return IsAlpha(c) || IsDigit(c) || c == '_'; }

void WordAround(const std::string &text, size_t caret, size_t &start, size_t &end) {
  caret = std::min(caret, text.size());
  start = caret;
  while (start > 0 && IsWordChar(text[start - 1])) --start;
  end = caret;
  while (end < text.size() && IsWordChar(text[end])) ++end;
}

TIndentResult IndentLines(const std::string &text, size_t selStart, size_t selLength, bool outdent,
                          const std::function<bool()> &askTab) {
  TIndentResult r;
  selStart = std::min(selStart, text.size());
  size_t lastPos = selLength > 0 ? std::min(selStart + selLength - 1, text.size()) : selStart;
  r.start = LineStart(text, selStart);
  size_t next = NextLineStart(text, std::max(lastPos, r.start));
  r.end = next == std::string::npos ? text.size() : next;
  const std::string block = text.substr(r.start, r.end - r.start);
  char indent = 0;
  size_t line = 0;
  for (;;) {
    bool hasBlank = line < block.size() && (block[line] == '\t' || block[line] == ' ');
    if (outdent) {
      size_t from = hasBlank ? line + 1 : line;
      size_t stop = NextLineStart(block, line);
      r.replacement.append(block, from, (stop == std::string::npos ? block.size() : stop) - from);
      if (stop == std::string::npos || stop >= block.size()) break;
      line = stop;
      continue;
    }
    if (indent == 0) {
      if (hasBlank)
        indent = block[line];
      else
        indent = askTab && askTab() ? '\t' : ' ';
    }
    r.replacement += indent;
    size_t stop = NextLineStart(block, line);
    r.replacement.append(block, line, (stop == std::string::npos ? block.size() : stop) - line);
    if (stop == std::string::npos || stop >= block.size()) break;
    line = stop;
  }
  return r;
}

int64_t ExchangeWithBookmark(int64_t caret, int64_t textLength) {
  int64_t target = std::clamp<int64_t>(Bookmark, 0, std::max<int64_t>(textLength, 0));
  Bookmark = caret;
  return target;
}

std::string MixupText(const std::string &selection, uint32_t &hash) {
  hash = CrunchString(selection);
  std::string out;
  out.reserve(selection.size());
  uint32_t index = 0;
  for (size_t i = 0; i < selection.size();) {
    char32_t c = NextCodePoint(selection, i);
    ++index;
    if (c == '\n') {  // a line break of the editor stays where it is
      out += '\n';
      continue;
    }
    if (c == kMarkCR)
      c = '\r';
    else if (c == kMarkLF)
      c = '\n';
    if (c < 0x100) c = c ^ 15 ^ (index & 255);
    if (c == '\r')
      c = kMarkCR;
    else if (c == '\n')
      c = kMarkLF;
    AppendUtf8(out, c);
  }
  return out;
}

std::string WordsStatusText(const std::string &selection) {
  return "|b|2" + NumToStrCommas(StrCountWord(selection)) + " words";
}

std::string LineStatusText(int64_t line, int64_t lines) {
  return "|b|4Line " + NumToStrCommas(line) + " / " + NumToStrCommas(lines);
}

int64_t LineOfPosition(const std::string &text, size_t pos) {
  pos = std::min(pos, text.size());
  int64_t line = 1;
  for (size_t i = 0; i < pos; ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n')))
      ++line;
  }
  return line;
}

int64_t LineCount(const std::string &text) { return LineOfPosition(text, text.size()); }

}  // namespace trovix
