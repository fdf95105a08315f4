// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/file_operations.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "browser/operation_state.h"
#include "dialogs/event_log.h"
#include "dialogs/options.h"
#include "foundation/file_system.h"
#include "foundation/settings.h"
#include "test_util.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

constexpr int64_t kBase = 133'000'000'000'000'000;  // a file time in 2022

// A fresh temporary folder for each test, with the engine's shared state
// reset around it.
class FileOps : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  void Reset() {
    FsClearFaults();
    IssueList.Clear();
    LogClear();
    CancelRequested = false;
    FsSetHook(nullptr);
  }
  std::string P(const std::string &rel) const { return root + rel; }
  void Write(const std::string &rel, const std::string &text, int64_t time = kBase) {
    fs::create_directories(fs::path(P(rel)).parent_path());
    std::ofstream(P(rel), std::ios::binary) << text;
    ASSERT_TRUE(FsSetFileTime(P(rel), time));
  }
  std::string Read(const std::string &rel) const { return FileToString(P(rel)); }
  int64_t Time(const std::string &rel) const {
    int64_t t = -1;
    FsGetFileTime(P(rel), t);
    return t;
  }
  bool Exists(const std::string &rel) const { return FsExists(P(rel)); }
  // Leftover temporary files anywhere below the root.
  Strings Temps() const {
    Strings found;
    for (auto &e : fs::recursive_directory_iterator(root))
      if (e.path().filename().string().find(CopyTempMarker) != std::string::npos)
        found.push_back(e.path().string());
    return found;
  }
  Strings Problems() const {
    Strings p;
    for (const OperationIssue &i : IssueList.Items()) p.push_back(i.Problem);
    return p;
  }
  Strings Details() const {
    Strings d;
    for (const std::string &l : LogLines()) d.push_back(l.substr(1));
    return d;
  }
  test::TempFolder dir{"trovix-fileops"};
  std::string root = dir.path();
};

TEST(FileOpsHelpers, AgesAndExclusions) {
  EXPECT_EQ(FileAgeText(3 * ftDay + 4 * ftHour + 5 * ftMinute + 6 * ftSecond),
            "NEWER by 3 days 4:05:06");
  EXPECT_EQ(FileAgeText(3 * ftDay), "NEWER by 3 days ");
  EXPECT_EQ(FileAgeText(ftDay + 12 * ftHour), "NEWER by 36:00:00");  // whole difference shown
  EXPECT_EQ(FileAgeText(-ftDay), "OLDER by 24:00:00");

  // Any part of the name, in any case; Copy X below shows whole folders.
  EXPECT_TRUE(FileNameExcluded("tmpfile.txt", "tmp bak"));
  EXPECT_FALSE(FileNameExcluded("notes.txt", ""));
  EXPECT_FALSE(FileNameExcluded("tmpfile.txt", ".tmp"));
  EXPECT_TRUE(FileNameExcluded("my file.doc", "\"my file\",zzz"));
  EXPECT_FALSE(FileNameExcluded("a.tmp", "\"\" tmp"));  // stops at the first empty item
}

// The boundaries of the comparison; the common cases run on real files below.
TEST(FileOpsHelpers, CompareForCopyBoundaries) {
  auto verdict = [](int64_t dstSize, int64_t dstTime, bool sizeOnly, bool warnOlder) {
    CopyVerdict v = CompareForCopy(10, kBase, dstSize, dstTime, sizeOnly, warnOlder);
    return std::to_string(static_cast<int>(v.Decision)) + v.Problem;
  };
  EXPECT_EQ(verdict(10, kBase + ftSecond * 2 - 1, false, false), "1");  // just under 2 s
  EXPECT_EQ(verdict(10, kBase - ftSecond * 2 + 1, false, true), "1");
  EXPECT_EQ(verdict(10, kBase + ftSecond * 2, false, false), "2|b|2Destination NEWER by 0:00:02");
  EXPECT_EQ(verdict(10, kBase + ftHour + 1, false, false), "2|b|2Destination NEWER by 1:00:00");
  EXPECT_EQ(verdict(11, kBase - ftHour, false, false), std::string("2") + prSizeDifferent);
  // An unreadable (negative) time counts as 16:39 older, on either side.
  EXPECT_EQ(verdict(10, -1, false, false), "0");
  EXPECT_EQ(verdict(10, -1, false, true), "2|b|2Destination OLDER by 0:16:39");
  EXPECT_EQ(CompareForCopy(1, -1, 1, kBase, false, true).Problem,
            "|b|2Destination OLDER by 0:16:39");
}

