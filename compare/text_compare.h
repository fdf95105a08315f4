// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The line-by-line merge of two texts behind the compare window, kept free of
// the window so tests reach it directly: splitting into lines, the merge into
// shared, first-only and second-only lines, the differing sections, the
// summary, and the geometry of the overview strip.
//
// Lines are equal when StrSame says so (ASCII letters ignoring case). Where
// the texts disagree, the merge looks for the first place from which they
// agree again for threshold + 1 lines (OptionCompareThreshold, read at every
// such search) and reports the skipped lines as one-sided.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trovix {

// Kind of a merged line; ckNone only as LastLineKind before the first line.
enum TCompareKind : uint8_t { ckShared = 0, ckFirst = 1, ckSecond = 2, ckNone = 3 };

// One differing section of the merged text: lines [FirstLine, EndLine), or to
// the end of the text when EndLine is -1 (a section still open at the end).
struct CompareSection {
  int32_t FirstLine = 0;
  int32_t EndLine = -1;
  uint8_t Kind = ckFirst;  // ckFirst or ckSecond
  bool operator==(const CompareSection &) const = default;
};

// The text's lines: CR LF, a lone CR and a lone LF each end one line; empty
// lines at the end are dropped, so an empty text has no lines. The views
// point into text.
std::vector<std::string_view> CompareSplitLines(std::string_view text);

// The merged text of one compare. Lines are views into the two texts given
// to CompareMerge and live only as long as those.
struct CompareResult {
  std::vector<std::string_view> Lines;
  std::vector<uint8_t> Kinds;  // TCompareKind of each line
  std::vector<CompareSection> Sections;
  uint8_t LastLineKind = ckNone;

  // Appends a line of kind, opening and closing sections as the kind changes.
  void AddLine(std::string_view line, uint8_t kind);
  void Clear();
};

// Merges the lines of textA and textB. Shared lines show textA's spelling.
void CompareMerge(std::string_view textA, std::string_view textB, CompareResult &result);

// The resync search over two line arrays A and B. FindResync (X, x, Y, y)
// gives the first position p >= x of X from which X and Y (from y) agree for
// threshold + 1 lines, or agree up to the end of Y with X still having a line
// left after them; -1 when there is none.
//
// Lines are numbered by their StrSame class, and X is indexed by a hash of
// each window of threshold + 1 lines, so a search only tries the positions
// where that window equals Y's; near the end of Y (fewer lines left than the
// window) it tries the positions whose first line equals Y[y], remembering
// the last answer for each y. The answer is always the first p that the
// line-by-line search would find.
class TResyncFinder {
 public:
  TResyncFinder(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b);
  ~TResyncFinder();
  TResyncFinder(const TResyncFinder &) = delete;
  TResyncFinder &operator=(const TResyncFinder &) = delete;

  // A[i] and B[j] are StrSame.
  bool Same(int32_t i, int32_t j) const;
  // FindResync (A, x, B, y) for aFirst, else FindResync (B, x, A, y).
  int32_t Find(bool aFirst, int32_t x, int32_t y, int32_t threshold);

 private:
  struct Side;
  struct Index;
  int32_t FindWindow(Side &X, const Side &Y, int32_t x, int32_t y, int32_t length);
  int32_t FindTail(Side &X, const Side &Y, int32_t x, int32_t y, int32_t length, int32_t threshold);
  Side *a_;
  Side *b_;
};

// "|bIdentical" without sections; else "|b" + the count + " differing
// sections: |<" + nameA + " |2" + nameB. The names are shown as they are:
// a markup escape in them is replaced by a broken bar.
std::string CompareSummaryText(int32_t sectionCount, const std::string &nameA,
                               const std::string &nameB);

// ---- The overview strip --------------------------------------------------------
// The strip maps lineCount lines onto its height. Rectangles are half-open:
// [Left, Right) x [Top, Bottom).

struct CompareStripRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const CompareStripRect &) const = default;
};

inline constexpr int32_t CompareStripWidth = 12;
inline constexpr int32_t CompareStripMarkerWidth = 6;  // sections are painted right of it

// The strip rectangle of a section; an open section reaches the bottom.
CompareStripRect CompareSectionRect(const CompareSection &section, int32_t width, int32_t height,
                                    int32_t lineCount);
// The y of the caret marker's tip for the caret on caretLine; 0 without lines.
int32_t CompareCaretY(int32_t caretLine, int32_t height, int32_t lineCount);
// The line under strip position y, kept inside the text (0 without lines).
int32_t CompareLineAtY(int32_t y, int32_t height, int32_t lineCount);

// Index of the last section starting before caretLine (previous), or of the
// first starting after it (next); -1 when there is none.
int32_t ComparePrevSection(const std::vector<CompareSection> &sections, int32_t caretLine);
int32_t CompareNextSection(const std::vector<CompareSection> &sections, int32_t caretLine);

}  // namespace trovix
