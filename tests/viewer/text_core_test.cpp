// SPDX-License-Identifier: GPL-3.0-or-later
// The viewer's core: lossless text coding, safe saving, the editing tools,
// find and key macros, and the rules of opening views.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#include "dialogs/options.h"
#include "foundation/file_system.h"
#include "foundation/settings.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"
#include "test_util.h"
#include "viewer/find_macros.h"
#include "viewer/text_tools.h"
#include "viewer/view_file.h"
#include "viewer/view_text.h"

namespace trovix {
namespace {

using test::ReadAll;
using test::WriteAll;

TEST(TextCoding, EveryKindOfFileRoundTripsByteForByte) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  const std::string cases[] = {
      "",
      "one\ntwo\n",
      "one\r\ntwo\r\n",
      "old\rmac\r",
      "mixed\r\nlf\nlone\rcr\r\n",
      "no final end",
      std::string("nul\0byte\n", 9),
      "caf\xC3\xA9 \xE2\x82\xAC\n",   // UTF-8
      "caf\xE9 na\xEFve\r\n",         // Latin-1
      "private \xEE\x80\x8D char\n",  // U+E00D inside a UTF-8 text
      "para\xE2\x80\xA9sep\n",        // U+2029
      all,
  };
  for (const std::string &bytes : cases) {
    TTextCoding coding;
    std::string text = TextDecode(bytes, coding);
    EXPECT_EQ(TextEncode(text, coding), bytes) << bytes;
  }
}

TEST(TextCoding, LinesAndCharacters) {
  TTextCoding coding;
  EXPECT_EQ(TextDecode("a\r\nb\r\n", coding), "a\nb\n");
  EXPECT_EQ(coding.lineEnd, TLineEnd::CRLF);
  EXPECT_EQ(TextDecode("a\nb\rc", coding),
            "a\nb\xEE\x80\x8D"
            "c");  // stray CR kept as a mark
  EXPECT_EQ(coding.lineEnd, TLineEnd::LF);
  EXPECT_EQ(TextDecode("\xE9t\xE9", coding), "\xC3\xA9t\xC3\xA9");
  EXPECT_TRUE(coding.bytesAsChars);
  // Typed text in a one-byte-per-character file: new characters beyond
  // 255 are written as UTF-8, the rest as single bytes.
  EXPECT_EQ(TextEncode("\xC3\xA9\xE2\x82\xAC\n", coding), "\xE9\xE2\x82\xAC\n");
  EXPECT_EQ(TextDecode("x", coding), "x");
  EXPECT_EQ(coding.lineEnd, TLineEnd::LF);
}

TEST(TextCoding, PiecesOfALargeLoadJoinToTheWholeText) {
  // The hex dump made piece by piece is the dump of the whole block.
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i * 37);
  const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
  for (size_t size : {size_t{0}, size_t{1}, size_t{16}, size_t{17}, size_t{300}}) {
    std::string whole = BlockToHex(data, -static_cast<int32_t>(size));
    whole.erase(std::remove(whole.begin(), whole.end(), '\r'), whole.end());
    for (size_t step : {size_t{1}, size_t{16}, size_t{50}, size_t{1000}}) {
      std::u16string dump;
      for (size_t from = 0; from < size; from += step) {
        const size_t last = std::min(size, from + step);
        std::u16string piece(HexDumpLength(from, last), u'?');
        HexDumpWrite(data, from, last, piece.data());
        dump += piece;
      }
      EXPECT_EQ(dump, std::u16string(whole.begin(), whole.end())) << size << " " << step;
    }
  }
  // Text pieces never split a UTF-8 character and cover the text.
  const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\n";
  for (size_t step = 1; step <= text.size(); ++step) {
    std::string joined;
    for (size_t from = 0; from < text.size();) {
      const size_t end = TextPieceEnd(text, from, step);
      ASSERT_GT(end, from);
      ASSERT_TRUE(end == text.size() || (static_cast<unsigned char>(text[end]) & 0xC0) != 0x80);
      joined += text.substr(from, end - from);
      from = end;
    }
    EXPECT_EQ(joined, text);
  }
  EXPECT_EQ(TextLineCount(""), 1);
  EXPECT_EQ(TextLineCount("a\n"), 1);
  EXPECT_EQ(TextLineCount("a\n\n"), 2);
  EXPECT_EQ(TextLineCount("a\nb"), 2);
}

