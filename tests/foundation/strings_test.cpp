// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/strings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <random>

using namespace trovix;

namespace {

// Runs a parse with StrError cleared first; returns whether it was raised.
template <typename F>
bool Fails(F parse) {
  StrError = false;
  parse();
  bool failed = StrError;
  StrError = false;
  return failed;
}

// Rows of {result, expected}; a failure names its row.
using Text = std::pair<std::string, std::string>;
using Num = std::pair<int64_t, int64_t>;
template <typename Row>
void Rows(std::initializer_list<Row> rows) {
  for (size_t i = 0; i < rows.size(); ++i)
    EXPECT_EQ(rows.begin()[i].first, rows.begin()[i].second) << "row " << i;
}

// s after the in-place edit(s).
template <typename F>
std::string Edited(std::string s, F edit) {
  edit(s);
  return s;
}

}  // namespace

TEST(Strings, CharactersAndCase) {
  EXPECT_FALSE(IsAlpha('\xE9'));
  EXPECT_EQ(UpCase('\xE9'), '\xE9');  // bytes above 127 never change case
  EXPECT_EQ(UpCase('['), '[');
  Rows<Text>({{UpperCase("ab\xE9z1"), "AB\xE9Z1"},
              {ChangeCase("hello world"), "Hello World"},
              {ChangeCase("Hello World"), "HELLO WORLD"},
              {ChangeCase("HELLO WORLD"), "hello world"},
              {ChangeCase("abc1def"), "Abc1Def"},
              {ChangeCase(""), ""}});
}

TEST(Strings, SearchAndReplace) {
  Rows<Num>({{StrPos(1, "", "abc"), 1},
             {StrPos(3, "x", "ab"), 0},
             {StrPos(1, "LL", "hello"), 3},
             {StrPos(4, "l", "hello"), 4},
             {StrPos(1, "hello!", "hello"), 0},
             {StrPos(INT_MAX, "a", "a"), 0},
             {StrPos(1, "\xE9", "\xC9"), 0},
             {StrPosChLast('a', "aXa"), 3},
             {StrPosChLast('a', ""), 0},
             {StrPosWild(1, "a#c", "xxA5c"), 3},
             {StrPosWild(1, "??", "a"), 0},
             {StrPosWild(1, "a?b", "a\tb"), 0},
             {StrPosWild(1, "a?b",
                         "xa\xFF"
                         "b"),
              2},
             {StrPosWild(5, "", "ab"), 5},
             {StrPosWild(3, "a", "ab"), 0},
             {StrPosWild(1, "aab", "aaab"), 2},
             {StrCountWord("  it's 42-nd, ok "), 5},
             {StrCountWord(""), 0}});

  auto subs = [](std::string s, const char *find, const char *by) {
    return Edited(s, [&](std::string &t) { StrSubs(t, find, by); });
  };
  Rows<Text>({{subs("aaab", "ab", "b"), "b"},  // searching again from the start cascades
                                               // Inputs the callers must not pass still end, with
                                               // each original occurrence replaced once.
              {subs("a-a", "a", "AA"), "AA-AA"},
              {subs("abc", "", "x"), "abc"}});
}

