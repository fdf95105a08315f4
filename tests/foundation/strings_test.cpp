#include "foundation/strings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>

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

}  // namespace

TEST(Strings, CharactersAndCase) {
  EXPECT_FALSE(IsAlpha('\xE9'));
  EXPECT_EQ(UpCase('\xE9'), '\xE9');  // bytes above 127 never change case
  EXPECT_EQ(UpCase('['), '[');
  EXPECT_FALSE(IsDigits(""));
  EXPECT_TRUE(IsNum("0123"));
  EXPECT_FALSE(IsNum("12a"));
  EXPECT_EQ(UpperCase("ab\xE9z1"), "AB\xE9Z1");

  std::string s = "hello WORLD. 3rd:item";
  StrCase(s, cMixed);
  EXPECT_EQ(s, "Hello World. 3Rd:item");
  s = "hello WORLD. 3rd:item and. more";
  StrCase(s, cSentence);
  EXPECT_EQ(s, "Hello world. 3Rd:item and. More");
  StrCase(s, cUpper);
  EXPECT_EQ(s, "HELLO WORLD. 3RD:ITEM AND. MORE");

  EXPECT_EQ(ChangeCase("hello world"), "Hello World");
  EXPECT_EQ(ChangeCase("Hello World"), "HELLO WORLD");
  EXPECT_EQ(ChangeCase("HELLO WORLD"), "hello world");
  EXPECT_EQ(ChangeCase("abc1def"), "Abc1Def");
  EXPECT_EQ(ChangeCase("123"), "123");
  EXPECT_EQ(ChangeCase(""), "");

  EXPECT_EQ(StrGetInitials("  john  ronald tolkien"), " JRT");
  EXPECT_EQ(StrGetInitials(""), "");
}

TEST(Strings, SearchAndReplace) {
  EXPECT_EQ(StrPos(1, "", "abc"), 1);
  EXPECT_EQ(StrPos(3, "x", "ab"), 0);
  EXPECT_EQ(StrPos(1, "LL", "hello"), 3);
  EXPECT_EQ(StrPos(4, "l", "hello"), 4);
  EXPECT_EQ(StrPos(1, "hello!", "hello"), 0);
  EXPECT_EQ(StrPos(INT_MAX, "a", "a"), 0);
  EXPECT_EQ(StrPos(1, "\xE9", "\xC9"), 0);
  EXPECT_EQ(StrPosCh(2, 'a', "aXa"), 3);
  EXPECT_EQ(StrPosCh(9, 'a', "aXa"), 0);
  EXPECT_EQ(StrPosCh(1, 'x', "aXa"), 0);  // exact byte
  EXPECT_EQ(StrPosChLast('a', "aXa"), 3);
  EXPECT_EQ(StrPosChLast('a', ""), 0);

  EXPECT_EQ(StrPosWild(1, "a#c", "xxA5c"), 3);
  EXPECT_EQ(StrPosWild(1, "??", "a"), 0);
  EXPECT_EQ(StrPosWild(1, "a?b", "a\tb"), 0);
  EXPECT_EQ(StrPosWild(1, "a?b", "xa\xFF" "b"), 2);
  EXPECT_EQ(StrPosWild(5, "", "ab"), 5);
  EXPECT_EQ(StrPosWild(3, "a", "ab"), 0);
  EXPECT_EQ(StrPosWild(1, "aab", "aaab"), 2);

  EXPECT_EQ(StrFindReplace("ab", "xABxab", "<ab>"), "x<ab>x<ab>");
  EXPECT_EQ(StrFindReplace("", "abc", "z"), "abc");
  std::string s = "aaab";
  StrSubs(s, "ab", "b");  // searching again from the start cascades
  EXPECT_EQ(s, "b");
  // Inputs the callers must not pass still end, with each original
  // occurrence replaced once.
  s = "a-a";
  StrSubs(s, "a", "AA");
  EXPECT_EQ(s, "AA-AA");
  s = "abc";
  StrSubs(s, "", "x");
  EXPECT_EQ(s, "abc");

  s = "a.b.c";
  StrChangeChar(s, '.', '/');
  EXPECT_EQ(s, "a/b/c");
  EXPECT_EQ(StrCountChar(s, '/'), 2);
  EXPECT_EQ(StrCountWord("  it's 42-nd, ok "), 5);
  EXPECT_EQ(StrCountWord(""), 0);
}