TEST_F(FileOps, CopyComparesWithAnExistingDestination) {
  struct Row {
    int64_t offset;
    const char *dst;
    bool warnOlder, sizeOnly, result, copied;
    const char *problem;
  } rows[] = {
      {ftHour, "0123456789", false, false, true, false, nullptr},
      {-ftHour, "0123456789", false, false, true, false, nullptr},
      {-10 * ftSecond, "old", false, false, true, true, nullptr},
      {-10 * ftSecond, "old", true, false, false, false, "|b|2Destination OLDER by 0:00:10"},
      {10 * ftSecond, "0123456789", false, false, false, false, "|b|2Destination NEWER by 0:00:10"},
      {10 * ftSecond, "0123456789", false, true, true, false, nullptr},
      {-10 * ftSecond, "other", false, true, false, false, prSizeDifferent},
  };
  Write("src/a.txt", "ABCDEFGHIJ");
  for (const Row &r : rows) {
    Reset();
    TOperationContext context;
    context.WarnOverwriteOlder = r.warnOlder;
    context.CheckSizeOnly = r.sizeOnly;
    Write("dst/a.txt", r.dst, kBase + r.offset);
    EXPECT_EQ(FileCopy(P("src/a.txt"), P("dst/a.txt"), false, context), r.result) << r.offset;
    EXPECT_EQ(Read("dst/a.txt"), r.copied ? "ABCDEFGHIJ" : r.dst) << r.offset;
    EXPECT_EQ(Time("dst/a.txt"), r.copied ? kBase : kBase + r.offset);
    EXPECT_EQ(Details(), r.copied ? Strings{P("src/a.txt") + " copied"} : Strings{});
    EXPECT_EQ(Problems(), r.problem ? Strings{r.problem} : Strings{}) << r.offset;
  }
  EXPECT_TRUE(Temps().empty());
}

TEST_F(FileOps, CopyToNewPlacesAndOntoItself) {
  Write("src/a.txt", "data", kBase + 12345);
  Write("src/empty", "");
  EXPECT_TRUE(FileCopy(P("src/a.txt"), P("new/deep/a.txt"), false));  // folders made
  EXPECT_EQ(Read("new/deep/a.txt"), "data");
  EXPECT_EQ(Time("new/deep/a.txt"), kBase + 12345);
  EXPECT_TRUE(FileCopy(P("src/empty"), P("new/empty"), false));
  EXPECT_TRUE(Exists("new/empty"));
  EXPECT_EQ(Details(), (Strings{P("src/a.txt") + " copied", P("src/empty") + " copied"}));
  EXPECT_TRUE(FileCopy(P("src/a.txt"), P("src/A.txt"), false));  // letter case: another file
  LogClear();

  // The same file by path string, by another path, by a hard link, by a link.
  fs::create_hard_link(P("src/a.txt"), P("src/hard"));
  fs::create_symlink(P("src/a.txt"), P("src/soft"));
  for (const std::string &to :
       {P("src/a.txt"), P("src/../src/a.txt"), P("src/hard"), P("src/soft")}) {
    IssueList.Clear();
    EXPECT_FALSE(FileCopy(P("src/a.txt"), to, false)) << to;
    EXPECT_EQ(Problems(), Strings{prIdentical}) << to;
    IssueList.Clear();
    EXPECT_FALSE(FileCopy(P("src/a.txt"), to, true)) << to;
    EXPECT_EQ(IssueList.Count(), 0);
  }
  EXPECT_EQ(Read("src/a.txt"), "data");
  EXPECT_TRUE(fs::is_symlink(P("src/soft")));
  EXPECT_TRUE(Details().empty());
  EXPECT_TRUE(Temps().empty());
}

