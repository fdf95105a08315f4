// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/string_arrays.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "foundation/strings.h"
#include "test_util.h"

using namespace trovix;
namespace fs = std::filesystem;

namespace {

void WriteBytes(const std::string &name, const std::string &bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

std::string ReadBytes(const std::string &name) {
  std::ifstream f(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

TStringArray ReadLines(const std::string &name) {
  TStringArray a;
  EXPECT_TRUE(StringArrayRead(a, name));
  return a;
}

}  // namespace

TEST(StringArrays, SortSearchAndFields) {
  TStringArray a{"b", "a", "B"};
  StringArraySort(a, StrCompare, true, false);
  EXPECT_EQ(a, (TStringArray{"a", "B"}));  // the later of two equal ones stays
  a = {"c", "", "A", "a", "b", ""};
  StringArraySort(a, StrCompare, false, true);
  EXPECT_EQ(a, (TStringArray{"A", "a", "b", "c"}));  // stable, empties dropped
  StringArrayDel(a, 4);                              // out of range: nothing goes
  StringArrayDel(a, -1);
  StringArrayDel(a, 0);
  EXPECT_EQ(a, (TStringArray{"a", "b", "c"}));

  a = {"Alpha", "beta", "GAMMA"};
  EXPECT_EQ(StringArraySearch(a, "gamma"), 2);
  EXPECT_EQ(StringArraySearch(a, "gam"), -1);
  EXPECT_EQ(StringArraySearchPartial(a, "ETA"), 1);
  EXPECT_EQ(StringArraySearchPartial(a, "x"), -1);

  CommaFieldsToStringArray(a, "a,b,");
  EXPECT_EQ(a, (TStringArray{"a", "b", ""}));
  EXPECT_EQ(StringArrayToCommaFields(a), "a,b,");
  CommaFieldsToStringArray(a, "");
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(StringArrayToFields(a, '\t'), "");
  FieldsToStringArray(a, "x\r\ny\rz\n\r", '\r');
  EXPECT_EQ(a, (TStringArray{"x", "y", "z\n", ""}));  // a lone LF stays in its line
}

TEST(StringArrays, LineFiles) {
  test::TempFolder dir("trovix-arrays");
  const std::string f = dir / "lines.txt";
  auto linesOf = [&](const std::string &bytes) {
    WriteBytes(f, bytes);
    return ReadLines(f);
  };
  EXPECT_EQ(linesOf("one\r\ntwo\nthree"), (TStringArray{"one", "two", "three"}));
  EXPECT_EQ(linesOf("one\n\n"), (TStringArray{"one", ""}));
  WriteBytes(f, "\xEF\xBB\xBFx\r\n\ny");
  TStringArray a{"kept"};
  EXPECT_TRUE(StringArrayRead(a, f));
  EXPECT_EQ(a, (TStringArray{"kept", "x", "", "y"}));  // appended, not replaced
  EXPECT_FALSE(StringArrayRead(a, dir / "missing"));
  fs::create_directory(dir / "sub.d");
  EXPECT_FALSE(StringArrayRead(a, dir / "sub.d"));
  EXPECT_EQ(a.size(), 4u);

  // Writing keeps the previous file as name.bak, beside it even in a dotted folder.
  const std::string g = dir / "sub.d/list.v1.txt", bak = dir / "sub.d/list.bak";
  EXPECT_TRUE(StringArrayWrite({"first"}, g));
  EXPECT_TRUE(StringArrayWrite({"a", "", "b"}, g));
  EXPECT_EQ(ReadBytes(g), "a\r\n\r\nb\r\n");
  EXPECT_EQ(ReadBytes(bak), "first\r\n");
  EXPECT_EQ(ReadLines(g), (TStringArray{"a", "", "b"}));
  EXPECT_TRUE(StringArrayWrite({}, g));
  EXPECT_EQ(ReadBytes(g), "");
  EXPECT_EQ(ReadBytes(bak), "a\r\n\r\nb\r\n");

  // A failed write reports false and leaves nothing behind.
  auto count = [&] { return std::distance(fs::directory_iterator(dir.path()), {}); };
  EXPECT_FALSE(StringArrayWrite({"x"}, dir / "nofolder/x.txt"));
  const auto before = count();
  EXPECT_FALSE(StringArrayWrite({"x"}, dir / "sub.d"));
  EXPECT_TRUE(fs::is_directory(dir / "sub.d"));
  EXPECT_EQ(count(), before);

  // A name that is its own backup name is still written.
  EXPECT_TRUE(StringArrayWrite({"1"}, dir / "x.bak"));
  EXPECT_TRUE(StringArrayWrite({"2"}, dir / "x.bak"));
  EXPECT_EQ(ReadBytes(dir / "x.bak"), "2\r\n");
}

TEST(StringArrays, EncryptionKeyRoundTrip) {
  test::TempFolder dir("trovix-arrays");
  const std::string f = dir / "secret.txt";
  const TStringArray lines{"hello", "", "world \xFF"};
  StringArrayEncryptionKey = 0xA5C3;
  EXPECT_TRUE(StringArrayWrite(lines, f));
  const std::string raw = ReadBytes(f);
  TStringArray back;
  EXPECT_TRUE(StringArrayRead(back, f));
  StringArrayEncryptionKey = 0;
  EXPECT_EQ(back, lines);
  ASSERT_EQ(raw.size(), 18u);
  EXPECT_EQ(static_cast<uint8_t>(raw[0]), 'h' ^ 0xC3);
  EXPECT_EQ(static_cast<uint8_t>(raw[1]), 'e' ^ 0x87 ^ 1);  // key turned left once
}

TEST(Ranges, ExpandCompressAndExtract) {
  EXPECT_LT(SortRange("A2", "A10"), 0);
  EXPECT_LT(SortRange("99", "A1"), 0);
  EXPECT_GT(SortRange("b1", "A7"), 0);

  StrError = false;
  EXPECT_EQ(RangesToSingles("B7, A1-A3, A2"), "A1,A2,A3,B7");
  EXPECT_EQ(RangesToSingles("A01-A03"), "A1,A2,A3");
  EXPECT_EQ(RangesToSingles("x-x, 3 - 5"), "3,4,5,x");
  EXPECT_FALSE(StrError);
  for (const char *bad : {"A3-A1", "A1-B3", "A-A3", "A1-A200000"}) {
    StrError = false;
    EXPECT_EQ(RangesToSingles(bad), "") << bad;
    EXPECT_TRUE(StrError) << bad;
  }
  StrError = false;
  EXPECT_EQ(RangesToSingles("C1, A1-B3"), "C1");  // items before the fault stay
  EXPECT_TRUE(StrError);

  StrError = true;
  EXPECT_EQ(SinglesToRanges("A3,A1,A2,B7,5,6,7"), "5-7, A1-A3, B7");
  EXPECT_FALSE(StrError);
  EXPECT_EQ(SinglesToRanges("A,A0,A1"), "A, A0-A1");  // no number, no run
  EXPECT_EQ(SinglesToRanges(""), "");
  // Compress then expand gives the sorted singles back.
  const std::string singles = "3,4,5,9,10,11,12,20,B1,B2,C5";
  EXPECT_EQ(SinglesToRanges(singles), "3-5, 9-12, 20, B1-B2, C5");
  EXPECT_EQ(RangesToSingles(SinglesToRanges(singles)), singles);

  using Values = std::vector<int64_t>;
  auto rest = [] {  // the values up to the end, which stays the end
    Values got;
    for (int64_t v; (v = StrExtract()) != -1;) got.push_back(v);
    EXPECT_EQ(StrExtract(), -1);
    return got;
  };
  StrError = true;
  StrExtractInit("10 1A-1C, 20");
  EXPECT_FALSE(StrError);
  EXPECT_EQ(rest(), (Values{0x10, 0x1A, 0x1B, 0x1C, 0x20}));
  StrExtractInit("FFFFFFFE-ffffffff");
  EXPECT_EQ(rest(), (Values{0xFFFFFFFE, 0xFFFFFFFF}));
  StrExtractInit("5 zz 7");
  EXPECT_EQ(rest(), Values{5});
  EXPECT_TRUE(StrError);
  StrExtractInit("1-");
  EXPECT_EQ(rest(), Values{});
}

TEST(ByteBlocks, HexForms) {
  uint8_t all[256], back[256] = {};
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  auto got = [&](int n) { return std::vector<int>(back, back + n); };
  EXPECT_EQ(BlockToHex(all + 0xAB, 2), "ABAC");
  EXPECT_EQ(BlockToHex(all, 0), "");
  EXPECT_EQ(BlockToHex(all, -17).substr(42), "0E 0F\r\n10");  // and nothing after
  EXPECT_EQ(BlockToHexASCII("Hi\r\nthere", 9), "\"Hi\" 0D 0A \"there\"");
  EXPECT_EQ(BlockToHexASCII("ok\r", 3), "\"ok\" 0D ");
  EXPECT_EQ(BlockToHexASCII("a\"b", 3), "\"a\" 22 \"b\"");

  // Every byte value survives the mixed text form and the spaced form.
  EXPECT_EQ(StrToBytes(BlockToHexASCII(all, 256), back, 256), 256);
  EXPECT_EQ(0, memcmp(all, back, 256));
  EXPECT_EQ(StrToBytes(BlockToHexASCII(all, 256), nullptr, 0), 256);
  memset(back, 0, sizeof back);
  StrError = true;
  EXPECT_EQ(HexSpacedToBlock(BlockToHex(all, -256), 1, back, 256), 256);
  EXPECT_EQ(0, memcmp(all, back, 256));
  EXPECT_EQ(HexSpacedToBlock(" 1 ff 100", 1, nullptr, 0), -1);
  EXPECT_TRUE(StrError);
  EXPECT_EQ(HexSpacedToBlock("  \r\n", 1, nullptr, 0), 0);
  EXPECT_EQ(HexSpacedToBlock("1 2 3 4", 3, back, 2), 3);  // counts past max
  EXPECT_EQ(got(2), (std::vector<int>{2, 3}));

  EXPECT_EQ(StrToBytes("41 \"B\" ; note", back, 10), 2);
  EXPECT_EQ(got(2), (std::vector<int>{0x41, 'B'}));
  EXPECT_EQ(StrToBytes("/ c \"x\"\n1FF, 0a:\t\"q;\"", back, 10), 4);
  EXPECT_EQ(got(4), (std::vector<int>{0xFF, 0x0A, 'q', ';'}));  // no comment inside quotes
  EXPECT_EQ(StrToBytes("41 xyz", nullptr, 0), -1);
  EXPECT_EQ(StrToBytes("41 42 43", back, 2), 2);  // max bounds what is stored
  EXPECT_EQ(back[2], 'q');
  EXPECT_EQ(StrToBytes("", nullptr, 0), 0);

  memset(back, 0, sizeof back);
  StrError = false;
  EXPECT_EQ(HexToBlock("xx0aFF1", 3, back, 1), 2);  // lone last digit ignored
  EXPECT_EQ(got(2), (std::vector<int>{0x0A, 0}));
  EXPECT_FALSE(StrError);
  EXPECT_EQ(HexToBlock("g1", 1, nullptr, 0), 1);
  EXPECT_TRUE(StrError);
}

TEST(PathsAndBuffers, NamesAddressesAndBuffers) {
  const std::pair<std::string, std::string> names[] = {
      {ForceExtension("my.file.txt", "bak"), "my.bak"},
      {ForceExtension("name", ".ini"), "name.ini"},
      {ForceExtension(".profile", "bak"), ".profile.bak"},
      {RemoveExtension("a.tar.gz"), "a"},
      {AddExtension("a.b", "c"), "a.b"},
      {AddExtension("a", ".c"), "a.c"},
      {ExtractFileNameNoExt("/x.d/my.file.txt"), "my"},
      {ExtractFileNameNoExt("/x.d/c:name"), "c:name"},  // ":" is a name byte
      {ExtractFileExtNoDot("/x.d/my.file.txt"), "txt"},
      {ExtractFileExtNoDot("/x.d/README"), ""},
      {PathDropSlosh("/home/a/"), "/home/a"},
      {PathDropSlosh("/home/a"), "/home/a"},
      {StripPath("/a/b", 0), ""},
      {StripPath("/a/b", 1), "/a"},
      {StripPath("/a/b", 5), "/a/b"},
      {StripPath("home/a/b/", 1), "home/a"}};
  for (const auto &[got, expected] : names) EXPECT_EQ(got, expected);

  uint8_t ip[4];
  EXPECT_TRUE(StrIsIP("192.168.0.1") && StrIsIP("0.0.0.0"));
  for (const char *bad : {"192.168.000.1", "1.2.3", "1.2.3.256", " 1.2.3.4", "1.2.3.4.", "1..2.3"})
    EXPECT_FALSE(StrIsIP(bad)) << bad;
  EXPECT_FALSE(IPToBytes("1.2.3", ip));  // too few numbers
  StrError = true;
  EXPECT_TRUE(IPToBytes("10.0.300.4", ip));  // wraps, as documented
  EXPECT_EQ(BytesToIP(ip), "10.0.44.4");
  EXPECT_FALSE(IPToBytes("1.2.3.4x", ip));

  std::istringstream in("one\r\ntwo\rthree" + std::string(20000, 'z'));
  ReadStrInit(in);
  std::string s;
  EXPECT_TRUE(ReadStr(s));
  EXPECT_EQ(s, "one");
  EXPECT_TRUE(ReadStr(s));
  EXPECT_EQ(s, "two");  // the byte after CR is skipped, whatever it is
  EXPECT_FALSE(ReadStr(s));
  EXPECT_EQ(s, "hree" + std::string(ReadStrBufferSize - 14, 'z'));
  EXPECT_FALSE(ReadStr(s));
  EXPECT_EQ(s, "");

  char buf[8];
  StrToCStr("abc", buf);
  EXPECT_STREQ(buf, "abc");
  StringPut("hi", buf, 6, ' ');
  EXPECT_EQ(std::string(buf, 6), "hi    ");
  buf[4] = '\0';
  buf[5] = '\xFF';
  EXPECT_EQ(StringGet(buf, 6), "hi");
  StringPut("abcdefgh", buf, 3, ' ');
  EXPECT_EQ(StringGet(buf, 3), "abc");
  EXPECT_EQ(StringGet(" x", 1), "");
}