TEST(Strings, Comparison) {
  EXPECT_LT(StrCompare("abc", "ABD"), 0);
  EXPECT_GT(StrCompare("abc", "ab"), 0);
  EXPECT_EQ(StrCompare("", ""), 0);
  EXPECT_EQ(StrCompare("a", "\xE1"), 'A' - 0xE1);  // unsigned byte values
  EXPECT_TRUE(StrSame("Read.Me", "rEAD.mE"));
  EXPECT_FALSE(StrSame("a", "a "));
  EXPECT_EQ(StrCompareFrom("xabc", "abc", 2, 1), 0);
  EXPECT_EQ(StrCompareFrom("abc", "abcde", 0, 4), -2);  // 0: just past the end
  EXPECT_EQ(StrCompareFrom("abc", "", 99, 1), 0);       // past the end reads as 0
  EXPECT_TRUE(StrMatch("a?c", "abc"));
  EXPECT_TRUE(StrMatch("abc", "?b?"));
  EXPECT_FALSE(StrMatch("abc", "abd"));
  EXPECT_FALSE(StrMatch("ab", "ab?"));
  EXPECT_FALSE(StrMatch("ABC", "abc"));
}

TEST(Strings, LayoutAndPadding) {
  EXPECT_EQ(StrLeft("abc", 5), "abc  ");
  EXPECT_EQ(StrLeft("abc", 2), "ab");
  EXPECT_EQ(StrLeft("abc", -1), "");
  EXPECT_EQ(StrRight("abc", 5), "  abc");
  EXPECT_EQ(StrRight("abc", 2), "bc");
  EXPECT_EQ(StrCenter("ab", 5), "  ab ");
  EXPECT_EQ(StrCenter("abc", 2), "abc");
  EXPECT_EQ(StrPad("ab", -4), "  ab");
  EXPECT_EQ(StrPad("ab", 4), "ab  ");
  EXPECT_EQ(StrRepeat("ab", 3), "ababab");
  EXPECT_EQ(StrRepeat("ab", -1), "");

  std::string s = std::string(" a \t") + '\0' + " \t";
  StrTrim(s);
  EXPECT_EQ(s, " a");
  EXPECT_EQ(StrStripSpaces("\r\n a b\x01 "), "a b");
  EXPECT_EQ(StrStripSpaces("   "), "");
  s = "\t\t a  \tb  ";
  StrReformat(s);
  EXPECT_EQ(s, "\ta b ");
  EXPECT_EQ(StrExpTabs("\tx"), "        x");
  EXPECT_EQ(StrExpTabs("abc\td"), "abc     d");
  EXPECT_EQ(StrExpTabs("ab\r\n\tc"), "ab\r\n    c");  // columns run on over line breaks

  s = "";
  StrAddComma(s, "a");
  StrAddComma(s, "");
  StrAddSpace(s, "b");
  EXPECT_EQ(s, "a b");
  EXPECT_EQ(StrAppend("a", "; ", ""), "a");
  EXPECT_EQ(StrAppend("a", "; ", "b"), "a; b");
  EXPECT_EQ(StrIncludeHyphen(false, "x"), "-");
  EXPECT_EQ(StrInclude(false, "x"), "");
  EXPECT_EQ(StrCreateLines(2), "\r\n\r\n");
  EXPECT_EQ(StrCreateLines(-3), "1\r\n2\r\n3\r\n");
  EXPECT_EQ(StrCreateLines(0), "");
  EXPECT_EQ(StrExpand(8, 11), "8,9,10,11");
  EXPECT_EQ(StrExpand(2, 1), "");
  EXPECT_EQ(StrExpand(INT_MAX - 1, INT_MAX), "2147483646,2147483647");
  EXPECT_EQ(BoolToStr(true), "True");
}