// Every failure leaves the source and an existing destination as they were,
// no temporary file, the right issue and no " copied" line.
TEST_F(FileOps, CopyFailuresLeaveEverythingAsItWas) {
  const std::string big(3 * 1024 * 1024 + 7, 'x');
  struct Row {
    FsOp op;
    const char *part;  // "src" or "dst": which side the fault is on
    int error;
    int64_t after;
    bool force;
    const char *problem;
    bool withSource;  // the issue names the source
  } rows[] = {
      {FsOp::Open, "src", EACCES, 0, false, prReadError, true},
      {FsOp::Read, "src", EIO, 100000, false, prReadError, true},
      {FsOp::Read, "src", EIO, 100000, true, nullptr, true},
      {FsOp::Write, "dst", EIO, 100000, false, prWriteError, false},
      {FsOp::Write, "dst", ENOSPC, 0, true, prWriteError, false},
      {FsOp::ShortWrite, "dst", 0, 2000000, false, prWriteError, false},
      {FsOp::Create, "dst", EACCES, 0, false, prCreateError, true},
      {FsOp::Rename, "dst", EIO, 0, false, prCreateError, true},
      {FsOp::SetTime, "dst", EPERM, 0, false, prWriteError, false},
      {FsOp::Close, "dst", EIO, 0, false, prWriteError, false},
  };
  Write("src/f.bin", big, kBase);
  for (const Row &r : rows) {
    for (bool existing : {false, true}) {
      Reset();
      fs::remove_all(P("dst"));
      if (existing) Write("dst/f.bin", "old content", kBase - ftDay);
      FsInjectFault(r.op, P(r.part) + "/", r.error, r.after);
      EXPECT_FALSE(FileCopy(P("src/f.bin"), P("dst/f.bin"), r.force));
      FsClearFaults();
      SCOPED_TRACE(std::to_string(static_cast<int>(r.op)) + (existing ? " existing" : " new"));
      EXPECT_EQ(Read("src/f.bin"), big);
      EXPECT_EQ(Exists("dst/f.bin"), existing);
      if (existing) {
        EXPECT_EQ(Read("dst/f.bin"), "old content");
        EXPECT_EQ(Time("dst/f.bin"), kBase - ftDay);
      }
      EXPECT_TRUE(Temps().empty());
      for (const std::string &d : Details()) EXPECT_EQ(d.find(" copied"), std::string::npos);
      std::vector<OperationIssue> issues = IssueList.Items();
      ASSERT_EQ(issues.size(), r.problem ? 1u : 0u);
      if (!r.problem) continue;
      EXPECT_EQ(issues[0].Problem, r.problem);
      EXPECT_EQ(issues[0].Kind, okCopy);
      EXPECT_EQ(issues[0].Source, r.withSource ? P("src/f.bin") : "");
      EXPECT_EQ(issues[0].Destination, r.problem == prReadError ? "" : P("dst/f.bin"));
    }
  }
  // Replacing a file syncs the new one first; a failed sync keeps the old.
  Reset();
  FsInjectFault(FsOp::Sync, P("dst/"), EIO);
  EXPECT_FALSE(FileCopy(P("src/f.bin"), P("dst/f.bin"), false));
  EXPECT_EQ(Read("dst/f.bin"), "old content");
  EXPECT_EQ(Problems(), Strings{prWriteError});
  // A temporary file that cannot be removed is reported for the user to act on.
  Reset();
  FsInjectFault(FsOp::Write, P("dst/"), EIO);
  FsInjectFault(FsOp::Delete, CopyTempMarker, EIO);
  EXPECT_FALSE(FileCopy(P("src/f.bin"), P("dst/f.bin"), false));
  ASSERT_EQ(Problems(), (Strings{prWriteError, prCannotDelete}));
  EXPECT_NE(IssueList.Items()[1].Source.find(CopyTempMarker), std::string::npos);
  EXPECT_EQ(Read("dst/f.bin"), "old content");
  // A read-only destination or a folder in the way cannot be replaced.
  Reset();
  FsSetReadOnly(P("dst/f.bin"), true);
  fs::create_directories(P("dst/dir.bin"));
  EXPECT_FALSE(FileCopy(P("src/f.bin"), P("dst/f.bin"), true));
  EXPECT_FALSE(FileCopy(P("src/f.bin"), P("dst/dir.bin"), true));
  EXPECT_EQ(Problems(), (Strings{prCreateError, prCreateError}));
  EXPECT_EQ(Read("dst/f.bin"), "old content");
}