TEST(SaveFile, KeepsTheOldFileAsBackupAndReplacesTheOldBackup) {
  test::TempFolder dir;
  const std::string target = dir / "notes.txt";
  WriteAll(target, "first");
  int error = 0;
  std::string step;
  ASSERT_TRUE(SaveFileKeepingBackup(target, "second", error, step));
  EXPECT_EQ(ReadAll(target), "second");
  EXPECT_EQ(ReadAll(dir / "notes.txt~"), "first");
  ASSERT_TRUE(SaveFileKeepingBackup(target, "third", error, step));
  EXPECT_EQ(ReadAll(dir / "notes.txt~"), "second");
  ASSERT_TRUE(SaveFileKeepingBackup(dir / "new.txt", "n", error, step));
  EXPECT_FALSE(FsExists(dir / "new.txt~"));
  // Only target, backup and the new file: no temporary files left.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
}

TEST(SaveFile, EveryInjectedFailureLeavesTargetAndBackupIntact) {
  struct Fault {
    FsOp op;
    const char *part;
  } faults[] = {
      {FsOp::Create, "notes"},       {FsOp::Write, "notes"},       {FsOp::ShortWrite, "notes"},
      {FsOp::Sync, "notes"},         {FsOp::Close, "notes"},       {FsOp::Rename, "notes.txt"},
      {FsOp::Rename, "trovix-save"}, {FsOp::Rename, "trovix-old"}, {FsOp::Rename, "notes.txt~"},
  };
  for (const Fault &f : faults) {
    test::TempFolder dir;
    const std::string target = dir / "notes.txt";
    WriteAll(target, "old");
    WriteAll(dir / "notes.txt~", "older");
    FsInjectFault(f.op, f.part, ENOSPC, 1);
    int error = 0;
    std::string step;
    EXPECT_FALSE(SaveFileKeepingBackup(target, std::string(100000, 'x'), error, step))
        << static_cast<int>(f.op) << f.part;
    FsClearFaults();
    EXPECT_NE(error, 0);
    EXPECT_EQ(ReadAll(target), "old") << static_cast<int>(f.op) << f.part;
    EXPECT_EQ(ReadAll(dir / "notes.txt~"), "older") << static_cast<int>(f.op) << f.part;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2)
        << static_cast<int>(f.op) << f.part;
  }
}

TEST(SaveFile, WritesThroughALink) {
  test::TempFolder dir;
  WriteAll(dir / "real.txt", "old");
  ASSERT_TRUE(FsCreateLink("real.txt", dir / "link.txt"));
  int error = 0;
  std::string step;
  ASSERT_TRUE(SaveFileKeepingBackup(dir / "link.txt", "new", error, step));
  EXPECT_TRUE(FsIsLink(dir / "link.txt"));
  EXPECT_EQ(ReadAll(dir / "real.txt"), "new");
  EXPECT_EQ(ReadAll(dir / "real.txt~"), "old");
}

TEST(ReadWholeFile, LimitsAndFailures) {
  test::TempFolder dir;
  WriteAll(dir / "f", "12345");
  std::string bytes;
  int64_t size = 0;
  int error = 0;
  EXPECT_EQ(ReadWholeFile(dir / "f", 100, bytes, size, error), TReadResult::Ok);
  EXPECT_EQ(bytes, "12345");
  EXPECT_EQ(ReadWholeFile(dir / "f", 4, bytes, size, error), TReadResult::TooLarge);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(ReadWholeFile(dir / "missing", 100, bytes, size, error), TReadResult::Failed);
  EXPECT_EQ(error, ENOENT);
  FsInjectFault(FsOp::Read, "f", EIO, 2);
  EXPECT_EQ(ReadWholeFile(dir / "f", 100, bytes, size, error), TReadResult::Failed);
  FsClearFaults();
  EXPECT_EQ(error, EIO);
}

TEST(TextTools, EnterCopiesTheLeadingBlanksBeforeTheCaret) {
  EXPECT_EQ(EnterIndent("abc\n", 4), "");
  EXPECT_EQ(EnterIndent("    x", 5), "    ");
  EXPECT_EQ(EnterIndent("    x", 2), "  ");
  EXPECT_EQ(EnterIndent("a\r\n\t y", 7), "\t ");
  EXPECT_EQ(EnterIndent("a\r  y", 5), "  ");  // a lone CR ends a line too
}

TEST(TextTools, TabsAndSpaces) {
  EXPECT_EQ(TabsToSpaces("a\tb", 4), "a   b");
  EXPECT_EQ(SpacesToTabs("a   b", 4), "a\tb");
  EXPECT_EQ(SpacesToTabs("ab  \r\n", 4), "ab\r\n");
  EXPECT_EQ(TabsToSpaces("\xE9\t", 8), "\xE9       ");
  EXPECT_EQ(TabsToSpaces("\xC3\xA9\t", 8), "\xC3\xA9       ");  // one character, one column
  EXPECT_EQ(TabsToSpaces("x\ry\t", 4), "x\ry   ");              // CR starts a new line
  EXPECT_EQ(SpacesToTabs("        x  y", 8), "\tx  y");
  EXPECT_EQ(TabsSpacesConvert("\tx", 4), "    x");
  EXPECT_EQ(TabsSpacesConvert("    x", 4), "\tx");
}