TEST(Strings, Fields) {
  const std::string s = "a\tb\t\tc";
  EXPECT_EQ(StrGetField(s, 0), "a");
  EXPECT_EQ(StrGetField(s, 2), "");
  EXPECT_EQ(StrGetField(s, 3), "c");
  EXPECT_EQ(StrGetField(s, 9), "");
  EXPECT_EQ(StrGetField(s, -1), "");
  EXPECT_EQ(StrFields(s), 4);
  EXPECT_EQ(StrFields(""), 1);
  std::string t = "a";
  StrSetField(t, 2, "x");
  EXPECT_EQ(t, "a\t\tx");
  StrSetField(t, 1, "mid");
  StrSetField(t, 0, "");
  EXPECT_EQ(t, "\tmid\tx");
  t = "1,2,3";
  StrSetFieldComma(t, 1, "two");
  EXPECT_EQ(t, "1,two,3");
  EXPECT_EQ(StrGetFieldComma(t, 2), "3");
  EXPECT_EQ(StrCommaFields(t), 3);

  const std::string lines = "ab\tc\r\nd\n\re";
  int32_t pos = 1;
  EXPECT_EQ(StrGetField_(lines, pos), "ab");
  EXPECT_EQ(StrGetField_(lines, pos), "c");
  EXPECT_EQ(StrGetField_(lines, pos), "d");
  EXPECT_EQ(StrGetField_(lines, pos), "e");
  EXPECT_EQ(pos, 11);
  EXPECT_EQ(StrGetField_(lines, pos), "");
  EXPECT_EQ(pos, 11);
}

TEST(Strings, FixedWidthDigits) {
  EXPECT_EQ(D(9), "9");
  EXPECT_EQ(DD(7), "07");
  EXPECT_EQ(DDD(42), "042");
  EXPECT_EQ(DDDD(2024), "2024");
  EXPECT_EQ(DDDD(5), "0005");
  const uint8_t b = 3;
  EXPECT_EQ(E(&b), "3");
  EXPECT_EQ(H(0xAF), "F");
  EXPECT_EQ(HH(0x0A), "0A");
  EXPECT_EQ(HHH(0x1A2B), "A2B");
  EXPECT_EQ(HHHH(0x1A2B), "1A2B");
  EXPECT_EQ(HHHHHH(0x12345678), "345678");
  EXPECT_EQ(HHHHHHHH(0xDEADBEEF), "DEADBEEF");
  std::string s = "x";
  StrAddH(s, 0x1F);
  StrAddHH(s, 0x1F);
  StrAddHHHH(s, 0xBEEF);
  EXPECT_EQ(s, "xF1FBEEF");
}

TEST(Strings, NumberToText) {
  EXPECT_EQ(NumToStr(0), "0");
  EXPECT_EQ(NumToStr(-42), "-42");
  EXPECT_EQ(NumToStr(INT_MIN), "-2147483648");
  EXPECT_EQ(NumToStrSigned(0), "+0");
  EXPECT_EQ(NumToStrSigned(INT_MIN), "-2147483648");
  EXPECT_EQ(NumToStrFill(7, 3), "007");
  EXPECT_EQ(NumToStrFill(1234, 2), "1234");
  EXPECT_EQ(NumToStrDecimals(12345, 2), "123.45");
  EXPECT_EQ(NumToStrDecimals(-5, 2), "-0.05");
  EXPECT_EQ(NumToStrDecimals(7, 0), "7");
  EXPECT_EQ(NumToStrDecimals(INT_MIN, 3), "-2147483.648");
  EXPECT_EQ(NumToStrDecimals(1, 25), "0.0000000000000000000000001");
  EXPECT_EQ(FormatDecimal(1234, 2), "12.34");
  EXPECT_EQ(CardToStr(255, 16), "FF");
  EXPECT_EQ(CardToStr(0xFFFFFFFF, 2), std::string(32, '1'));
  EXPECT_EQ(CardToStr(35, 36), "Z");
  EXPECT_EQ(CardToStr(0), "0");
  EXPECT_EQ(CardToStr(4294967295u), "4294967295");
  EXPECT_EQ(CardToHex(0), "0");
  EXPECT_EQ(CardToHexFill(0xAB, 4), "00AB");

  EXPECT_EQ(NumToStrCommas(0), "0");
  EXPECT_EQ(ItemWord(0), "items");
  EXPECT_EQ(ItemWord(1), "item");
  EXPECT_EQ(ItemWord(2), "items");
  EXPECT_EQ(NumToStrCommas(999), "999");
  EXPECT_EQ(NumToStrCommas(1000), "1,000");
  EXPECT_EQ(NumToStrCommas(1234567890123), "1,234,567,890,123");
  EXPECT_EQ(NumToStrCommas(5368709120), "5,368,709,120");  // 5 GiB
  EXPECT_EQ(NumToStrCommas(INT64_MAX), "9,223,372,036,854,775,807");
  EXPECT_EQ(FormatSizeBytes(0), "0 Bytes");
  EXPECT_EQ(FormatSizeBytes(9999), "9,999 Bytes");
  EXPECT_EQ(FormatSizeBytes(10000), "9 KB");
  EXPECT_EQ(FormatSizeBytes(1048576), "1,024 KB");
  EXPECT_EQ(FormatSizeBytes(10485760), "10 MB");
  EXPECT_EQ(FormatSizeBytes(5368709120), "5,120 MB");
  EXPECT_EQ(FormatSizeBytes(int64_t{3} << 40), "3,072 GB");
  EXPECT_EQ(FormatSizeBytes(INT64_MAX), "8,191 PB");
}

