// SPDX-License-Identifier: GPL-3.0-or-later
#include "search/search.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "foundation/file_system.h"
#include "foundation/file_text.h"
#include "foundation/strings.h"
#include "search/summary.h"
#include "test_util.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;

// Runs one search synchronously and returns "relative path|name" of each result.
std::vector<std::string> Search(TSearchJob &job) {
  job.State = ssSearching;
  job.Busy = true;
  job.Run();
  std::vector<std::string> out;
  for (int32_t i = 0; i < job.ResultCount; ++i)
    out.push_back(job.Results[i].path.substr(job.Params.SearchFolder.size()) + job.Results[i].name);
  return out;
}

std::vector<std::string> Search(const std::string &folder, const std::string &names,
                                const std::string &contents = "", bool binary = false) {
  TSearchJob job;
  job.Params.SearchFolder = folder;
  job.Params.NameText = names;
  job.Params.ContentBytes = contents;
  job.Params.BinaryFiles = binary;
  return Search(job);
}

using Names = std::vector<std::string>;

// ---- Name and contents matching ------------------------------------------------------

TEST(SearchWalk, NamesPartsFoldersAndSubFolders) {
  test::TempFolder t;
  test::WriteAll(t / "winsock.dll", "x");
  test::WriteAll(t / "sub/WINSOCK32.DLL", "xy");
  test::WriteAll(t / "winsock.exe", "x");
  test::WriteAll(t / "my file.txt", "x");
  fs::create_directories(t / "sub/deeper");
  EXPECT_EQ(Search(t.path(), "dll winsoc"), (Names{"winsock.dll", "sub/WINSOCK32.DLL"}));
  EXPECT_EQ(Search(t.path(), "my_file"), (Names{"my file.txt"}));
  EXPECT_TRUE(Search(t.path(), "*.dll").empty());  // no wildcards
  // Everything, folders first in name order.
  EXPECT_EQ(Search(t.path(), ""), (Names{"sub/deeper", "sub", "my file.txt", "winsock.dll",
                                         "winsock.exe", "sub/WINSOCK32.DLL"}));
  TSearchJob job;
  job.Params.SearchFolder = t.path();
  job.Params.SubFolders = false;
  EXPECT_EQ(Search(job), (Names{"sub", "my file.txt", "winsock.dll", "winsock.exe"}));
  EXPECT_EQ(job.TotalSize, 3u);
}

TEST(SearchWalk, ContentsNeverListFoldersAndHonourCaseAndBinary) {
  test::TempFolder t;
  test::WriteAll(t / "hello/a.txt", "say Hello world\n");
  test::WriteAll(t / "b.txt", "HELLO\n");
  test::WriteAll(t / "c.bin", std::string("\0\1\2\3hello", 9) + std::string(100, '\0'));
  EXPECT_EQ(Search(t.path(), "", "hello"), (Names{"hello/a.txt", "b.txt"}));
  EXPECT_EQ(Search(t.path(), "", "hello", true), (Names{"hello/a.txt", "b.txt", "c.bin"}));
  TSearchJob job;
  job.Params.SearchFolder = t.path();
  job.Params.ContentBytes = "Hello";
  job.Params.IgnoreCase = false;
  EXPECT_EQ(Search(job), (Names{"hello/a.txt"}));
}

TEST(SearchWalk, HexContents) {
  std::string bytes = "unchanged";
  ASSERT_TRUE(SearchHexContents("\"Column1\" 09 \"Column2\"", bytes));
  EXPECT_EQ(bytes, std::string("Column1\tColumn2"));
  bytes = "unchanged";
  EXPECT_FALSE(SearchHexContents("4G", bytes));
  EXPECT_EQ(bytes, "unchanged");
  // Ignore case also makes letter bytes of hex text match either case.
  test::TempFolder t;
  test::WriteAll(t / "a.dat", std::string("xx\x01"
                                          "column1\tCOLUMN2"));
  ASSERT_TRUE(SearchHexContents("01 \"Column1\" 09 \"Column2\"", bytes));
  EXPECT_EQ(Search(t.path(), "", bytes, true), (Names{"a.dat"}));
}