TEST_F(FileOps, FolderCopyTestAndExclusions) {
  Write("src/a.txt", "a");
  Write("src/sub/b.txt", "bb");
  Write("src/sub/deeper/c.txt", "ccc");
  fs::create_directories(P("src/empty"));
  EXPECT_TRUE(FolderCopy(P("src/"), P("dst/"), false));
  EXPECT_EQ(Read("dst/sub/deeper/c.txt"), "ccc");
  EXPECT_EQ(Time("dst/sub/b.txt"), kBase);
  EXPECT_TRUE(fs::is_directory(P("dst/empty")));
  EXPECT_EQ(Details().size(), 3u);
  LogClear();
  EXPECT_TRUE(FolderCopy(P("src/"), P("dst/"), false));  // all up to date
  EXPECT_TRUE(Details().empty());

  // Test reads everything and writes nothing; only unreadable files are issues.
  FsInjectFault(FsOp::Read, P("src/sub/b.txt"), EIO, 1);
  EXPECT_FALSE(FolderCopy(P("src/"), "", false));
  EXPECT_TRUE(FileCopy(P("src/a.txt"), "", false));
  EXPECT_EQ(Problems(), Strings{prReadError});
  EXPECT_EQ(IssueList.Items()[0].Source, P("src/sub/b.txt"));
  // Only the failure is logged, with its cause.
  EXPECT_EQ(Details(), Strings{P("src/sub/b.txt") + ": File Read Error: Input/output error"});
  Reset();
  FsInjectFault(FsOp::List, P("src/sub/deeper"), EACCES);
  EXPECT_FALSE(FolderCopy(P("src/"), P("dst2/"), false));
  EXPECT_EQ(Problems(), Strings{prReadError});
  // A folder that cannot be made is an issue with its cause.
  Reset();
  FsInjectFault(FsOp::CreateFolder, P("dst3/empty"), ENOSPC);
  EXPECT_FALSE(FolderCopy(P("src/"), P("dst3/"), false));
  ASSERT_EQ(Problems(), Strings{prCreateError});
  EXPECT_EQ(IssueList.Items()[0].Source, P("src/empty/"));
  EXPECT_EQ(IssueList.Items()[0].Error, ENOSPC);

  // Copy X: names holding an item are left out silently.
  Reset();
  for (const char *n : {"x/x.tmp", "x/TMPDATA.txt", "x/old.BAK", "x/notes.txt"}) Write(n, "n");
  TOperationContext copyX;
  copyX.Exclusions = "tmp bak";
  EXPECT_FALSE(FolderCopy(P("x/"), P("y/"), false, copyX));  // some files were not copied
  EXPECT_EQ(Details(), Strings{P("x/notes.txt") + " copied"});
  EXPECT_EQ(Read("y/notes.txt"), "n");
  EXPECT_FALSE(Exists("y/x.tmp") || Exists("y/TMPDATA.txt") || Exists("y/old.BAK"));
  EXPECT_TRUE(IssueList.Count() == 0);

  // A copy into its own subfolder leaves that subfolder out and ends.
  Reset();
  EXPECT_FALSE(FolderCopy(P("src/"), P("src/sub/inner/"), false));
  EXPECT_EQ(Read("src/sub/inner/a.txt"), "a");
  EXPECT_EQ(Read("src/sub/inner/sub/b.txt"), "bb");
  EXPECT_FALSE(Exists("src/sub/inner/sub/inner"));
  EXPECT_EQ(Problems(), Strings{prIdentical});
  EXPECT_FALSE(FolderCopy(P("src/"), P("src/"), false));
}

TEST_F(FileOps, LinksAreNeverFollowed) {
  Write("outside/keep.txt", "keep");
  Write("tree/file.txt", "f");
  fs::create_directory_symlink(P("outside"), P("tree/dirlink"));
  fs::create_symlink("file.txt", P("tree/filelink"));

  EXPECT_TRUE(FolderCopy(P("tree/"), P("copy/"), false));
  EXPECT_EQ(fs::read_symlink(P("copy/dirlink")), P("outside"));
  EXPECT_EQ(fs::read_symlink(P("copy/filelink")), "file.txt");
  EXPECT_TRUE(FolderCopy(P("tree/"), "", false));  // a test does not follow them either
  EXPECT_EQ(IssueList.Count(), 0);

  EXPECT_TRUE(FolderDelete(P("tree/"), false));
  EXPECT_FALSE(Exists("tree"));
  EXPECT_EQ(Read("outside/keep.txt"), "keep");
  // A link chosen as a folder is deleted or moved as the link.
  EXPECT_TRUE(FolderDelete(P("copy/dirlink/"), false));
  EXPECT_EQ(Read("outside/keep.txt"), "keep");
  FileMove(P("copy/filelink"), P("moved"), false);
  EXPECT_TRUE(fs::is_symlink(P("moved")));
  EXPECT_EQ(IssueList.Count(), 0);
}

