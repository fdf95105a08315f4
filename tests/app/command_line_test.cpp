// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "test_util.h"

namespace trovix {
namespace {

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir / "a b");
    std::filesystem::create_directories(dir / "other");
    std::ofstream(dir / "a b/notes.txt") << "x";
    std::ofstream(dir / "odd\xff name") << "x";
  }
  CommandLine Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "/usr/bin/trovix");
    return ParseCommandLine(args, base);
  }
  test::TempFolder dir;
  std::string base = dir.path().substr(0, dir.path().size() - 1);
};

TEST_F(CommandLineTest, FlagsKeepWorkingBeforePaths) {
  CommandLine line = Parse({"-debug", "-debuglog", "-noabout", "a b"});
  EXPECT_FALSE(line.Exit);
  EXPECT_TRUE(line.Debug);
  EXPECT_TRUE(line.DebugLog);
  EXPECT_FALSE(line.Splash);
  ASSERT_EQ(line.Targets.size(), 1u);
  EXPECT_EQ(line.Targets[0], (OpenTarget{dir / "a b/", ""}));

  line = Parse({"-nosplash"});
  EXPECT_FALSE(line.Exit);
  EXPECT_FALSE(line.Debug);
  EXPECT_FALSE(line.Splash);
  EXPECT_TRUE(line.Targets.empty());
  // Qt's own options are left to QApplication, with their values.
  line = Parse({"-platform", "offscreen", "-style=fusion", "other"});
  EXPECT_FALSE(line.Exit) << line.Error;
  ASSERT_EQ(line.Targets.size(), 1u);
  EXPECT_EQ(line.Targets[0].Folder, dir / "other/");
}

TEST_F(CommandLineTest, FoldersAndFilesInOrderAsPathsOrUrls) {
  CommandLine line =
      Parse({"other/", dir / "a b/notes.txt", "file://" + dir / "a%20b",
             "file://localhost" + dir / "odd%FF%20name", "./a b/../other//.", "--", "a b"});
  ASSERT_FALSE(line.Exit) << line.Error;
  std::vector<OpenTarget> expected = {{dir / "other/", ""}, {dir / "a b/", "notes.txt"},
                                      {dir / "a b/", ""},   {dir.path(), "odd\xff name"},
                                      {dir / "other/", ""}, {dir / "a b/", ""}};
  EXPECT_EQ(line.Targets, expected);
  // A name that is not UTF-8 survives as a plain argument too.
  line = Parse({"odd\xff name"});
  ASSERT_EQ(line.Targets.size(), 1u);
  EXPECT_EQ(line.Targets[0].CurrentFile, "odd\xff name");
  // The root and parents above it stay at the root.
  line = Parse({"/../.."});
  ASSERT_EQ(line.Targets.size(), 1u);
  EXPECT_EQ(line.Targets[0], (OpenTarget{"/", ""}));
}

TEST_F(CommandLineTest, MissingPathsAndForeignUrlsEndWithAClearMessage) {
  CommandLine line = Parse({"other", "gone", "file://elsewhere.example" + dir / "other",
                            "sftp://host/x", "file:///nowhere/at/all"});
  EXPECT_TRUE(line.Exit);
  EXPECT_NE(line.ExitCode, 0);
  EXPECT_TRUE(line.Targets.empty());
  EXPECT_EQ(line.Error,
            "trovix: no such file or folder: gone\n"
            "trovix: not a local file or folder: file://elsewhere.example" +
                dir / "other" +
                "\n"
                "trovix: not a local file or folder: sftp://host/x\n"
                "trovix: no such file or folder: file:///nowhere/at/all\n");
}

TEST_F(CommandLineTest, HelpVersionAndUnknownOptions) {
  for (const char *flag : {"--help", "-h", "-help"}) {
    CommandLine line = Parse({flag, "gone"});
    EXPECT_TRUE(line.Exit) << flag;
    EXPECT_EQ(line.ExitCode, 0);
    EXPECT_NE(line.Output.find("Usage: trovix [options]"), std::string::npos);
    EXPECT_NE(line.Output.find("-nosplash, -noabout"), std::string::npos);
  }
  CommandLine line = Parse({"--version"});
  EXPECT_TRUE(line.Exit);
  EXPECT_EQ(line.ExitCode, 0);
  EXPECT_EQ(line.Output.rfind("Trovix " TROVIX_VERSION "\n", 0), 0u);
  EXPECT_NE(line.Output.find("GPL-3.0-or-later"), std::string::npos);

  line = Parse({"-frobnicate", "other"});
  EXPECT_TRUE(line.Exit);
  EXPECT_EQ(line.ExitCode, 2);
  EXPECT_EQ(line.Error,
            "trovix: Unknown option 'frobnicate'.\nTry 'trovix --help' for more information.\n");
}

TEST(TargetTest, ItemsShowInTheirFolderEvenWhenFolders) {
  test::TempFolder dir;
  std::filesystem::create_directories(dir / "sub");
  OpenTarget target;
  ASSERT_TRUE(TargetForItem(dir / "sub/", target));  // without the slash in the service test
  EXPECT_EQ(target, (OpenTarget{dir.path(), "sub"}));
  EXPECT_EQ(TargetPath(target), dir / "sub");
  ASSERT_TRUE(TargetForItem("/", target));
  EXPECT_EQ(target, (OpenTarget{"/", ""}));
  EXPECT_FALSE(TargetForItem(dir / "gone", target));
  EXPECT_FALSE(TargetForPath("", target));
  // A broken link is still an item to show.
  std::filesystem::create_symlink(dir / "gone", dir / "link");
  ASSERT_TRUE(TargetForPath(dir / "link", target));
  EXPECT_EQ(target.CurrentFile, "link");
}

}  // namespace
}  // namespace trovix