TEST(TextTools, HexAsciiBothWays) {
  std::string r;
  ASSERT_TRUE(HexAsciiConvert("48 65 6C 6C 6F", r));
  EXPECT_EQ(r, "\"Hello\"");
  ASSERT_TRUE(HexAsciiConvert(r, r));
  EXPECT_EQ(r, "48 65 6C 6C 6F");
  ASSERT_TRUE(HexAsciiConvert("\"0123456789abcdefg\"", r));
  EXPECT_EQ(r, "30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66\n67");
  EXPECT_FALSE(HexAsciiConvert("zz", r));
}

TEST(TextTools, CaseWordAndBookmark) {
  size_t s, e;
  WordAround("say hello_2 now", 6, s, e);
  EXPECT_EQ(s, 4u);
  EXPECT_EQ(e, 11u);
  WordAround("a  b", 2, s, e);
  EXPECT_EQ(s, e);
  Bookmark = 0;
  EXPECT_EQ(ExchangeWithBookmark(7, 20), 0);
  EXPECT_EQ(ExchangeWithBookmark(0, 20), 7);
  Bookmark = 50;
  EXPECT_EQ(ExchangeWithBookmark(3, 10), 10);  // never past the text's end
}

TEST(TextTools, IndentAndOutdent) {
  int asked = 0;
  auto ask = [&] {
    ++asked;
    return true;
  };
  // Outdent removes one tab of each line; a line starting with a letter stays.
  TIndentResult r = IndentLines("\t\ta\n\t\tb\nc", 1, 8, true, ask);
  EXPECT_EQ(r.start, 0u);
  EXPECT_EQ(r.end, 9u);
  EXPECT_EQ(r.replacement, "\ta\n\tb\nc");
  // Indent of lines starting with a letter asks once; empty lines get it too.
  r = IndentLines("x\n\ny\nz", 0, 4, false, ask);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(r.end, 5u);
  EXPECT_EQ(r.replacement, "\tx\n\t\n\ty\n");
  // A first line starting with a space decides without asking.
  r = IndentLines("pre\n  a\r\nb", 5, 5, false, ask);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(r.start, 4u);
  EXPECT_EQ(r.replacement, "   a\r\n b");
}

TEST(TextTools, MixupRestoresAndLineOfPosition) {
  uint32_t h1, h2;
  const std::string s = "Secret line\nsecond caf\xC3\xA9 \xE2\x82\xAC";
  std::string mixed = MixupText(s, h1);
  EXPECT_NE(mixed, s);
  EXPECT_EQ(std::count(mixed.begin(), mixed.end(), '\n'), 1);
  EXPECT_EQ(MixupText(mixed, h2), s);
  EXPECT_EQ(h1, CrunchString(s));
  EXPECT_EQ(LineOfPosition("a\r\nb\nc\rd", 8), 4);
}

TEST(Find, Cases) {
  EXPECT_EQ(SearchText("abab", 0, "ab", 1, false, false), 2);
  EXPECT_EQ(SearchText("ab", 0, "ab", 1, false, false), -1);  // never at the caret
  EXPECT_EQ(SearchText("xa", 0, "A", 1, true, false), 1);
  EXPECT_EQ(SearchText("xa", 0, "A", 1, false, false), -1);
  EXPECT_EQ(SearchText("a7x", 0, "#?", 1, false, true), 1);
  EXPECT_EQ(SearchText("ax7", 0, "#?", 1, false, true), -1);
  EXPECT_EQ(SearchText("a#?", 0, "#?", 1, false, false), 1);
  EXPECT_EQ(SearchText("abc", 0, "a", -1, false, false), -1);  // previous at the start
  EXPECT_EQ(SearchText("abaa", 4, "aa", -1, false, false), 2);
  EXPECT_EQ(SearchText("abaab", 2, "ab", -1, false, false), 0);
}

TEST(Find, HistoryWithoutDuplicates) {
  SearchHistory.clear();
  SearchHistoryAdd("one");
  SearchHistoryAdd("two");
  SearchHistoryAdd("two");
  SearchHistoryAdd("");
  SearchHistoryAdd("ONE");
  EXPECT_EQ(SearchHistory, (std::vector<std::string>{"ONE", "two"}));
}