TEST_F(FileOps, Deleting) {
  Write("ro.txt", "r");
  FsSetReadOnly(P("ro.txt"), true);
  EXPECT_FALSE(FileDelete(P("ro.txt"), false));
  EXPECT_TRUE(Exists("ro.txt"));
  EXPECT_EQ(IssueList.Items().at(0).Kind, okDelete);
  EXPECT_EQ(Problems(), Strings{prCannotDelete});
  EXPECT_EQ(IssueList.Items().at(0).Error, EACCES);
  EXPECT_EQ(Details(), Strings{P("ro.txt") + ": Can NOT Delete File: Permission denied"});

  Write("d/x/1", "1");
  Write("d/2", "2");
  Reset();
  FsInjectFault(FsOp::RemoveFolder, P("d/x"), EBUSY);
  EXPECT_FALSE(FolderDelete(P("d/"), true));  // reported even when forced
  EXPECT_EQ(Problems(), (Strings{prRemoveFolder, prRemoveFolder}));
  FsClearFaults();
  IssueList.Clear();
  ItemDelete(P("d/"), false);
  EXPECT_FALSE(Exists("d"));
  EXPECT_EQ(Details().back(), P("d/") + " deleted");

  // Cancelled after the first deletion: the rest stays, nothing is recorded.
  for (int i = 0; i < 20; ++i) Write("c/sub/f" + std::to_string(i), "x");
  LogClear();
  LogSetNotify([] { CancelRequested = true; });
  EXPECT_FALSE(FolderDelete(P("c/"), false));
  LogSetNotify(nullptr);
  EXPECT_EQ(Details().size(), 1u);
  EXPECT_TRUE(Exists("c/sub"));
  EXPECT_EQ(IssueList.Count(), 0);
}

TEST_F(FileOps, Moving) {
  Write("src/a", "A");
  FileMove(P("src/a"), P("dst/a"), false);  // no such folder: copied and deleted
  Write("src/b", "B");
  FileMove(P("src/b"), P("dst/b"), false);
  EXPECT_EQ(Details(),
            (Strings{P("src/a") + " copied", P("src/a") + " deleted", P("src/b") + " moved"}));
  EXPECT_EQ(Read("dst/b"), "B");
  EXPECT_FALSE(Exists("src/b"));

  // Across volumes: copy, then delete the source.
  LogClear();
  Write("src/c", "C");
  FsInjectFault(FsOp::Rename, P("src/"), EXDEV);
  FileMove(P("src/c"), P("dst/c"), false);
  EXPECT_EQ(Details(), (Strings{P("src/c") + " copied", P("src/c") + " deleted"}));
  EXPECT_EQ(Read("dst/c"), "C");
  EXPECT_FALSE(Exists("src/c"));

  // Never onto an existing (here newer) file: an issue, both kept.
  Write("src/d", "new");
  Write("dst/d", "newer", kBase + ftHour * 5);
  FileMove(P("src/d"), P("dst/d"), false);
  EXPECT_EQ(Read("src/d"), "new");
  EXPECT_EQ(Read("dst/d"), "newer");
  EXPECT_EQ(IssueList.Items().at(0).Kind, okCopy);

  // Folders: renamed, across volumes copied and deleted, kept on any issue.
  Reset();
  Write("f1/x/1", "1");
  FolderMove(P("f1/"), P("f2/"), false);
  EXPECT_EQ(Details(), Strings{"Folder " + P("f1/") + " moved to " + P("f2/")});
  FsInjectFault(FsOp::Rename, P("f2"), EXDEV);
  FolderMove(P("f2/"), P("f3/"), false);
  EXPECT_EQ(Details().back(), P("f2/") + " copied & deleted");
  EXPECT_FALSE(Exists("f2"));
  EXPECT_EQ(Read("f3/x/1"), "1");
  Reset();
  Write("f4/x/1", "newer", kBase + ftDay);
  Write("f4/y", "y");
  FolderMove(P("f3/"), P("f4/"), false);  // the destination exists
  EXPECT_EQ(Read("f3/x/1"), "1");
  EXPECT_EQ(Read("f4/x/1"), "newer");
  EXPECT_EQ(Problems(), Strings{"|b|2Destination NEWER by 24:00:00"});
  EXPECT_TRUE(Temps().empty());
}

// ---- Safety of copies and moves ------------------------------------------------------