TEST(Strings, RealToText) {
  EXPECT_EQ(RealToStr(3.14159, 2), "3.14");
  EXPECT_EQ(RealToStr(2.5, 0), "3");
  EXPECT_EQ(RealToStr(-0.125, 2), "-0.13");
  EXPECT_EQ(RealToStr(0.05, 3), "0.050");
  EXPECT_EQ(RealToStr(1e20, 2), "100000000000000000000.00");  // beyond 64 bits
  EXPECT_EQ(RealToStr(1e300, 100).substr(0, 4), "1000");
  EXPECT_EQ(RealToStrDigits(3.14159, 3), "3.14");
  EXPECT_EQ(RealToStrDigits(1234.5, 2), "1200");
  EXPECT_EQ(RealToStrDigits(0.5, 2), "0.50");
  EXPECT_EQ(RealToStrDigits(1.5e13, 3), "1.50e+13");
  EXPECT_EQ(RealToStrDigits(0.000001234, 3), "1.23e-6");
  EXPECT_EQ(RealToStrDigits(0, 3), "0");
  EXPECT_EQ(RealToStrDigits(-2.5, 1), "-2");  // ties to even
  EXPECT_EQ(RealToStrDigits(0.99999, 3), "1.000");  // rounding carried a digit
  EXPECT_EQ(RealToStrDigits(999999999999.0, 3), "1.000e+12");
  EXPECT_EQ(RealToStrDigits(0.00001, 1), "0.00001");
  const std::string tiny = RealToStrDigits(1e-300, 2);
  EXPECT_EQ(tiny.substr(0, 3), "1.0");
  EXPECT_EQ(tiny.substr(tiny.size() - 5), "e-300");
  EXPECT_EQ(RealToStrDigits(std::nan(""), 3), "NAN");
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
  EXPECT_TRUE(Fails([] { StrToNum("-"); }));
  EXPECT_TRUE(Fails([] { StrToCard(""); }));
  EXPECT_FALSE(Fails([&] { v = StrToNum("-2147483648"); }));
  EXPECT_EQ(v, INT_MIN);
  EXPECT_EQ(StrToNum("+17"), 17);
  EXPECT_EQ(StrToCard("4294967297"), 1u);  // wraps
  EXPECT_EQ(HexToCard("ff"), 255u);
  EXPECT_TRUE(Fails([] { HexToCard("fg"); }));
  EXPECT_TRUE(Fails([] { HexToCard(""); }));
  EXPECT_FALSE(Fails([] { StrToNum("12"); }));
  StrError = true;  // sticky: a good parse does not clear it
  StrToNum("12");
  EXPECT_TRUE(StrError);
  StrError = false;

  const std::string list = "12, 7\r\nx";
  int32_t pos = 1;
  EXPECT_EQ(StrGetCardinal(list, pos), 12u);
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(StrGetInt(list, pos), 7);
  EXPECT_EQ(pos, 8);
  EXPECT_TRUE(Fails([&] { StrGetCardinal(list, pos); }));
  EXPECT_EQ(pos, 8);
  pos = 1;
  EXPECT_FALSE(Fails([&] { StrGetCardinal(" , ", pos); }));  // separators move
  pos = 50;
  EXPECT_TRUE(Fails([&] { StrGetCardinal("1", pos); }));
  pos = 1;
  EXPECT_EQ(StrGetHex(" 1aF zz", pos), 0x1AFu);
  EXPECT_EQ(pos, 6);

  pos = 1;
  EXPECT_EQ(StrGetReal(" -12.5e2x", pos), -1250.0L);
  EXPECT_EQ(pos, 9);  // the byte that stopped it is not consumed
  EXPECT_EQ(StrToReal("0.1"), 1.0L / 10);  // extended precision
  EXPECT_EQ(StrToReal("1.2.3"), 123.0L / 10 / 10);  // a second "." changes nothing
  EXPECT_EQ(StrToReal("25E-1"), 2.5L);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(StrToReal("1e2000000000"), HUGE_VALL);
  EXPECT_EQ(StrToReal("1e-2000000000"), 0.0L);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
  EXPECT_EQ(HexToDouble("fF g1"), 255.0);
  EXPECT_EQ(UnformatDecimal("2.5", 0), 2);  // ties to even
  EXPECT_EQ(UnformatDecimal("3.5", 0), 4);
  EXPECT_EQ(UnformatDecimal("-0.125", 2), -12);
  EXPECT_EQ(UnformatDecimal("12.345", 3), 12345);
  EXPECT_EQ(UnformatDecimal("1e20", 0), INT_MAX);  // saturates
  uint8_t b = 0;
  StrGetE(&b, "258");
  EXPECT_EQ(b, 2);

  pos = 1;
  const std::string items = "dll winsoc \"my file\" a_b ,\"open";
  EXPECT_EQ(StrGetItem(items, pos), "dll");
  EXPECT_EQ(StrGetItem(items, pos), "winsoc");
  EXPECT_EQ(StrGetItem(items, pos), "my file");
  EXPECT_EQ(StrGetItem(items, pos), "a b");
  EXPECT_EQ(StrGetItem(items, pos), "open");
  EXPECT_EQ(StrGetItem(items, pos), "");
}