// Input that would make repeated replacing run for ever or grow without end
// stops at a limit with StrError raised; ordinary input is untouched by it.
TEST(Strings, SubsIsBoundedInTimeAndSize) {
  // Sanitized builds run several times slower; there the time only has to
  // stay bounded.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  constexpr auto kBound = std::chrono::seconds(30);
#else
  constexpr auto kBound = std::chrono::seconds(5);
#endif
  auto start = std::chrono::steady_clock::now();
  std::string cycle = "aaba";  // each replacement makes a new occurrence further on
  EXPECT_TRUE(Fails([&] { StrSubs(cycle, "aba", "baab"); }));
  EXPECT_LE(cycle.size(), 16u * 1024 * 1024);

  std::string doubling = std::string(60, 'a') + "b";  // 2^60 b's if left alone
  EXPECT_TRUE(Fails([&] { StrSubs(doubling, "ab", "bba"); }));
  EXPECT_LE(doubling.size(), 16u * 1024 * 1024);
  EXPECT_EQ(StrCountChar(doubling, 'a'), 60);  // stopped at a state of the replacing
  // Few replacements, each growing the text by 1 MiB: cut at 16 MiB, whether
  // or not the replacement holds the find text.
  for (const std::string &by : {std::string(1 << 20, 'y'), "x" + std::string(1 << 20, 'y')}) {
    std::string grown(20, 'x');
    EXPECT_TRUE(Fails([&] { StrSubs(grown, "x", by); }));
    EXPECT_LE(grown.size(), 16u * 1024 * 1024);
    EXPECT_GT(grown.size(), 14u * 1024 * 1024);
  }

  // The same pattern on few a's finishes, with the full cascade.
  std::string few = "aaab";
  EXPECT_FALSE(Fails([&] { StrSubs(few, "ab", "bba"); }));
  EXPECT_EQ(few, std::string(8, 'b') + "aaa");
  // A long text with many replacements is neither cut nor slow.
  std::string big;
  for (int i = 0; i < 200000; ++i) big += "x\r\n";
  EXPECT_FALSE(Fails([&] { StrSubs(big, "\r\n", "\n"); }));
  EXPECT_EQ(big.size(), 400000u);
  EXPECT_EQ(big.substr(0, 4), "x\nx\n");
  std::string sorted = "aaaabbbb";  // a quadratic number of swaps, within bounds
  EXPECT_FALSE(Fails([&] { StrSubs(sorted, "ab", "ba"); }));
  EXPECT_EQ(sorted, "bbbbaaaa");
  EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);

  // Against the plain loop (replace the first occurrence, search again from
  // the start) on random short texts, wherever that loop ends within bounds.
  std::mt19937 random(7);
  auto word = [&](int maxLength) {
    std::string w(random() % maxLength, 'a');
    for (char &c : w) c = "abAB"[random() % 4];
    return w;
  };
  for (int round = 0; round < 3000; ++round) {
    std::string text = word(12), find = word(3) + "a", by = word(4);
    if (StrPos(1, find, by) != 0) continue;
    std::string plain = text;
    size_t count = 0;
    for (int32_t p; count <= 8 * (text.size() + 1) && (p = StrPos(1, find, plain)) != 0; ++count)
      plain.replace(static_cast<size_t>(p - 1), find.size(), by);
    std::string fast = text;
    bool failed = Fails([&] { StrSubs(fast, find, by); });
    EXPECT_EQ(failed, count > 8 * (text.size() + 1)) << text << " " << find << " " << by;
    if (!failed) {
      EXPECT_EQ(fast, plain) << text << " " << find << " " << by;
    }
  }
}

TEST(Strings, Comparison) {
  EXPECT_LT(StrCompare("abc", "ABD"), 0);
  EXPECT_GT(StrCompare("abc", "ab"), 0);
  Rows<Num>({{StrCompare("", ""), 0},
             {StrCompare("a", "\xE1"), 'A' - 0xE1},  // unsigned byte values
             {StrCompareFrom("xabc", "abc", 2, 1), 0},
             {StrCompareFrom("abc", "abcde", 0, 4), -2},  // 0: just past the end
             {StrCompareFrom("abc", "", 99, 1), 0}});     // past the end reads as 0
  EXPECT_TRUE(StrSame("Read.Me", "rEAD.mE"));
  EXPECT_FALSE(StrSame("a", "a "));
}

TEST(Strings, TrimAndStrip) {
  Rows<Text>({{Edited(std::string(" a \t") + '\0' + " \t", StrTrim), " a"},
              {StrStripSpaces("\r\n a b\x01 "), "a b"},
              {StrStripSpaces("   "), ""}});
}

TEST(Strings, Fields) {
  const std::string s = "a\tb\t\tc";
  Rows<Text>({{StrGetField(s, 0), "a"},
              {StrGetField(s, 2), ""},
              {StrGetField(s, 3), "c"},
              {StrGetField(s, 9), ""},
              {StrGetField(s, -1), ""},
              {StrGetFieldComma("1,two,3", 2), "3"}});
}