TEST(Macros, RecordReplayStoreLoad) {
  ClearMacros();
  std::string status = MacroRecordStart();
  EXPECT_EQ(status, "|b|4Type the Key that will be assigned a Macro");
  EXPECT_EQ(MacroKeyDown(0x451, status), TMacroKey::Chosen);
  EXPECT_TRUE(KeyConsumed);
  EXPECT_EQ(status, "|b|4Recording New Macro");
  EXPECT_EQ(MacroKeyDown('H', status), TMacroKey::PassOn);
  EXPECT_FALSE(KeyConsumed);
  EXPECT_EQ(MacroKeyDown('I', status), TMacroKey::PassOn);
  EXPECT_EQ(MacroKeyDown(0x900 + 'A', status), TMacroKey::PassOn);  // with a mouse button
  EXPECT_EQ(MacroRecordEnd(), "|b|4Macro Complete");
  ASSERT_NE(MacroFor(0x451), nullptr);
  EXPECT_EQ(*MacroFor(0x451), (std::vector<uint16_t>{'H', 'I'}));
  EXPECT_EQ(MacroKeyDown(0x451, status), TMacroKey::Replay);
  EXPECT_TRUE(KeyConsumed);

  INIStore.Clear();
  INIWrite("Macro0123", "0041");  // a stale entry that SaveMacros removes
  SaveMacros();
  EXPECT_EQ(INIRead("Macro0451"), "00480049");
  EXPECT_EQ(INIStore.IndexOf("Macro0123"), -1);
  ClearMacros();
  INIWrite("macro0052", "00410004");  // the prefix ignores case
  INIWrite("Macro0900", "0041");      // outside the table
  std::string longValue;
  for (int i = 0; i < 1200; ++i) longValue += "0041";
  INIWrite("Macro0053", longValue);
  LoadMacros();
  EXPECT_EQ(*MacroFor(0x451), (std::vector<uint16_t>{'H', 'I'}));
  EXPECT_EQ(*MacroFor(0x52), (std::vector<uint16_t>{0x41, 0x4}));
  EXPECT_EQ(MacroFor(0x53)->size(), 1000u);
  EXPECT_EQ(MacroFor(0x900), nullptr);
  ClearMacros();
  INIStore.Clear();
}

TEST(Macros, EmptyRecordingsAndBoundedReplay) {
  ClearMacros();
  std::string status;
  MacroRecordStart();
  MacroRecordEnd();  // no key chosen: nothing stored
  EXPECT_EQ(MacroTarget, 0);
  MacroTable[0x451] = {'X'};
  MacroRecordStart();
  MacroKeyDown(0x451, status);
  MacroRecordEnd();  // chosen but nothing typed: the macro goes
  EXPECT_EQ(MacroFor(0x451), nullptr);
  // Nesting stops at the depth bound, keys at the count bound.
  int depth = 0;
  while (MacroReplayBegin()) ++depth;
  EXPECT_EQ(depth, MacroMaxDepth);
  for (int i = 0; i < depth; ++i) MacroReplayEnd();
  ASSERT_TRUE(MacroReplayBegin());
  int keys = 0;
  while (MacroReplayKey()) ++keys;
  EXPECT_EQ(keys, MacroMaxReplay);
  MacroReplayEnd();
  ClearMacros();
}

TEST(ViewRules, SameFileAndKinds) {
  // Names differing in case are other files.
  EXPECT_EQ(ViewFileAction(true, "/a", vmText, "/A", false, false), TViewAction::Reuse);
  test::TempFolder dir;
  WriteAll(dir / "t.txt", "plain text\n");
  WriteAll(dir / "b.bin", std::string(200, '\0'));
  WriteAll(dir / "song.MP3", "ID3");
  EXPECT_EQ(ViewFileKind(dir / "t.txt", true, false), TViewKind::Text);
  EXPECT_EQ(ViewFileKind(dir / "t.txt", true, true), TViewKind::Hex);
  EXPECT_EQ(ViewFileKind(dir / "b.bin", true, false), TViewKind::Shell);
  EXPECT_EQ(ViewFileKind(dir / "b.bin", false, false), TViewKind::None);
  EXPECT_EQ(ViewFileKind(dir / "missing", true, false), TViewKind::Text);
  EXPECT_TRUE(ExtensionListed("/x/song.MP3", "mp3 wav"));
  EXPECT_FALSE(ExtensionListed("/x/mp3", "mp3 wav"));
  ViewRecognisers().media = [](const std::string &) { return true; };
  EXPECT_EQ(ViewFileKind(dir / "song.MP3", true, false), TViewKind::Media);
  EXPECT_EQ(ViewFileKind(dir / "song.MP3", true, true), TViewKind::Hex);
  ViewRecognisers().media = nullptr;
}

}  // namespace
}  // namespace trovix
