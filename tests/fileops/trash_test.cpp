// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/trash.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cerrno>
#include <filesystem>
#include <regex>

#include "foundation/file_system.h"
#include "test_util.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;

class Trash : public ::testing::Test {
 protected:
  void TearDown() override { FsClearFaults(); }
  // The info file's text, its path line and date checked.
  void ExpectInfo(const std::string &info, const std::string &pathValue) {
    const std::string text = test::ReadAll(info);
    EXPECT_TRUE(std::regex_match(text, std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate="
                                                  "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:"
                                                  "[0-9]{2}\n")))
        << text;
    EXPECT_NE(text.find("\nPath=" + pathValue + "\n"), std::string::npos) << text;
  }
  test::TempFolder dir{"trovix-trash"};
  test::ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
};

TEST_F(Trash, HomeTrashUniqueNamesAndFailures) {
  const std::string trash = dir / "data/Trash/";
  fs::create_directories(dir / "home/sub");
  const std::string odd = dir / "home/caf\xE9 #1.txt";
  test::WriteAll(odd, "first");
  TrashResult r = MoveToTrash(odd);
  ASSERT_TRUE(r.Ok) << FsErrorText(r.Error);
  EXPECT_EQ(r.Trash, trash);
  EXPECT_EQ(test::ReadAll(trash + "files/caf\xE9 #1.txt"), "first");
  EXPECT_FALSE(fs::exists(odd));
  ExpectInfo(trash + "info/caf\xE9 #1.txt.trashinfo", TrashPathEncode(odd));
  EXPECT_NE(TrashPathEncode(odd).find("caf%E9%20%231.txt"), std::string::npos);
  EXPECT_EQ(fs::status(trash).permissions() & fs::perms::all, fs::perms::owner_all);

  // The same name again, and a name another program has just taken: new names.
  test::WriteAll(odd, "second");
  test::WriteAll(trash + "info/caf\xE9 #1.txt.2.trashinfo", "taken");
  r = MoveToTrash(odd);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.TrashedName, "caf\xE9 #1.txt.3");
  EXPECT_EQ(test::ReadAll(trash + "info/caf\xE9 #1.txt.2.trashinfo"), "taken");
  EXPECT_EQ(test::ReadAll(trash + "files/caf\xE9 #1.txt.3"), "second");

  // A folder (with its trailing delimiter) goes whole.
  test::WriteAll(dir / "home/sub/x", "x");
  ASSERT_TRUE(MoveToTrash(dir / "home/sub/").Ok);
  EXPECT_EQ(test::ReadAll(trash + "files/sub/x"), "x");

  // A rename that fails leaves the item and no info file behind.
  test::WriteAll(dir / "home/stay", "s");
  FsInjectFault(FsOp::Rename, "stay", EBUSY);
  r = MoveToTrash(dir / "home/stay");
  EXPECT_FALSE(r.Ok);
  EXPECT_EQ(r.Error, EBUSY);
  EXPECT_TRUE(fs::exists(dir / "home/stay"));
  EXPECT_FALSE(fs::exists(trash + "info/stay.trashinfo"));
  FsClearFaults();
  // Nor are a missing item, a relative path or the trash itself taken.
  EXPECT_EQ(MoveToTrash(dir / "home/missing").Error, ENOENT);
  EXPECT_FALSE(MoveToTrash("relative").Ok);
  EXPECT_FALSE(MoveToTrash(trash + "files/sub").Ok);
  EXPECT_TRUE(fs::exists(trash + "files/sub/x"));
}

TEST_F(Trash, OtherVolumeUsesItsOwnTrash) {
  const std::string volume = dir / "vol";
  fs::create_directories(volume);
  if (mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (" << FsErrorText(errno) << ")";
  const std::string uid = std::to_string(FsUserId());
  fs::create_directories(volume + "/deep/er");
  test::WriteAll(volume + "/deep/er/f", "f");
  TrashResult r = MoveToTrash(volume + "/deep/er/f");
  EXPECT_TRUE(r.Ok) << FsErrorText(r.Error);
  EXPECT_EQ(r.Trash, volume + "/.Trash-" + uid + "/");
  EXPECT_EQ(test::ReadAll(r.Trash + "files/f"), "f");
  ExpectInfo(r.Trash + "info/f.trashinfo", "deep/er/f");  // relative to the volume's top

  // A shared .Trash with the sticky bit takes a folder per user; a link does not count.
  fs::create_directory(volume + "/.Trash");
  fs::permissions(volume + "/.Trash", fs::perms::all | fs::perms::sticky_bit);
  test::WriteAll(volume + "/g", "g");
  r = MoveToTrash(volume + "/g");
  EXPECT_EQ(r.Trash, volume + "/.Trash/" + uid + "/");
  EXPECT_EQ(test::ReadAll(r.Trash + "files/g"), "g");
  fs::rename(volume + "/.Trash", volume + "/shared");
  fs::create_directory_symlink(volume + "/shared", volume + "/.Trash");
  test::WriteAll(volume + "/h", "h");
  r = MoveToTrash(volume + "/h");
  EXPECT_EQ(r.Trash, volume + "/.Trash-" + uid + "/");
  umount(volume.c_str());
}

}  // namespace
}  // namespace trovix