TEST(SearchWalk, LinksPipesAndUnreadableFiles) {
  test::TempFolder t, outside;
  test::WriteAll(outside / "secret.txt", "needle");
  test::WriteAll(t / "in/plain.txt", "needle");
  test::WriteAll(t / "in/broken.txt", "needle needle");
  fs::create_directory_symlink(outside.path(), t / "linkdir");
  fs::create_symlink(outside / "secret.txt", t / "link.txt");
  ASSERT_EQ(mkfifo((t / "in/pipe.txt").c_str(), 0600), 0);
  // Links are listed, never entered; the pipe is listed by name.
  EXPECT_EQ(Search(t.path(), ".txt"),
            (Names{"in/broken.txt", "link.txt", "in/pipe.txt", "in/plain.txt"}));
  EXPECT_EQ(Search(t.path(), "link"), (Names{"linkdir", "link.txt"}));
  // A contents test never reads through a link, never opens the pipe (which
  // would block for ever) and drops a file that cannot be read to its end.
  FsInjectFault(FsOp::Read, "broken.txt", EIO, 8);
  EXPECT_EQ(Search(t.path(), "", "needle", true), (Names{"in/plain.txt"}));
  FsClearFaults();
  FsInjectFault(FsOp::List, "/in/", EACCES);
  EXPECT_EQ(Search(t.path(), "plain"), Names{});  // an unreadable folder is skipped
  FsClearFaults();
}

