// SPDX-License-Identifier: GPL-3.0-or-later
// The compare merge: line splitting, sections, summary, strip geometry, and
// the indexed resync search checked against a plain line-by-line merge.
#include "compare/text_compare.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "dialogs/options.h"
#include "foundation/strings.h"

namespace trovix {
namespace {

// ---- The merge written out line by line, as the reference -------------------------

namespace ref {

std::vector<std::string> Split(const std::string &text) {
  std::vector<std::string> lines(1);
  for (size_t k = 0; k < text.size(); ++k) {
    if (text[k] == '\r' || text[k] == '\n') {
      if (text[k] == '\r' && k + 1 < text.size() && text[k + 1] == '\n') ++k;
      lines.emplace_back();
    } else {
      lines.back() += text[k];
    }
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

int32_t FindResync(const std::vector<std::string> &X, int32_t x, const std::vector<std::string> &Y,
                   int32_t y, int32_t T) {
  const int32_t nx = static_cast<int32_t>(X.size()), ny = static_cast<int32_t>(Y.size());
  for (int32_t p = x; p < nx; ++p) {
    int32_t k = p, m = y;
    for (;;) {
      if (k >= nx) break;
      if (m >= ny) return p;
      if (!StrSame(X[k], Y[m])) break;
      if (k - p >= T) return p;
      ++k;
      ++m;
    }
  }
  return -1;
}

struct Merged {
  std::vector<std::string> lines;
  std::vector<uint8_t> kinds;
  std::vector<CompareSection> sections;
  uint8_t last = 3;

  void Add(const std::string &line, uint8_t k) {
    if (k != last) {
      if ((last == 1 || last == 2) && !sections.empty()) {
        sections.back().EndLine = static_cast<int32_t>(lines.size());
      }
      if (k == 1 || k == 2) sections.push_back({static_cast<int32_t>(lines.size()), -1, k});
      last = k;
    }
    lines.push_back(line);
    kinds.push_back(k);
  }
};

Merged Merge(const std::string &textA, const std::string &textB) {
  const std::vector<std::string> A = Split(textA), B = Split(textB);
  const int32_t na = static_cast<int32_t>(A.size()), nb = static_cast<int32_t>(B.size());
  Merged out;
  int32_t i = 0, j = 0;
  while (i < na || j < nb) {
    if (i >= na) {
      out.Add(B[j++], 2);
    } else if (j >= nb) {
      out.Add(A[i++], 1);
    } else if (StrSame(A[i], B[j])) {
      out.Add(A[i++], 0);
      ++j;
    } else {
      int32_t r = FindResync(A, i, B, j, OptionCompareThreshold());
      if (r >= 0) {
        while (i < r) out.Add(A[i++], 1);
        continue;
      }
      r = FindResync(B, j, A, i, OptionCompareThreshold());
      if (r >= 0) {
        while (j < r) out.Add(B[j++], 2);
        continue;
      }
      out.Add(A[i++], 1);
    }
  }
  return out;
}

}  // namespace ref

std::vector<std::string> Strings(const std::vector<std::string_view> &views) {
  return {views.begin(), views.end()};
}

// The merge of two texts, kept with them (its lines point into them).
struct Merged : CompareResult {
  std::string a, b;
};
Merged Merge(std::string a, std::string b) {
  Merged r;
  r.a = std::move(a);
  r.b = std::move(b);
  CompareMerge(r.a, r.b, r);
  return r;
}

class TextCompare : public ::testing::Test {
 protected:
  void SetUp() override { SetOptionCompareThreshold(3); }
  void TearDown() override { SetOptionCompareThreshold(3); }
};

// ---- Lines -------------------------------------------------------------------------

TEST_F(TextCompare, SplitAtEveryLineEndAndDropsTrailingEmptyLines) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Strings(CompareSplitLines("a\r\nb\rc\nd")), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(Strings(CompareSplitLines("a\n\rb")), (V{"a", "", "b"}));  // LF then CR: two ends
  EXPECT_EQ(Strings(CompareSplitLines("x\n\n y\n\n\r\n\r")), (V{"x", "", " y"}));
  EXPECT_TRUE(CompareSplitLines("").empty());
  EXPECT_TRUE(CompareSplitLines("\r\n\n\r").empty());
  // A NUL is an ordinary byte.
  EXPECT_EQ(Strings(CompareSplitLines(std::string("a\0b\n", 4))), (V{std::string("a\0b", 3)}));
}

// ---- Merge -------------------------------------------------------------------------

TEST_F(TextCompare, SectionsOfSmallMerges) {
  using S = std::vector<CompareSection>;
  const struct {
    const char *name;
    std::string a, b;
    S sections;
  } cases[] = {
      {"case only and trailing empty lines", "Alpha\nBETA\n\n\n", "alpha\r\nbeta", {}},
      {"no case folding above 127", "\xC3\xA9", "\xC3\x89", {{0, 1, ckFirst}, {1, -1, ckSecond}}},
      {"an extra line", "a\nx\nb\nc\nd\ne", "a\nb\nc\nd\ne", {{1, 2, ckFirst}}},
      {"a changed line",
       "a\nx\nc\nd\ne\nf",
       "a\ny\nc\nd\ne\nf",
       {{1, 2, ckFirst}, {2, 3, ckSecond}}},
      // The shared "c" is shorter than threshold + 1 and ends both texts: no resync.
      {"short common tail", "x\ny\nc", "z\nc", {{0, 3, ckFirst}, {3, -1, ckSecond}}},
      {"longer second text", "a\nb", "a\nb\nc\nd", {{2, -1, ckSecond}}},
      {"both empty", "", "\n", {}},
      {"first empty", "", "q", {{0, -1, ckSecond}}},
      {"second empty", "q", "", {{0, -1, ckFirst}}},
  };
  for (const auto &c : cases) EXPECT_EQ(Merge(c.a, c.b).Sections, c.sections) << c.name;
  // Shared lines show their first spelling; a changed line shows both, first then second.
  using V = std::vector<std::string>;
  EXPECT_EQ(Strings(Merge("Alpha\nBETA\n\n\n", "alpha\r\nbeta").Lines), (V{"Alpha", "BETA"}));
  EXPECT_EQ(Strings(Merge("a\nx\nc\nd\ne\nf", "a\ny\nc\nd\ne\nf").Lines),
            (V{"a", "x", "y", "c", "d", "e", "f"}));
  EXPECT_TRUE(Merge("", "\n").Lines.empty());
}

TEST_F(TextCompare, NamesCannotInjectMarkup) {
  EXPECT_EQ(CompareSummaryText(1, "a|1b", "c"),
            "|b1 differing sections: |<a\xC2\xA6"
            "1b |2c");
}

// ---- Strip and stepping ------------------------------------------------------------

TEST_F(TextCompare, StripGeometry) {
  // 1000 lines on 300 pixels: lines 100..150 cover y 30 to 46 (one pixel more).
  EXPECT_EQ(CompareSectionRect({100, 150, 1}, 12, 300, 1000), (CompareStripRect{6, 30, 12, 46}));
  // An open section reaches the bottom.
  EXPECT_EQ(CompareSectionRect({2, -1, 2}, 12, 400, 4), (CompareStripRect{6, 200, 12, 400}));
  EXPECT_EQ(CompareCaretY(500, 300, 1000), 150);
  EXPECT_EQ(CompareCaretY(3, 300, 0), 0);
  EXPECT_EQ(CompareLineAtY(150, 300, 1000), 500);
  // Outside the strip (a drag past its ends) stays inside the text.
  EXPECT_EQ(CompareLineAtY(-20, 300, 1000), 0);
  EXPECT_EQ(CompareLineAtY(300, 300, 1000), 999);
  EXPECT_EQ(CompareLineAtY(10, 0, 1000), 0);
  // Large texts do not overflow.
  EXPECT_EQ(CompareSectionRect({2'000'000'000, -1, 2}, 12, 4000, 2'100'000'000).Top, 3809);
}

TEST_F(TextCompare, PreviousAndNextSection) {
  const std::vector<CompareSection> s = {{2, 4, 1}, {10, 12, 2}, {20, -1, 1}};
  EXPECT_EQ(CompareNextSection(s, 0), 0);
  EXPECT_EQ(CompareNextSection(s, 2), 1);    // strictly after the caret
  EXPECT_EQ(CompareNextSection(s, 20), -1);  // after the last: beep
  EXPECT_EQ(ComparePrevSection(s, 11), 1);   // inside a section: its own first line
  EXPECT_EQ(ComparePrevSection(s, 10), 0);
  EXPECT_EQ(ComparePrevSection(s, 2), -1);
  EXPECT_EQ(CompareNextSection({}, 0), -1);
}

// ---- The indexed search against the line-by-line one -------------------------------

// A random text over a few short lines, with every kind of line end.
std::string RandomText(std::mt19937 &rng, const std::vector<std::string> &words, int maxLines) {
  static const char *ends[] = {"\n", "\r\n", "\r", "\n"};
  std::string text;
  const int lines = std::uniform_int_distribution<int>(0, maxLines)(rng);
  for (int k = 0; k < lines; ++k) {
    text += words[rng() % words.size()];
    if (k + 1 < lines || rng() % 2) text += ends[rng() % 4];
  }
  return text;
}

// The text with a few lines changed, dropped, inserted or re-cased.
std::string Mutate(std::mt19937 &rng, const std::string &text,
                   const std::vector<std::string> &words) {
  std::vector<std::string> lines = ref::Split(text);
  const int edits = std::uniform_int_distribution<int>(0, 4)(rng);
  for (int e = 0; e < edits; ++e) {
    const size_t at = lines.empty() ? 0 : rng() % (lines.size() + 1);
    switch (rng() % 4) {
      case 0: lines.insert(lines.begin() + at, words[rng() % words.size()]); break;
      case 1:
        if (at < lines.size()) lines.erase(lines.begin() + at);
        break;
      case 2:
        if (at < lines.size()) lines[at] = words[rng() % words.size()];
        break;
      default:
        if (at < lines.size()) {
          for (char &c : lines[at]) c = LoCase(c) == c ? UpCase(c) : LoCase(c);
        }
    }
  }
  std::string out;
  for (const std::string &line : lines) out += line + "\n";
  if (rng() % 3 == 0) out += "\n\n";
  return out;
}

TEST_F(TextCompare, MergeEqualsLineByLineMergeOnRandomTexts) {
  std::mt19937 rng(20261207);
  const std::vector<std::vector<std::string>> alphabets = {
      {"a", "b"}, {"a", "A", "b", ""}, {"x", "y", "z", "X", "", "yy"}, {"p", "q", "r", "s", "t"}};
  int resyncs = 0;
  for (int round = 0; round < 30000; ++round) {
    const auto &words = alphabets[round % alphabets.size()];
    const std::string a = RandomText(rng, words, round % 7 == 0 ? 60 : 16);
    const std::string b = rng() % 3 ? Mutate(rng, a, words) : RandomText(rng, words, 16);
    SetOptionCompareThreshold(1 + static_cast<int>(rng() % 4));
    const ref::Merged want = ref::Merge(a, b);
    CompareResult got;
    CompareMerge(a, b, got);
    ASSERT_EQ(Strings(got.Lines), want.lines) << "A=" << a << "|B=" << b;
    ASSERT_EQ(got.Kinds, want.kinds) << "A=" << a << "|B=" << b;
    ASSERT_EQ(got.Sections, want.sections) << "A=" << a << "|B=" << b;
    ASSERT_EQ(got.LastLineKind, want.last);
    resyncs += static_cast<int>(got.Sections.size());
  }
  EXPECT_GT(resyncs, 30000);
}

TEST_F(TextCompare, FinderEqualsLineByLineSearchInAnyOrder) {
  // Searches in random order and with changing thresholds exercise the
  // remembered answers near the end of Y.
  std::mt19937 rng(7);
  const std::vector<std::string> words = {"a", "b", "B", "c"};
  int found = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::vector<std::string> A = ref::Split(RandomText(rng, words, 25));
    const std::vector<std::string> B = ref::Split(RandomText(rng, words, 25));
    const std::vector<std::string_view> a(A.begin(), A.end()), b(B.begin(), B.end());
    TResyncFinder finder(a, b);
    int32_t t = 1 + static_cast<int32_t>(rng() % 4);
    for (int q = 0; q < 40; ++q) {
      if (rng() % 10 == 0) t = 1 + static_cast<int32_t>(rng() % 4);
      const bool aFirst = rng() % 2;
      const auto &X = aFirst ? A : B;
      const auto &Y = aFirst ? B : A;
      const int32_t x = static_cast<int32_t>(rng() % (X.size() + 1));
      const int32_t y = static_cast<int32_t>(rng() % (Y.size() + 1));
      const int32_t want = ref::FindResync(X, x, Y, y, t);
      ASSERT_EQ(finder.Find(aFirst, x, y, t), want) << round << " " << q;
      found += want >= 0;
    }
  }
  EXPECT_GT(found, 10000);
}

}  // namespace
}  // namespace trovix
