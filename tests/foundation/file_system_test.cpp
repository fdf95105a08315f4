// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "test_util.h"

using namespace trovix;

namespace {

constexpr int64_t kUnixEpochTicks = 116'444'736'000'000'000;

// The error a call reported, 0 when it worked.
int Failure(bool worked) { return worked ? 0 : FsLastError(); }

class FileSystemTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
  void TearDown() override { FsClearFaults(); }

  std::string Path(const std::string &name) const { return dir_ / name; }

  static bool Write(const std::string &path, const std::string &bytes) {
    int h = FsCreate(path, false);
    if (h == FsInvalidHandle) return false;
    bool ok = FsWrite(h, bytes.data(), int64_t(bytes.size())) == int64_t(bytes.size());
    return FsClose(h) && ok;
  }
  static std::string Read(const std::string &path) {
    int h = FsOpenRead(path);
    if (h == FsInvalidHandle) return "<none>";
    std::string out;
    char buf[4096];
    for (int64_t n; (n = FsRead(h, buf, sizeof buf)) > 0;) out.append(buf, size_t(n));
    FsClose(h);
    return out;
  }
  std::map<std::string, FsEntry> List() const {
    std::vector<FsEntry> entries;
    EXPECT_TRUE(FsListFolder(dir_.path(), entries));
    std::map<std::string, FsEntry> byName;
    for (const FsEntry &e : entries) byName[e.name] = e;
    return byName;
  }

  test::TempFolder dir_{"trovix-fs"};
};