TEST(SearchWalk, AccessTimeIsKept) {
  test::TempFolder t;
  test::WriteAll(t / "a.txt", "find me");
  struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (t / "a.txt").c_str(), times, 0), 0);
  EXPECT_EQ(Search(t.path(), "", "me"), (Names{"a.txt"}));
  struct stat st;
  ASSERT_EQ(stat((t / "a.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
}

// The walk finds what a plain recursive listing finds, on a random tree.
TEST(SearchWalk, SameAsRecursiveListing) {
  test::TempFolder t;
  std::mt19937 rng(7);
  std::vector<std::string> folders{""};
  for (int i = 0; i < 300; ++i) {
    const std::string parent = folders[rng() % folders.size()];
    const std::string name = std::string(1, "abAB"[rng() % 4]) + std::to_string(i);
    if (rng() % 4 == 0) {
      fs::create_directories(t / (parent + name));
      folders.push_back(parent + name + "/");
    } else {
      test::WriteAll(t / (parent + name + ".txt"), "x");
    }
  }
  std::set<std::string> expected;
  for (const auto &e : fs::recursive_directory_iterator(t.path())) {
    const std::string name = e.path().filename().string();
    if (name.find('a') != std::string::npos || name.find('A') != std::string::npos)
      expected.insert(e.path().string().substr(t.path().size()));
  }
  const Names found = Search(t.path(), "a");
  EXPECT_EQ(std::set<std::string>(found.begin(), found.end()), expected);
  EXPECT_EQ(found.size(), expected.size());
}

// ---- Equivalence with the plain loops -------------------------------------------------

// Name parts by StrPos, as the plain rule reads.
bool PlainNameMatches(const std::string &name, const std::string &text) {
  int32_t pos = 1;
  for (;;) {
    std::string item = StrGetItem(text, pos);
    if (item.empty()) return true;
    if (StrPos(1, item, name) == 0) return false;
  }
}

// The byte-by-byte scan of a whole file held in memory.
bool PlainContains(const std::string &file, const std::string &pattern, bool ignoreCase) {
  for (size_t i = 0; i + pattern.size() <= file.size(); ++i) {
    size_t k = 0;
    while (k < pattern.size() &&
           (ignoreCase ? UpCase(file[i + k]) == UpCase(pattern[k]) : file[i + k] == pattern[k]))
      ++k;
    if (k == pattern.size()) return true;
  }
  return false;
}

std::string RandomText(std::mt19937 &rng, size_t n, const char *alphabet) {
  std::string s(n, ' ');
  const size_t a = strlen(alphabet);
  for (char &c : s) c = alphabet[rng() % a];
  return s;
}

TEST(SearchEquivalence, NameParts) {
  std::mt19937 rng(1);
  for (int i = 0; i < 3000; ++i) {
    const std::string name = RandomText(rng, rng() % 12, "abAB._ \xC3");
    const std::string text = RandomText(rng, rng() % 7, "aBb ,_.\"\xC3");
    std::vector<std::string> parts;
    for (const std::string &p : SearchNameParts(text)) parts.push_back(UpperCase(p));
    ASSERT_EQ(SearchNameMatches(name, parts), PlainNameMatches(name, text))
        << name << " / " << text;
  }
}

// Bytes that differ from a letter of the pattern by case alone ("@" and "`",
// "[" and "{", 0xC1 and 0xE1) must still compare exactly.
TEST(SearchEquivalence, ContentScanAcrossBlocks) {
  std::mt19937 rng(2);
  const size_t block = 32768;
  for (int i = 0; i < 600; ++i) {
    std::string pattern = RandomText(rng, 1 + rng() % 40, i % 2 ? "abAB\x01\xE1" : "aZ@`[{\xE1");
    std::string file =
        RandomText(rng, rng() % (4 * block), i % 2 ? "abcAB\x01\xE1\xC1" : "azAZ@`[{\xC1\xE1");
    // Most files carry the pattern (or its other case) near a block boundary.
    if (rng() % 4 != 0 && file.size() > pattern.size()) {
      size_t at = (1 + rng() % 3) * (block - pattern.size() + 1) - rng() % pattern.size();
      at = std::min(at, file.size() - pattern.size());
      std::string put = rng() % 2 ? UpperCase(pattern) : pattern;
      file.replace(at, put.size(), put);
    }
    const bool ignoreCase = rng() % 2;
    TContentScanner scanner(pattern, ignoreCase, block);
    size_t pos = 0;
    auto read = [&](void *buffer, int64_t count) -> int64_t {
      // Short reads of varying length, as pipes and network files give.
      int64_t n = std::min<int64_t>({count, static_cast<int64_t>(file.size() - pos),
                                     static_cast<int64_t>(1 + rng() % (2 * block))});
      memcpy(buffer, file.data() + pos, static_cast<size_t>(n));
      pos += static_cast<size_t>(n);
      return n;
    };
    ASSERT_EQ(scanner.Scan(read, false), PlainContains(file, pattern, ignoreCase))
        << "case " << i << " size " << file.size();
  }
}

// The text check as the plain byte loop.
bool PlainIsText(const unsigned char *b, int64_t n) {
  n = std::min<int64_t>(n, 32768);
  if (n <= 0) return true;
  int64_t odd = 0, lines = 0;
  for (int64_t i = 0; i <= n - 2;) {
    const unsigned char c = b[i];
    if ((c >= 32 && c <= 127) || c == 9 || c == 10) {
      ++i;
    } else if (c == 13 && b[i + 1] == 10) {
      ++lines;
      i += 2;
    } else if (int length = c >= 0x80 ? Utf8SequenceLength(b + i, b + n) : 0) {
      i += length;
    } else {
      ++odd;
      ++i;
    }
  }
  return odd * 1000 / n <= 5 || (lines * 1000 / n >= 10 && odd * 1000 / n <= 200);
}

TEST(SearchEquivalence, TextCheck) {
  std::mt19937 rng(4);
  for (int i = 0; i < 3000; ++i) {
    // Mostly plain text with a share of odd bytes, line ends and UTF-8 that
    // puts the result near its limits.
    const size_t n = i % 10 == 0 ? 32768 + rng() % 64 : rng() % 3000;
    const unsigned share = 1 + rng() % 400;
    std::string s(n, 'a');
    for (char &c : s) {
      const unsigned r = rng() % 1000;
      c = r < share ? "\x01\x80\xC3\xA9\r\n\t\xFF"[rng() % 8] : static_cast<char>(32 + rng() % 96);
    }
    const auto *b = reinterpret_cast<const unsigned char *>(s.data());
    ASSERT_EQ(FileIsTextBytes(b, static_cast<int64_t>(n)), PlainIsText(b, static_cast<int64_t>(n)))
        << "case " << i;
  }
}

// The twin filter as the plain all-pairs loop.
void PlainFilter(std::vector<SearchEntry> &r, const TSearchParams &p) {
  const uint8_t d = p.DuplicatesOnly ? 1 : 0;
  auto twins = [&](const SearchEntry &a, const SearchEntry &b) {
    if (p.SameName && a.name != b.name) return false;
    if (p.SameSize && a.size != b.size) return false;
    if (p.SameDate && a.time != b.time) return false;
    return true;
  };
  for (auto &e : r) e.flag = d;
  for (size_t i = 0; i < r.size(); ++i)
    if (r[i].flag == d)
      for (size_t j = i + 1; j < r.size(); ++j)
        if (twins(r[i], r[j])) r[i].flag = r[j].flag = static_cast<uint8_t>(1 - d);
}

std::vector<SearchEntry> RandomEntries(std::mt19937 &rng, size_t n) {
  std::vector<SearchEntry> r(n);
  for (auto &e : r) {
    e.path = "/" + RandomText(rng, 1 + rng() % 2, "dD") + "/";
    e.name = RandomText(rng, 1 + rng() % 2, "aA.");
    e.size = rng() % 3;
    e.time = rng() % 3;
    e.attributes = rng() % 5 == 0 ? faDirectory : 0;
  }
  return r;
}

TEST(SearchEquivalence, DuplicateAndUniqueFilter) {
  std::mt19937 rng(3);
  for (int i = 0; i < 400; ++i) {
    TSearchJob job;
    job.Results = RandomEntries(rng, rng() % 40);
    job.ResultCount = static_cast<int32_t>(job.Results.size());
    job.Params.DuplicatesOnly = rng() % 2;
    job.Params.UniquesOnly = !job.Params.DuplicatesOnly;
    job.Params.SameName = rng() % 2;
    job.Params.SameSize = rng() % 2;
    job.Params.SameDate = rng() % 2;
    std::vector<SearchEntry> plain = job.Results;
    PlainFilter(plain, job.Params);
    job.Filter();
    for (size_t k = 0; k < plain.size(); ++k) ASSERT_EQ(job.Results[k].flag, plain[k].flag);
  }
}

// The comparison of the plain rules, ties broken byte for byte.
int PlainCompare(const SearchEntry &a, const SearchEntry &b, int key) {
  if (a.flag != b.flag) return a.flag == 0 ? -1 : 1;
  const bool fa = a.attributes & faDirectory, fb = b.attributes & faDirectory;
  auto byName = [&] {
    if (fa != fb) return fa ? -1 : 1;
    int r = StrCompare(a.name, b.name);
    return r ? r : StrCompare(a.path, b.path);
  };
  int r = 0;
  if (key == 0) r = byName();
  if (key == 1) {
    if (fa != fb) return fa ? -1 : 1;
    r = StrCompareFrom(a.name, b.name, StrPosChLast('.', a.name), StrPosChLast('.', b.name));
    if (!r) r = byName();
  }
  if (key == 2) {
    r = StrCompare(a.path, b.path);
    if (!r) r = StrCompare(a.name, b.name);
    if (!r) r = a.path.compare(b.path);
  }
  if (key == 3) r = a.size < b.size ? -1 : a.size > b.size ? 1 : byName();
  if (key == 4) r = a.time > b.time ? -1 : a.time < b.time ? 1 : byName();
  if (!r) r = a.name.compare(b.name);
  if (!r) r = a.path.compare(b.path);
  return r;
}

// The gap sort of the plain rules.
void PlainGapSort(std::vector<SearchEntry> &r, int key) {
  size_t gap = 1;
  while (gap < r.size()) gap *= 2;
  for (; gap >= 1; gap /= 2) {
    bool swapped = true;
    while (swapped) {
      swapped = false;
      for (size_t i = 0; i + gap < r.size(); ++i)
        if (PlainCompare(r[i], r[i + gap], key) > 0) {
          std::swap(r[i], r[i + gap]);
          swapped = true;
        }
    }
  }
}

TEST(SearchEquivalence, SortOrders) {
  std::mt19937 rng(4);
  for (int i = 0; i < 300; ++i) {
    TSearchJob job;
    job.Results = RandomEntries(rng, rng() % 60);
    for (auto &e : job.Results) e.flag = rng() % 4 == 0;
    job.ResultCount = static_cast<int32_t>(job.Results.size());
    job.SortKey = static_cast<uint8_t>(rng() % 5);
    std::vector<SearchEntry> plain = job.Results;
    PlainGapSort(plain, job.SortKey);
    ASSERT_TRUE(job.Sort());
    for (size_t k = 0; k < plain.size(); ++k) {
      ASSERT_EQ(job.Results[k].path + job.Results[k].name, plain[k].path + plain[k].name)
          << "key " << int(job.SortKey) << " at " << k;
      ASSERT_EQ(job.Results[k].flag, plain[k].flag);
    }
  }
}

// ---- Filter, sort, cut and total through a search -----------------------------------

SearchEntry Entry(const std::string &path, const std::string &name, uint64_t size, int64_t time,
                  uint32_t attr = 0) {
  SearchEntry e;
  e.path = path;
  e.name = name;
  e.size = size;
  e.time = time;
  e.attributes = attr;
  return e;
}

TEST(SearchFilter, DuplicateSearchCutsAndTotals) {
  test::TempFolder t;
  test::WriteAll(t / "a/same.txt", "12345");
  test::WriteAll(t / "b/same.txt", "12345");
  test::WriteAll(t / "c/same.txt", "1234567");
  test::WriteAll(t / "lonely.txt", "1");
  for (const char *p : {"a/same.txt", "b/same.txt", "c/same.txt"}) {
    struct timespec times[2] = {{1000, 0}, {1000, 0}};
    utimensat(AT_FDCWD, (t / p).c_str(), times, 0);
  }
  TSearchJob job;
  job.Params.SearchFolder = t.path();
  job.Params.NameText = ".txt";
  job.Params.DuplicatesOnly = true;
  EXPECT_EQ(Search(job), (Names{"a/same.txt", "b/same.txt"}));
  EXPECT_EQ(job.TotalSize, 10u);
  job.Params.DuplicatesOnly = false;
  job.Params.UniquesOnly = true;
  EXPECT_EQ(Search(job), (Names{"lonely.txt", "c/same.txt"}));
  EXPECT_EQ(job.TotalSize, 8u);
}

TEST(SearchDelete, DeletedFilesStayGreyAndTotalKept) {
  test::TempFolder t;
  test::WriteAll(t / "a.txt", "aaa");
  test::WriteAll(t / "b.txt", "bb");
  test::WriteAll(t / "sub/c.txt", "c");
  chmod((t / "b.txt").c_str(), 0444);
  TSearchJob job;
  job.Params.SearchFolder = t.path();
  ASSERT_EQ(Search(job), (Names{"sub", "a.txt", "b.txt", "sub/c.txt"}));
  const uint64_t total = job.TotalSize;
  job.DeleteTop = 1;  // the folder row, then a.txt and the read-only b.txt
  job.DeleteBottom = 3;
  job.State = ssDeleting;
  job.Busy = true;
  job.Run();
  EXPECT_EQ(job.State, ssReady);
  EXPECT_FALSE(job.Busy);
  EXPECT_EQ(job.ResultCount, 4);
  EXPECT_EQ(job.TotalSize, total);
  EXPECT_EQ(job.Results[0].flag, 0);  // folders are not deleted here
  EXPECT_EQ(job.Results[1].flag, 1);
  EXPECT_EQ(job.Results[2].flag, 1);
  EXPECT_EQ(job.Results[3].flag, 0);
  EXPECT_TRUE(fs::exists(t / "sub"));
  EXPECT_FALSE(fs::exists(t / "a.txt"));
  EXPECT_FALSE(fs::exists(t / "b.txt"));
  // A failed delete is greyed all the same.
  FsInjectFault(FsOp::Delete, "c.txt", EBUSY);
  job.DeleteTop = job.DeleteBottom = 4;
  job.State = ssDeleting;
  job.Run();
  FsClearFaults();
  EXPECT_EQ(job.Results[3].flag, 1);
  EXPECT_TRUE(fs::exists(t / "sub/c.txt"));
  // Sorting puts deleted entries last.
  job.SortKey = skName;
  job.Sort();
  EXPECT_EQ(job.Results[0].name, "sub");
  EXPECT_EQ(job.Results[1].flag, 1);
}

TEST(SearchAbort, StoppedWalkLeavesAnEmptyList) {
  test::TempFolder t;
  for (int i = 0; i < 50; ++i) test::WriteAll(t / ("f" + std::to_string(i)), "x");
  TSearchJob job;
  job.Params.SearchFolder = t.path();
  job.State = ssAborting;  // as if the stop mark was pressed before the first entry
  job.Busy = true;
  job.Walk();
  EXPECT_TRUE(job.Results.empty());
  // RequestAbort only replaces the states of a running worker.
  job.State = ssReady;
  job.RequestAbort();
  EXPECT_EQ(job.State, ssReady);
  job.State = ssSorting;
  job.RequestAbort();
  EXPECT_EQ(job.State, ssAborting);
}

// ---- Summary -------------------------------------------------------------------------

TEST(Summary, TypesAndFolders) {
  const uint64_t GiB = 1ull << 30;
  std::vector<SearchEntry> r = {
      Entry("/d/", "a.TXT", 10, 0),          Entry("/d/", "b.txt", 20, 0),
      Entry("/Dir/", "noext", 5, 0),         Entry("/dir/", "big.iso", 5 * GiB, 0),
      Entry("/dir/", "mid.img", 3 * GiB, 0), Entry("/d/", "sub", 0, 0, faDirectory),
      Entry("/d/", "gone.txt", 99, 0)};
  r.back().flag = 1;  // deleted in the search window
  std::vector<SummaryItem> types, folders;
  SummaryBuild(r, static_cast<int32_t>(r.size()), types, folders);
  ASSERT_EQ(types.size(), 4u);
  EXPECT_EQ(types[0].name, ".TXT");
  EXPECT_EQ(types[0].count, 2);
  EXPECT_EQ(types[0].size, 30u);
  EXPECT_EQ(types[1].name, "");
  ASSERT_EQ(folders.size(), 3u);  // "/Dir/" and "/dir/" are two folders
  EXPECT_EQ(folders[0].name, "/d/");
  EXPECT_EQ(folders[0].count, 2);
  SummarySort(types, 2);
  EXPECT_EQ(types[2].name, ".img");
  EXPECT_EQ(types[3].name, ".iso");
  SummarySort(types, 0);
  EXPECT_EQ(types[0].name, "");
  EXPECT_EQ(SummaryFindType(r, 7, ".txt"), 0);
  EXPECT_EQ(SummaryFindType(r, 7, ""), 2);
  EXPECT_EQ(SummaryFindFolder(r, 7, "/dir/"), 3);
  EXPECT_EQ(SummaryFindFolder(r, 7, "/Dir/"), 2);
  // Only folders: empty lists.
  std::vector<SearchEntry> onlyFolders = {Entry("/", "x", 0, 0, faDirectory)};
  SummaryBuild(onlyFolders, 1, types, folders);
  EXPECT_TRUE(types.empty());
  EXPECT_TRUE(folders.empty());
}

}  // namespace
}  // namespace trovix