TEST_F(FileOps, MoveDeletesTheSourceOnlyWhenTheDestinationHoldsItsBytes) {
  Write("ms/a", "AAAA");
  Write("md/a", "BBBB", kBase + ftSecond);  // same size, a second apart: looks up to date
  Write("ms/b", "same");
  Write("md/b", "same", kBase - ftHour);
  FileMove(P("ms/a"), P("md/a"), false);
  FileMove(P("ms/b"), P("md/b"), false);
  EXPECT_EQ(Read("ms/a"), "AAAA");
  EXPECT_EQ(Read("md/a"), "BBBB");
  EXPECT_FALSE(Exists("ms/b"));
  EXPECT_EQ(Read("md/b"), "same");
  ASSERT_EQ(Problems(), Strings{prDestinationDiffers});
  EXPECT_EQ(IssueList.Items()[0].Kind, okMove);
  EXPECT_EQ(Details(), Strings{P("ms/b") + " deleted"});
  // The same inside a folder move; the source folder then stays.
  Write("fs/x", "XXXX");
  Write("fs/y", "yy");
  Write("fd/x", "ZZZZ", kBase + ftSecond);
  FsInjectFault(FsOp::Rename, P("fs/"), EXDEV);
  FolderMove(P("fs/"), P("fd/"), false);
  EXPECT_EQ(Read("fs/x"), "XXXX");
  EXPECT_EQ(Read("fd/x"), "ZZZZ");
  EXPECT_EQ(Problems().back(), prDestinationDiffers);
  // Proceeding with the issue replaces the destination and deletes the source.
  FsClearFaults();
  FileMove(P("ms/a"), P("md/a"), true);
  EXPECT_EQ(Read("md/a"), "AAAA");
  EXPECT_FALSE(Exists("ms/a"));
}

TEST_F(FileOps, PermissionBitsAsCpKeepsThem) {
  // Files first, then the folders holding them.
  const std::pair<const char *, int> items[] = {
      {"p/key", 0600},     {"p/script", 0700}, {"p/tool", 0755},   {"p/suid", 04755},
      {"p/all", 0666},     {"p/d600/f", 0644}, {"p/d700/f", 0644}, {"p/d755/f", 0644},
      {"p/d2775/f", 0644}, {"p/d600", 0600},   {"p/d700", 0700},   {"p/d755", 0755},
      {"p/d2775", 02775}};
  for (auto [name, mode] : items) {
    if (!Exists(name)) Write(name, "x");
    ASSERT_EQ(chmod(P(name).c_str(), mode), 0);
  }
  // The temporary file is private while it is written.
  std::vector<int> tempModes;
  FsSetHook([&](FsOp op, const std::string &path) {
    struct stat st;
    if (op == FsOp::Write && stat(path.c_str(), &st) == 0) tempModes.push_back(st.st_mode & 07777);
  });
  ASSERT_TRUE(FolderCopy(P("p/"), P("q/"), false));
  FsSetHook(nullptr);
  EXPECT_FALSE(tempModes.empty());
  for (int m : tempModes) EXPECT_EQ(m, 0600);
  ASSERT_EQ(std::system(("cp -r " + P("p") + " " + P("r")).c_str()), 0);
  auto mode = [&](const std::string &rel) {
    struct stat st {};
    lstat(P(rel).c_str(), &st);
    return st.st_mode & 07777;
  };
  int compared = 0;
  for (auto &e : fs::recursive_directory_iterator(P("p"))) {
    const std::string rel = e.path().string().substr(root.size() + 2);
    EXPECT_EQ(mode("q/" + rel), mode("r/" + rel)) << rel;
    ++compared;
  }
  EXPECT_EQ(compared, 13);
  // A replaced file gets the source's bits; a move across volumes keeps them.
  Write("q/key", "old", kBase - ftDay);
  fs::permissions(P("q/key"), fs::perms(0644));
  ASSERT_TRUE(FileCopy(P("p/key"), P("q/key"), false));
  EXPECT_EQ(mode("q/key"), 0600u);
  FsInjectFault(FsOp::Rename, P("p/"), EXDEV);
  FileMove(P("p/all"), P("moved"), false);
  EXPECT_EQ(mode("moved"), 0666u);
}

TEST_F(FileOps, FolderMoveDeletesOnlyWhatItCopied) {
  Write("mvsrc/a", "a");
  Write("mvsrc/sub/b", "b");
  FsInjectFault(FsOp::Rename, P("mvsrc"), EXDEV);
  int lists = 0;
  FsSetHook([&](FsOp op, const std::string &path) {
    // The second listing of the source is the delete after the copy.
    if (op == FsOp::List && path == P("mvsrc/") && ++lists == 2) {
      std::ofstream(P("mvsrc/late.txt")) << "saved meanwhile";
      std::ofstream(P("mvsrc/sub/late2")) << "too";
    }
  });
  FolderMove(P("mvsrc/"), P("mvdst/"), false);
  EXPECT_EQ(lists, 2);
  EXPECT_EQ(Read("mvdst/a"), "a");
  EXPECT_EQ(Read("mvdst/sub/b"), "b");
  EXPECT_FALSE(Exists("mvsrc/a") || Exists("mvsrc/sub/b"));
  EXPECT_EQ(Read("mvsrc/late.txt"), "saved meanwhile");
  EXPECT_EQ(Read("mvsrc/sub/late2"), "too");
  EXPECT_EQ(Problems(), (Strings{prChangedWhileMoving, prChangedWhileMoving}));
  for (const OperationIssue &i : IssueList.Items()) EXPECT_EQ(i.Kind, okMove);
  for (const std::string &d : Details()) EXPECT_EQ(d.find("copied & deleted"), std::string::npos);
}