TEST(Strings, NumberToText) {
  Rows<Text>({{NumToStr(0), "0"},
              {NumToStr(-42), "-42"},
              {NumToStr(INT_MIN), "-2147483648"},
              {NumToStrFill(7, 3), "007"},
              {NumToStrFill(1234, 2), "1234"},
              {NumToStrDecimals(12345, 2), "123.45"},
              {NumToStrDecimals(-5, 2), "-0.05"},
              {NumToStrDecimals(INT_MIN, 3), "-2147483.648"},
              {NumToStrDecimals(1, 25), "0.0000000000000000000000001"},
              {CardToStr(255, 16), "FF"},
              {CardToStr(0xFFFFFFFF, 2), std::string(32, '1')},
              {CardToStr(4294967295u), "4294967295"},
              {CardToHex(0), "0"},
              {CardToHexFill(0xAB, 4), "00AB"},
              {ItemWord(0), "items"},
              {ItemWord(1), "item"},
              {NumToStrCommas(999), "999"},
              {NumToStrCommas(1000), "1,000"},
              {NumToStrCommas(5368709120), "5,368,709,120"},  // 5 GiB
              {NumToStrCommas(INT64_MAX), "9,223,372,036,854,775,807"},
              {FormatSizeBytes(0), "0 Bytes"},
              {FormatSizeBytes(9999), "9,999 Bytes"},
              {FormatSizeBytes(10000), "9 KB"},
              {FormatSizeBytes(10485760), "10 MB"},
              {FormatSizeBytes(5368709120), "5,120 MB"},
              {FormatSizeBytes(int64_t{3} << 40), "3,072 GB"},
              {FormatSizeBytes(INT64_MAX), "8,191 PB"}});
}

TEST(Strings, ParsersAndErrorFlag) {
  int32_t v = 0;
  EXPECT_FALSE(Fails([&] { v = StrToNum(" 42 "); }));
  EXPECT_EQ(v, 42);
  EXPECT_TRUE(Fails([&] { v = StrToNum("42x"); }));
  EXPECT_EQ(v, 42);  // the value read is returned anyway
  EXPECT_FALSE(Fails([&] { v = StrToNum(""); }));
  EXPECT_FALSE(Fails([&] { v = StrToNum(" ,\t "); }));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(Fails([&] { v = StrToNum("-2147483648"); }));
  EXPECT_EQ(v, INT_MIN);
  for (auto bad : {+[] { StrToNum("-"); }, +[] { HexToCard("fg"); }, +[] { HexToCard(""); }})
    EXPECT_TRUE(Fails(bad));
  StrError = true;  // sticky: a good parse does not clear it
  StrToNum("12");
  EXPECT_TRUE(StrError);
  StrError = false;
  Rows<Num>({{StrToNum("+17"), 17}, {HexToCard("ff"), 255}});

  int32_t pos = 50;
  EXPECT_TRUE(Fails([&] { StrGetCardinal("1", pos); }));  // past the end
  pos = 1;
  EXPECT_EQ(StrGetHex(" 1aF zz", pos), 0x1AFu);
  EXPECT_EQ(pos, 6);

  pos = 1;
  EXPECT_EQ(StrGetReal(" -12.5e2x", pos), -1250.0L);
  EXPECT_EQ(pos, 9);  // the byte that stopped it is not consumed
  auto real = [](const char *s) {
    int32_t at = 1;
    return StrGetReal(s, at);
  };
  EXPECT_EQ(real("0.1"), 1.0L / 10);           // extended precision
  EXPECT_EQ(real("1.2.3"), 123.0L / 10 / 10);  // a second "." changes nothing
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(real("1e2000000000"), HUGE_VALL);
  EXPECT_EQ(real("1e-2000000000"), 0.0L);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));

  pos = 1;
  const std::string items = "dll winsoc \"my file\" a_b ,\"open";
  for (const char *item : {"dll", "winsoc", "my file", "a b", "open", ""})
    EXPECT_EQ(StrGetItem(items, pos), item);
}

TEST(Strings, FixedWidthReaders) {
  EXPECT_TRUE(Fails([] { StrGetH_('x'); }));
  EXPECT_TRUE(Fails([] { StrGetHHHH("dead", INT_MAX); }));  // no overflow past the end
  Rows<Num>({{StrGetH_('c'), 12}, {StrGetHHHH("x1A2B", 2), 0x1A2B}});
}

TEST(Strings, HashAndScrambler) {
  EXPECT_EQ(CrunchString(""), 0u);
  EXPECT_EQ(CrunchString("Read Me"), CrunchString("rEAD mE"));
  EXPECT_NE(CrunchString("ab"), CrunchString("ba"));
  std::string s;
  for (int k = 0; k < 600; ++k) s += static_cast<char>(k * 7);
  EXPECT_NE(Mixup(s), s);
  EXPECT_EQ(Mixup(Mixup(s)), s);
  EXPECT_EQ(Mixup("\x0E"), std::string(1, '\0'));  // 14 xor 15 xor 1
  EXPECT_EQ(Mixup(""), "");
}
