// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/string_arrays.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace trovix;

TEST(ByteBlocks, HexForms) {
  uint8_t all[256], back[256] = {};
  for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  auto got = [&](int n) { return std::vector<int>(back, back + n); };
  EXPECT_EQ(BlockToHex(all + 0xAB, 2), "ABAC");
  EXPECT_EQ(BlockToHex(all, 0), "");
  EXPECT_EQ(BlockToHex(all, -17).substr(42), "0E 0F\r\n10");  // and nothing after
  EXPECT_EQ(BlockToHexASCII("Hi\r\nthere", 9), "\"Hi\" 0D 0A \"there\"");
  EXPECT_EQ(BlockToHexASCII("a\"b", 3), "\"a\" 22 \"b\"");

  // Every byte value survives the mixed text form.
  EXPECT_EQ(StrToBytes(BlockToHexASCII(all, 256), back, 256), 256);
  EXPECT_EQ(0, memcmp(all, back, 256));
  EXPECT_EQ(StrToBytes(BlockToHexASCII(all, 256), nullptr, 0), 256);

  EXPECT_EQ(StrToBytes("/ c \"x\"\n1FF, 0a:\t\"q;\"", back, 10), 4);
  EXPECT_EQ(got(4), (std::vector<int>{0xFF, 0x0A, 'q', ';'}));  // no comment inside quotes
  EXPECT_EQ(StrToBytes("41 xyz", nullptr, 0), -1);
  EXPECT_EQ(StrToBytes("41 42 43", back, 2), 2);  // max bounds what is stored
  EXPECT_EQ(back[2], 'q');
  EXPECT_EQ(StrToBytes("", nullptr, 0), 0);
}

TEST(FileNames, Extensions) {
  struct Row {
    const char *name;
    std::string got, expected;
  };
  const Row rows[] = {
      {"force cuts at the first dot", ForceExtension("my.file.txt", "bak"), "my.bak"},
      {"force keeps a given dot", ForceExtension("name", ".ini"), "name.ini"},
      {"force keeps a leading dot", ForceExtension(".profile", "bak"), ".profile.bak"},
      {"remove cuts at the first dot", RemoveExtension("a.tar.gz"), "a"},
      {"add leaves a dotted name", AddExtension("a.b", "c"), "a.b"},
      {"name without folder and extensions", ExtractFileNameNoExt("/x.d/my.file.txt"), "my"},
      {"a colon is a name byte", ExtractFileNameNoExt("/x.d/c:name"), "c:name"},
      {"extension after the last dot", ExtractFileExtNoDot("/x.d/my.file.txt"), "txt"},
      {"no extension, folder dot ignored", ExtractFileExtNoDot("/x.d/README"), ""},
      {"folder keeps its delimiter", ExtractFilePath("/x.d/a.txt"), "/x.d/"},
      {"a bare name has no folder", ExtractFilePath("a.txt") + ExtractFileName("a.txt"), "a.txt"}};
  for (const Row &row : rows) EXPECT_EQ(row.got, row.expected) << row.name;
}
