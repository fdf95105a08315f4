// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/launch_commands.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "foundation/file_system.h"
#include "foundation/platform.h"
#include "test_util.h"

using namespace trovix;

namespace {

// File names that are shell code, or that a shell reads as something else.
const std::vector<std::string> kHostileNames = {"x;touch pwned",    "$(touch pwned).mp3",
                                                "`touch pwned`",    "it's \"q\"",
                                                "a b\tc",           "-n",
                                                "back\\slash'",     "ls",
                                                "a\nb&&touch pwned"};

FileEntry Entry(const std::string &name) {
  FileEntry e;
  e.Name = name;
  return e;
}

TEST(RunCommand, CurrentFileIsQuotedAndRelativeToItsFolder) {
  const FileEntry plain = Entry("notes.txt"), hostile = Entry("x;touch pwned"),
                  quote = Entry("it's"), dash = Entry("-rf"), backslash = Entry("a\\b");
  EXPECT_EQ(RunCommandText(&plain, true), "'./notes.txt'");
  EXPECT_EQ(RunCommandText(&hostile, true), "'./x;touch pwned'");
  EXPECT_EQ(RunCommandText(&quote, true), "'./it'\\''s'");
  EXPECT_EQ(RunCommandText(&dash, true), "'./-rf'");
  EXPECT_EQ(RunCommandText(&backslash, true), "'./a'\\\\'b'");
  EXPECT_EQ(RunCommandText(&plain, false), "");  // the tree has the focus
  EXPECT_EQ(RunCommandText(nullptr, true), "");
}

// Each hostile name is a script of a folder; Run's command line, run for real
// by sh from another folder, starts exactly that script and nothing else.
TEST(RunCommand, HostileNamesRunOnlyTheirFile) {
  test::TempFolder dir("trovix-run");
  const std::string folder = dir.path();
  for (const std::string &name : kHostileNames) {
    std::ofstream(folder + name) << "#!/bin/sh\nprintf '%s|' \"$0\" >> ran.log\n";
    chmod((folder + name).c_str(), 0755);
  }
  test::ScopedEnv shell("SHELL", "/bin/sh"), terminal("TERMINAL", "test-terminal");
  std::vector<ExternalCommand> started;
  SetCommandRunner([&](const ExternalCommand &c) {
    started.push_back(c);
    return 0;
  });
  std::string expected;
  for (const std::string &name : kHostileNames) {
    const FileEntry entry = Entry(name);
    ASSERT_TRUE(RunInTerminal(folder, RunCommandText(&entry, true)));
    expected += "./" + name + "|";
  }
  SetCommandRunner(nullptr);
  for (const ExternalCommand &c : started) {
    ASSERT_EQ(c.args.size(), 4u);
    EXPECT_EQ(c.args[0], "-e");
    ExternalCommand real;
    real.program = "/bin/sh";
    real.args = {c.args[2], c.args[3]};  // -c and the script; its exec'd shell reads no input
    real.workingFolder = "/";
    real.wait = true;
    EXPECT_EQ(RunCommand(real), 0) << c.args[3];
  }
  std::ifstream log(folder + "ran.log");
  std::stringstream ran;
  ran << log.rdbuf();
  EXPECT_EQ(ran.str(), expected);
  EXPECT_FALSE(FsExists(folder + "pwned"));
  EXPECT_FALSE(FsExists("/pwned"));
}

}  // namespace