TEST_F(FileOps, SourceChangedWhileCopyingIsNotPutInPlace) {
  Write("src/t", std::string(200000, 't'));
  bool changed = false;
  FsSetHook([&](FsOp op, const std::string &path) {
    if (op == FsOp::Read && path == P("src/t") && !changed) {
      changed = true;
      std::ofstream(P("src/t"), std::ios::app) << "appended by a writer";
    }
  });
  EXPECT_FALSE(FileCopy(P("src/t"), P("dst/t"), false));
  FsSetHook(nullptr);
  EXPECT_FALSE(Exists("dst/t"));
  EXPECT_EQ(Problems(), Strings{prSourceChanged});
  EXPECT_TRUE(Temps().empty());
  EXPECT_TRUE(FileCopy(P("src/t"), P("dst/t"), false));  // the next run copies it
  EXPECT_EQ(Read("dst/t"), Read("src/t"));
}

TEST_F(FileOps, AMoveSyncsTheCopyBeforeDeletingTheSource) {
  Write("xs/a", "a");
  Write("xs/f/b", "b");
  FsInjectFault(FsOp::Rename, P("xs/"), EXDEV);
  std::vector<std::pair<FsOp, std::string>> calls;  // the syncs and deletes, in order
  FsSetHook([&](FsOp op, const std::string &path) {
    if (op == FsOp::Sync || op == FsOp::Delete) calls.push_back({op, path});
  });
  FileMove(P("xs/a"), P("xd/a"), false);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_NE(calls[0].second.find(CopyTempMarker), std::string::npos);  // the file
  EXPECT_EQ(calls[1].second, P("xd/"));                                // its folder
  EXPECT_EQ(calls[2], std::pair(FsOp::Delete, P("xs/a")));             // then the source
  calls.clear();
  FolderMove(P("xs/f/"), P("xd/f/"), false);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_EQ(calls.back().first, FsOp::Delete);
  EXPECT_EQ(calls[calls.size() - 2].first, FsOp::Sync);
  EXPECT_FALSE(Exists("xs/f"));
  // A plain copy of a new file does not sync.
  calls.clear();
  EXPECT_TRUE(FileCopy(P("xd/a"), P("plain/a"), false));
  EXPECT_TRUE(calls.empty());
}