TEST_F(FileSystemTest, TimesRoundTripToTheTick) {
  EXPECT_EQ(FileTimeFromUnixNs(0), kUnixEpochTicks);
  EXPECT_EQ(FileTimeFromUnixNs(-1), kUnixEpochTicks - 1);  // toward the past
  EXPECT_EQ(FileTimeToUnixNs(FileTimeFromUnixNs(1'700'000'000'123'456'700)),
            1'700'000'000'123'456'700);
  EXPECT_NEAR(double(FileTimeNow() - FileTimeFromUnixNs(int64_t(time(nullptr)) * 1'000'000'000)),
              0.0, 5e7);

  std::string f = Path("f");
  ASSERT_TRUE(Write(f, "x"));
  // An odd tick after 1970, then one before 1970 with a part second.
  for (int64_t t : {int64_t(133'456'789'012'345'677), kUnixEpochTicks - 12'345'678'901}) {
    ASSERT_TRUE(FsSetFileTime(f, t));
    int64_t got = 0;
    EXPECT_TRUE(FsGetFileTime(f, got));
    EXPECT_EQ(got, t);
    EXPECT_EQ(List()["f"].time, t);
  }
  // Through the handle, as a copy sets its destination before closing it.
  constexpr int64_t kTime = 130'000'000'000'000'001;
  int h = FsCreate(Path("g"), true);
  ASSERT_NE(h, FsInvalidHandle);
  int64_t got = 0;
  EXPECT_TRUE(FsWrite(h, "abc", 3) == 3 && FsSetFileTime(h, kTime) && FsGetFileTime(h, got));
  EXPECT_EQ(got, kTime);
  EXPECT_TRUE(FsClose(h));
  FsEntry info;
  ASSERT_TRUE(FsGetInfo(Path("g"), info));
  EXPECT_EQ(std::make_pair(info.time, info.size), std::make_pair(kTime, int64_t{3}));
}

TEST_F(FileSystemTest, FilesCreateReadAndReplace) {
  std::string f = Path("f");
  ASSERT_TRUE(Write(f, "long content"));
  EXPECT_EQ(Failure(FsCreate(f, true) != FsInvalidHandle), EEXIST);
  ASSERT_TRUE(Write(f, "short"));  // replaces, truncating
  EXPECT_EQ(Read(f), "short");
  EXPECT_EQ(Failure(FsOpenRead(Path("missing")) != FsInvalidHandle), ENOENT);
  ASSERT_TRUE(FsCreateFolders(Path("sub/")));
  EXPECT_EQ(Failure(FsOpenRead(Path("sub/")) != FsInvalidHandle), EISDIR);
  // A named pipe is refused at once instead of blocking the caller.
  ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0644), 0);
  EXPECT_EQ(FsOpenRead(Path("pipe")), FsInvalidHandle);
  EXPECT_EQ(FsCreate(Path("pipe"), false), FsInvalidHandle);
  int h = FsOpenRead(f);
  char buf[16];
  EXPECT_EQ(FsFileSize(h), 5);
  EXPECT_EQ(FsRead(h, buf, sizeof buf), 5);
  EXPECT_EQ(FsRead(h, buf, sizeof buf), 0);
  EXPECT_EQ(FsLastError(), 0);
  EXPECT_TRUE(FsClose(h));
}

TEST_F(FileSystemTest, MoveNeverReplacesAndReplaceDoes) {
  std::string a = Path("a"), b = Path("b"), c = Path("c");
  ASSERT_TRUE(Write(a, "A"));
  ASSERT_TRUE(Write(b, "B"));
  EXPECT_EQ(Failure(FsMove(a, b)), EEXIST);
  EXPECT_EQ(Read(a), "A");
  EXPECT_EQ(Read(b), "B");
  EXPECT_TRUE(FsMove(a, c));
  EXPECT_FALSE(FsExists(a));
  EXPECT_EQ(Read(c), "A");

  // Folders: not over an existing (even empty) one; a link moves as a link.
  ASSERT_TRUE(FsCreateFolders(Path("d1/inner/")) && FsCreateFolders(Path("d2/")));
  EXPECT_EQ(Failure(FsMove(Path("d1/"), Path("d2/"))), EEXIST);
  EXPECT_TRUE(FsMove(Path("d1/"), Path("d3/")));
  EXPECT_TRUE(FsFolderExists(Path("d3/inner/")));
  ASSERT_TRUE(FsCreateLink("d3", Path("link")));
  EXPECT_TRUE(FsMove(Path("link/"), Path("link2/")));
  EXPECT_TRUE(FsIsLink(Path("link2")));
  EXPECT_TRUE(FsFolderExists(Path("d3/inner/")));

  EXPECT_TRUE(FsReplace(c, b));
  EXPECT_EQ(Read(b), "A");
  EXPECT_FALSE(FsExists(c));
  ASSERT_TRUE(Write(c, "C"));
  ASSERT_TRUE(FsSetReadOnly(b, true));
  EXPECT_EQ(Failure(FsReplace(c, b)), EACCES);
  EXPECT_EQ(Read(b), "A");

  // Another volume: /dev/shm is a separate file system on most machines.
  std::string other = "/dev/shm/trovix-fs-test-" + std::to_string(getpid());
  struct stat s1, s2;
  if (Write(other, "X") && stat(other.c_str(), &s1) == 0 && stat(dir_.path().c_str(), &s2) == 0 &&
      s1.st_dev != s2.st_dev) {
    EXPECT_EQ(Failure(FsMove(other, Path("x"))), EXDEV);
  }
  unlink(other.c_str());
}

TEST_F(FileSystemTest, ReadOnlyFileCannotBeDeletedUntilMadeWritable) {
  std::string f = Path("f");
  ASSERT_TRUE(Write(f, "keep"));
  ASSERT_TRUE(FsSetReadOnly(f, true));
  EXPECT_EQ(FsGetAttributes(f), faReadOnly);
  EXPECT_EQ(Failure(FsDeleteFile(f)), EACCES);
  EXPECT_EQ(Failure(FsCreate(f, false) != FsInvalidHandle), EACCES);  // nor replaced
  EXPECT_EQ(Read(f), "keep");
  // A link to it is deleted as a link; the file stays.
  ASSERT_TRUE(FsCreateLink(f, Path("link")));
  EXPECT_TRUE(FsDeleteFile(Path("link")));
  EXPECT_TRUE(FsFileExists(f));
  ASSERT_TRUE(FsSetReadOnly(f, false));
  EXPECT_EQ(FsGetAttributes(f), 0u);
  EXPECT_TRUE(FsDeleteFile(f));
  EXPECT_FALSE(FsExists(f));

  // A link has no read-only state; its target is never touched.
  ASSERT_TRUE(Write(f, "x") && FsCreateLink(f, Path("link")));
  EXPECT_FALSE(FsSetReadOnly(Path("link"), true));
  EXPECT_TRUE(FsSetReadOnly(Path("link"), false));
  EXPECT_EQ(FsGetAttributes(f), 0u);
  ASSERT_TRUE(FsCreateFolders(Path("sub")));
  EXPECT_EQ(Failure(FsDeleteFile(Path("sub/"))), EISDIR);
}

TEST_F(FileSystemTest, EveryInjectedFaultIsSeenAsFailure) {
  // Each case runs once on a path the fault names and once on one it does
  // not; act returns the error it saw, 0 when everything worked.
  struct Case {
    FsOp op;
    int64_t afterBytes;
    int expected;  // the error the caller sees (ShortWrite reports a full disk)
    std::function<void(const std::string &)> setUp;
    std::function<int(const std::string &)> act;
  };
  using Path_ = const std::string &;
  auto file = [](Path_ b) { ASSERT_TRUE(Write(b + "f", "0123456789")); };
  auto none = [](Path_) {};
  auto onFile = [](int h, auto call) {  // the error of call(h), then closes h
    int error = call(h);
    FsClose(h);
    return error;
  };
  auto readAll = [&](Path_ b) {
    return onFile(FsOpenRead(b + "f"), [](int h) {
      char buf[4];
      int64_t total = 0, n;
      while ((n = FsRead(h, buf, sizeof buf)) > 0) total += n;
      return n < 0 ? FsLastError() : total == 10 ? 0 : -1;
    });
  };
  auto writeAll = [&](Path_ b) {
    return onFile(FsCreate(b + "w", false),
                  [](int h) { return FsWrite(h, "0123456789", 10) == 10 ? 0 : FsLastError(); });
  };
  auto created = [&](auto call) {
    return [=](Path_ b) { return onFile(FsCreate(b + "h", false), call); };
  };
  auto opened = [](int h) { return h < 0 ? FsLastError() : 0; };
  const Case cases[] = {
      {FsOp::Open, 0, EIO, file, [&](Path_ b) { return onFile(FsOpenRead(b + "f"), opened); }},
      {FsOp::Read, 4, EIO, file, readAll},
      {FsOp::Write, 3, EDQUOT, none, writeAll},
      {FsOp::ShortWrite, 5, ENOSPC, none, writeAll},
      {FsOp::Create, 0, EROFS, none,
       [&](Path_ b) { return onFile(FsCreate(b + "n", true), opened); }},
      {FsOp::Create, 0, EROFS, none, [&](Path_ b) { return Failure(FsCreateLink("t", b + "l")); }},
      {FsOp::Delete, 0, EPERM, file, [&](Path_ b) { return Failure(FsDeleteFile(b + "f")); }},
      {FsOp::Rename, 0, EBUSY, file, [&](Path_ b) { return Failure(FsMove(b + "f", b + "g")); }},
      {FsOp::Rename, 0, EBUSY, file, [&](Path_ b) { return Failure(FsReplace(b + "f", b + "g")); }},
      {FsOp::RemoveFolder, 0, EBUSY, [](Path_ b) { FsCreateFolders(b + "d/"); },
       [&](Path_ b) { return Failure(FsRemoveFolder(b + "d/")); }},
      {FsOp::CreateFolder, 0, EACCES, none,
       [&](Path_ b) { return Failure(FsCreateFolders(b + "x/y/")); }},
      {FsOp::SetTime, 0, EPERM, file, [&](Path_ b) { return Failure(FsSetFileTime(b + "f", 0)); }},
      {FsOp::SetTime, 0, EPERM, none, created([&](int h) { return Failure(FsSetFileTime(h, 0)); })},
      {FsOp::SetAttributes, 0, EPERM, file,
       [&](Path_ b) { return Failure(FsSetReadOnly(b + "f", false)); }},
      {FsOp::List, 0, EACCES, none,
       [&](Path_ b) {
         std::vector<FsEntry> e;
         return Failure(FsListFolder(b, e));
       }},
      {FsOp::Sync, 0, EIO, none, created([&](int h) { return Failure(FsSync(h)); })},
      {FsOp::Close, 0, EIO, none,
       [&](Path_ b) { return Failure(FsClose(FsCreate(b + "c", false))); }},
  };
  auto openFiles = [] {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
  };
  auto filesBefore = openFiles();
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE("case " + std::to_string(n));
    std::string victim = Path("victim" + std::to_string(n) + "/");
    std::string other = Path("other" + std::to_string(n++) + "/");
    ASSERT_TRUE(FsCreateFolders(victim) && FsCreateFolders(other));
    c.setUp(victim);
    c.setUp(other);
    FsInjectFault(c.op, "victim", c.op == FsOp::ShortWrite ? 0 : c.expected, c.afterBytes);
    EXPECT_EQ(c.act(victim), c.expected);
    EXPECT_EQ(c.act(other), 0);
    FsClearFaults();
    EXPECT_EQ(c.act(victim), 0);
  }
  EXPECT_EQ(openFiles(), filesBefore);  // a failed close still releases the handle

  // The bytes around the marks, and a fault seen from another thread.
  ASSERT_TRUE(Write(Path("rd"), "0123456789"));
  FsInjectFault(FsOp::Read, "rd", EIO, 4);
  char buf[16];
  int h = FsOpenRead(Path("rd"));
  EXPECT_EQ(FsRead(h, buf, sizeof buf), 4);
  EXPECT_EQ(FsRead(h, buf, sizeof buf), -1);
  FsClose(h);
  FsInjectFault(FsOp::ShortWrite, "sw", 0, 5);
  h = FsCreate(Path("sw"), false);
  EXPECT_EQ(FsWrite(h, "0123456789", 10), 5);
  EXPECT_EQ(FsWrite(h, "0123456789", 10), 0);
  FsClose(h);
  EXPECT_EQ(Read(Path("sw")), "01234");
  FsInjectFault(FsOp::Write, "wr", EIO, 3);
  h = FsCreate(Path("wr"), false);
  EXPECT_EQ(FsWrite(h, "01", 2), 2);
  EXPECT_EQ(FsWrite(h, "23", 2), 1);
  EXPECT_EQ(FsWrite(h, "4", 1), -1);
  EXPECT_EQ(FsLastError(), EIO);
  FsClose(h);
  int threadError = 0;
  FsInjectFault(FsOp::Open, "wr", ENXIO);
  std::thread([&] { threadError = FsOpenRead(Path("wr")) < 0 ? FsLastError() : 0; }).join();
  EXPECT_EQ(threadError, ENXIO);
  EXPECT_EQ(FsLastError(), 0);  // the error number belongs to the thread that failed
}