TEST(Strings, FixedWidthReaders) {
  EXPECT_TRUE(Fails([] { EXPECT_EQ(StrGetD('x'), 0); }));
  EXPECT_EQ(StrGetH_('c'), 12);
  EXPECT_FALSE(Fails([] { EXPECT_EQ(StrGetDD("x7", 5), 0); }));  // short: 0, no error
  EXPECT_EQ(StrGetDD("2024", 3), 24);
  EXPECT_EQ(StrGetDDD("2024", 2), 24);
  EXPECT_EQ(StrGetDDDD("2024", 1), 2024);
  EXPECT_FALSE(Fails([] { EXPECT_EQ(StrGetDDDD("20", 1), 2000); }));
  EXPECT_TRUE(Fails([] { EXPECT_EQ(StrGetH("A", 2), 0); }));
  EXPECT_TRUE(Fails([] { StrGetH("A", 0); }));
  EXPECT_EQ(StrGetHH("x1f", 2), 0x1F);
  EXPECT_EQ(StrGetHHHH("1A2B", 1), 0x1A2B);
  EXPECT_EQ(StrGetHHHHH("1A2B3", 1), 0x1A2B3u);
  EXPECT_EQ(StrGetHHHHHH("345678", 1), 0x345678u);
  EXPECT_EQ(StrGetHHHHHHHH("deadBEEF", 1), 0xDEADBEEFu);
  EXPECT_TRUE(Fails([] { StrGetHHHHHHHH("dead", INT_MAX); }));
}

TEST(Strings, HashAndScrambler) {
  EXPECT_EQ(CrunchString(""), 0u);
  EXPECT_EQ(CrunchString("Read Me"), CrunchString("rEAD mE"));
  EXPECT_NE(CrunchString("ab"), CrunchString("ba"));
  EXPECT_NE(CrunchCardinal(1), CrunchCardinal(2));
  std::string s;
  for (int k = 0; k < 600; ++k) s += static_cast<char>(k * 7);
  EXPECT_NE(Mixup(s), s);
  EXPECT_EQ(Mixup(Mixup(s)), s);
  EXPECT_EQ(Mixup("\x0E"), std::string(1, '\0'));  // 14 xor 15 xor 1
  EXPECT_EQ(Mixup(""), "");
}