TEST_F(FileOps, SparseFilesKeepTheirHoles) {
  constexpr int64_t kSize = 16 << 20, kAt = 10 << 20;
  fs::create_directories(P("sp"));
  {
    std::ofstream f(P("sp/image"), std::ios::binary);
    f.seekp(kAt);
    f << std::string(16384, 'D');
  }
  fs::resize_file(P("sp/image"), kSize);
  ASSERT_TRUE(FileCopy(P("sp/image"), P("sp/copy"), false));
  struct stat st {};
  ASSERT_EQ(stat(P("sp/copy").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, kSize);
  EXPECT_LE(st.st_blocks * 512, 1 << 20);
  EXPECT_EQ(Read("sp/copy"), Read("sp/image"));
  EXPECT_TRUE(FileCopy(P("sp/image"), "", false));  // a test reads it
}

TEST_F(FileOps, AFolderSwappedForALinkMidWalkIsNotFollowed) {
  Write("outside/keep.txt", "keep");
  Write("tree/sub/x", "x");
  Write("tree/y", "y");
  auto swap = [&](FsOp op, const std::string &path) {
    if (op == FsOp::List && path == P("tree/sub/") && !fs::is_symlink(P("tree/sub"))) {
      fs::rename(P("tree/sub"), P("elsewhere"));
      fs::create_directory_symlink(P("outside"), P("tree/sub"));
    }
  };
  FsSetHook(swap);
  EXPECT_FALSE(FolderDelete(P("tree/"), false));
  EXPECT_EQ(Read("outside/keep.txt"), "keep");
  EXPECT_FALSE(Exists("tree/y"));
  EXPECT_EQ(Problems(), (Strings{prRemoveFolder, prRemoveFolder}));
  // The copy walk neither reads through it.
  Reset();
  fs::remove(P("tree/sub"));
  fs::rename(P("elsewhere"), P("tree/sub"));
  FsSetHook(swap);
  EXPECT_FALSE(FolderCopy(P("tree/"), P("copy/"), false));
  EXPECT_FALSE(Exists("copy/sub/keep.txt"));
  EXPECT_EQ(Problems(), Strings{prReadError});
}

TEST_F(FileOps, MovesWithoutNoReplaceAndHardLinks) {
  for (auto [noReplace, hardLink] :
       {std::pair{EINVAL, ENOSYS}, {ENOSYS, EINVAL}, {EINVAL, EEXIST}}) {
    Reset();
    Write("nr/a", "A");
    Write("nr/c", "C");
    Write("nr/d", "D", kBase + ftDay);
    FsInjectFault(FsOp::NoReplace, P("nr/"), noReplace);
    FsInjectFault(FsOp::HardLink, P("nr/"), hardLink);
    FileMove(P("nr/a"), P("nr/b"), false);
    EXPECT_EQ(Details(), Strings{P("nr/a") + " moved"});
    EXPECT_EQ(Read("nr/b"), "A");
    FileMove(P("nr/c"), P("nr/d"), false);  // never onto an existing file
    EXPECT_EQ(Read("nr/c"), "C");
    EXPECT_EQ(Read("nr/d"), "D");
    FolderMove(P("nr/"), P("nr2/"), false);
    EXPECT_EQ(Read("nr2/b"), "A");
    fs::remove_all(P("nr2"));
  }
}

TEST_F(FileOps, StaleTemporaryFilesAndAVanishedFolder) {
  Write("src/a", "a");
  const std::string stale = "dst/.a" + std::string(CopyTempMarker) + "0123456789abcdef-00000001";
  const std::string fresh = "dst/.b" + std::string(CopyTempMarker) + "0123456789abcdef-00000002";
  const std::string locked = "dst/.c" + std::string(CopyTempMarker) + "0123456789abcdef-00000003";
  const std::string other = "dst/.d" + std::string(CopyTempMarker) + "not-ours";
  const int64_t old = FileTimeNow() - 2 * ftDay;
  Write(stale, "s", old);
  Write(fresh, "f", FileTimeNow());
  Write(locked, "l", old);
  Write(other, "o", old);
  int handle = FsOpenRead(P(locked));
  ASSERT_TRUE(FsLockShared(handle));  // a copy still writing it
  EXPECT_TRUE(FileCopy(P("src/a"), P("dst/a"), false));
  FsClose(handle);
  EXPECT_FALSE(Exists(stale));
  EXPECT_TRUE(Exists(fresh) && Exists(locked) && Exists(other));

  // The destination folder goes away mid-copy: one create issue, and no
  // issue for the temporary file that went with it.
  Reset();
  Write("src/big", std::string(100000, 'b'));
  FsSetHook([&](FsOp op, const std::string &path) {
    if (op == FsOp::Write && path.find(CopyTempMarker) != std::string::npos)
      fs::remove_all(P("gone"));
  });
  EXPECT_FALSE(FileCopy(P("src/big"), P("gone/big"), false));
  EXPECT_EQ(Problems(), Strings{prCreateError});
}

TEST_F(FileOps, TextDetectionAndReading) {
  struct Row {
    std::string bytes;
    bool text;
  } rows[] = {
      {"", true},
      {std::string(1, '\0'), true},  // the last byte is never looked at
      {"plain words and\tTabs\n" + std::string(200, 'a'), true},
      {std::string(300, '\x01'), false},
      {"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 ", true},
      {std::string(100, '\xC3') + "abc", false},               // lead bytes without followers
      {std::string(50, 'a') + "\xC0\x80\xED\xA0\x80", false},  // overlong, surrogate
      {"", true},   // filled below: control bytes with CR LF lines
      {"", false},  // the same with LF lines only
  };
  for (int i = 0; i < 20; ++i) rows[4].bytes += "\xC3\xA9\xC3\xBC\xE2\x82\xAC";
  for (int i = 0; i < 20; ++i) rows[7].bytes.append(40, 'a') += "\x01\r\n";
  for (int i = 0; i < 20; ++i) rows[8].bytes.append(40, 'a') += "\x01\n";
  for (size_t i = 0; i < std::size(rows); ++i) {
    Write("t" + std::to_string(i), rows[i].bytes);
    EXPECT_EQ(FileIsText(P("t" + std::to_string(i))), rows[i].text) << i;
    EXPECT_EQ(Read("t" + std::to_string(i)), rows[i].bytes);
  }
  EXPECT_FALSE(FileIsText(P("missing")));
  EXPECT_EQ(FileToString(P("missing")), "");
}

}  // namespace
}  // namespace trovix