TEST_F(FileSystemTest, ListingReportsAttributesSizesAndLinks) {
  ASSERT_TRUE(Write(Path("file"), "abc") && Write(Path(".hidden"), "") && Write(Path("ro"), ""));
  ASSERT_TRUE(FsSetReadOnly(Path("ro"), true));
  ASSERT_TRUE(FsCreateFolders(Path("sub/")));
  ASSERT_TRUE(FsCreateLink("sub", Path("linkdir")) && FsCreateLink("file", Path("linkfile")) &&
              FsCreateLink("nowhere", Path("broken")));
  // Name, attributes and size of each entry; a link has its own size ("sub": 3).
  std::vector<std::tuple<std::string, uint32_t, int64_t>> listed;
  for (const auto &[name, e] : List()) listed.emplace_back(name, e.attr, e.size);
  EXPECT_EQ(listed, (decltype(listed){{".hidden", faHidden, 0},
                                      {"broken", faReparsePoint, 7},
                                      {"file", 0, 3},
                                      {"linkdir", faDirectory | faReparsePoint, 3},
                                      {"linkfile", faReparsePoint, 4},
                                      {"ro", faReadOnly, 0},
                                      {"sub", faDirectory, 0}}));

  FsEntry info;
  ASSERT_TRUE(FsGetInfo(Path("linkdir/"), info));
  EXPECT_EQ(info.name, "linkdir");
  EXPECT_EQ(info.attr, faDirectory | faReparsePoint);
  std::string target;
  EXPECT_TRUE(FsReadLink(Path("linkdir/"), target));
  EXPECT_EQ(target, "sub");
  EXPECT_TRUE(FsFolderExists(Path("linkdir/")));
  EXPECT_FALSE(FsFileExists(Path("linkdir")));
  EXPECT_TRUE(FsFileExists(Path("linkfile")));
  EXPECT_TRUE(FsExists(Path("broken")));
  EXPECT_FALSE(FsFolderExists(Path("broken")));
  EXPECT_EQ(Failure(FsGetAttributes(Path("missing")) != faInvalid), ENOENT);

  std::vector<FsEntry> none;
  EXPECT_EQ(Failure(FsListFolder(Path("missing/"), none)), ENOENT);
  FsFolderReader reader;
  ASSERT_TRUE(reader.Open(Path("sub/")));
  EXPECT_FALSE(reader.Next(info));
  EXPECT_EQ(FsLastError(), 0);  // the end, not an error
}

