// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text view's editing tools, on the editor's text as UTF-8 bytes with
// positions counted in bytes from 0. A CR LF pair, a lone LF and a lone CR
// each end one line; a character of several UTF-8 bytes takes one column.
#include <cstdint>
#include <functional>
#include <string>

namespace trovix {

// The blanks that Enter copies to the new line: the run of spaces and tabs
// at the start of the caret's line, no further than the caret.
std::string EnterIndent(const std::string &text, size_t caret);

// "Hex <-> Ascii/Hex": a selection holding a double quote becomes the plain
// hex dump (16 bytes a line, "\n" between lines), any other the mixed form of
// quoted text and hex bytes. False when the selection does not parse.
bool HexAsciiConvert(const std::string &selection, std::string &result);

// Tabs to spaces and back with tab size t.
std::string TabsToSpaces(const std::string &s, int t);
std::string SpacesToTabs(const std::string &s, int t);
// "Tabs <-> Spaces": TabsToSpaces when s holds a tab, else SpacesToTabs.
std::string TabsSpacesConvert(const std::string &s, int t);

// A word character: A..Z, a..z, 0..9 and "_".
bool IsWordChar(char c);
// The word around the caret: [start, end), empty (start = end = caret) when
// there is none.
void WordAround(const std::string &text, size_t caret, size_t &start, size_t &end);

// Indent or outdent the lines that the selection touches. The range
// [start, end) of text is replaced by replacement. askTab is asked once,
// when indenting and the first line starts with neither a tab nor a space:
// true gives a tab, false a space.
struct TIndentResult {
  size_t start = 0;
  size_t end = 0;
  std::string replacement;
};
TIndentResult IndentLines(const std::string &text, size_t selStart, size_t selLength, bool outdent,
                          const std::function<bool()> &askTab);

// The process-wide bookmark of "Exchange with Bookmark".
extern int64_t Bookmark;
// Swaps caret and bookmark; returns the new caret (no further than textLength).
int64_t ExchangeWithBookmark(int64_t caret, int64_t textLength);

// "Crunch then Mixup selection": the selection scrambled character by
// character (characters below 256 by Mixup's exclusive-or; line breaks stay,
// a CR or LF that the exclusive-or makes is kept as a marker character), so
// that applying
// it again gives the selection back; hash = CrunchString of the selection.
std::string MixupText(const std::string &selection, uint32_t &hash);

// Status texts.
std::string WordsStatusText(const std::string &selection);
std::string LineStatusText(int64_t line, int64_t lines);
// The line (from 1) holding position pos, and the number of lines.
int64_t LineOfPosition(const std::string &text, size_t pos);
int64_t LineCount(const std::string &text);

}  // namespace trovix