TEST_F(FileSystemTest, SizesBeyondFourGiB) {
  constexpr int64_t kSize = 5LL << 30;
  int h = FsCreate(Path("big"), true);
  ASSERT_NE(h, FsInvalidHandle);
  ASSERT_EQ(ftruncate(h, kSize), 0);  // sparse: no blocks written
  EXPECT_EQ(FsFileSize(h), kSize);
  FsClose(h);
  EXPECT_EQ(List()["big"].size, kSize);
  FsEntry info;
  ASSERT_TRUE(FsGetInfo(Path("big"), info));
  EXPECT_EQ(info.size, kSize);
}

TEST_F(FileSystemTest, NamesThatAreNotUtf8WorkEverywhere) {
  const std::string name = "bad\xFF\xFEname", folder = "dir\xFF/";
  ASSERT_TRUE(FsCreateFolders(Path(folder + "sub\xFF/")));
  std::string f = Path(folder + name);
  ASSERT_TRUE(Write(f, "bytes"));
  EXPECT_EQ(Read(f), "bytes");
  EXPECT_TRUE(List().count("dir\xFF"));
  std::vector<FsEntry> entries;
  ASSERT_TRUE(FsListFolder(Path(folder), entries));
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_TRUE(entries[0].name == name || entries[1].name == name);
  ASSERT_TRUE(FsSetFileTime(f, 133'000'000'000'000'003));
  int64_t t = 0;
  EXPECT_TRUE(FsGetFileTime(f, t));
  EXPECT_EQ(t, 133'000'000'000'000'003);
  ASSERT_TRUE(FsCreateLink(name, Path(folder + "link\xFF")));
  std::string target;
  EXPECT_TRUE(FsReadLink(Path(folder + "link\xFF"), target));
  EXPECT_EQ(target, name);
  EXPECT_TRUE(FsSameFile(f, Path(folder + "link\xFF")));
  EXPECT_TRUE(FsMove(f, Path(folder + "moved\xFF")));
  EXPECT_TRUE(FsDeleteFile(Path(folder + "moved\xFF")));
  EXPECT_TRUE(FsRemoveFolder(Path(folder + "sub\xFF/")));
}

TEST_F(FileSystemTest, SameFileThroughLinks) {
  ASSERT_TRUE(Write(Path("a"), "same") && Write(Path("b"), "same"));
  ASSERT_TRUE(FsCreateLink(Path("a"), Path("soft")));
  ASSERT_EQ(link(Path("a").c_str(), Path("hard").c_str()), 0);
  EXPECT_TRUE(FsSameFile(Path("hard"), Path("soft")));
  EXPECT_FALSE(FsSameFile(Path("a"), Path("b")));
  EXPECT_EQ(Failure(FsSameFile(Path("a"), Path("missing"))), ENOENT);
}

TEST_F(FileSystemTest, FoldersAreCreatedNestedAndRemovedOnlyWhenEmpty) {
  EXPECT_TRUE(FsCreateFolders(Path("a/b/c/")));
  EXPECT_TRUE(FsCreateFolders(Path("a/b/c")));  // already there
  EXPECT_TRUE(FsFolderExists(Path("a/b/c/")));
  ASSERT_TRUE(Write(Path("a/file"), ""));
  EXPECT_FALSE(FsCreateFolders(Path("a/file/x/")));
  EXPECT_FALSE(FsCreateFolders(Path("a/file")));
  EXPECT_EQ(Failure(FsRemoveFolder(Path("a/b/"))), ENOTEMPTY);
  EXPECT_TRUE(FsFolderExists(Path("a/b/c/")));
  EXPECT_TRUE(FsRemoveFolder(Path("a/b/c/")));
  EXPECT_FALSE(FsExists(Path("a/b/c")));
}

TEST(FileSystemVolumes, RootAndMountInfo) {
  auto volumes = FsVolumes();
  ASSERT_FALSE(volumes.empty());
  EXPECT_EQ(volumes[0].mountPoint, "/");
  for (const FsVolume &v : volumes) EXPECT_EQ(v.mountPoint.back(), PathDelim);
  FsVolume v;
  ASSERT_TRUE(FsVolumeOf("/", v));
  EXPECT_EQ(v.mountPoint, "/");
  ASSERT_TRUE(FsVolumeOf("/tmp/some/file", v));
  EXPECT_EQ(std::string("/tmp/some/file").rfind(v.mountPoint, 0), 0u);
  EXPECT_FALSE(FsVolumeOf("relative", v));
  int64_t freeBytes = -1, total = -1;
  ASSERT_TRUE(FsFreeSpace("/", freeBytes, total));
  EXPECT_GT(total, 0);
  EXPECT_TRUE(freeBytes >= 0 && freeBytes <= total);

  // Pseudo file systems left out, escapes decoded, the later of two mounts on
  // one point kept, types by file system and place.
  const char *info =
      "21 26 0:20 / /proc rw - proc proc rw\n"
      "26 1 0:901 / / rw shared:1 - ext4 /dev/trovix-none rw\n"
      "30 26 0:902 / /mnt/my\\040disk rw - ext4 /dev/trovix-none rw\n"
      "31 26 0:903 / /net/share rw - nfs4 server:/export rw\n"
      "32 26 0:904 / /media/cd ro - iso9660 /dev/trovix-none ro\n"
      "33 26 0:905 / /media/usb rw - vfat /dev/trovix-none rw\n"
      "34 26 0:906 / /remote rw - fuse.sshfs me@host:/home rw\n"
      "35 26 0:907 / /data rw - ext4 /dev/trovix-none rw\n"
      "36 26 0:908 / /data rw - xfs /dev/trovix-none rw\n"
      "37 26 0:909 / /run/user/1000 rw - tmpfs tmpfs rw\n"
      "38 26 0:910 / /var/lib/docker/x/merged rw - overlay overlay rw\n"
      "39 26 0:911 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
      "40 26 0:912 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
      "broken line\n";
  using enum FsDriveType;
  std::vector<std::tuple<std::string, std::string, FsDriveType>> parsed;  // point, type, drive
  for (const FsVolume &p : FsVolumesFromMountInfo(info))
    parsed.emplace_back(p.mountPoint, p.fsType, p.type);
  EXPECT_EQ(parsed, (decltype(parsed){{"/", "ext4", Fixed},
                                      {"/data/", "xfs", Fixed},
                                      {"/media/cd/", "iso9660", CdRom},
                                      {"/media/usb/", "vfat", Removable},
                                      {"/mnt/my disk/", "ext4", Fixed},
                                      {"/net/share/", "nfs4", Network},
                                      {"/remote/", "fuse.sshfs", Network}}));
  EXPECT_EQ(FsVolumesFromMountInfo(info)[5].device, "server:/export");
  auto empty = FsVolumesFromMountInfo("");
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].mountPoint, "/");
}

}  // namespace
