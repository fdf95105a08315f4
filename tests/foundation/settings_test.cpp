// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>

#include "foundation/file_system.h"
#include "test_util.h"

namespace fs = std::filesystem;
using namespace trovix;

namespace {

using Lines = std::vector<std::string>;

Lines Names(const fs::path &folder) {
  Lines names;
  for (const auto &e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    FsClearFaults();
    Reset();
    unsetenv("TROVIX_INI");
  }
  // Forgets the file without saving.
  static void Reset() {
    INIFilename.clear();
    INIStore.Clear();
  }

  test::TempFolder dir_{"trovix-settings"};
  const std::string folder_ = dir_.path();
  test::ScopedEnv xdg_{"XDG_CONFIG_HOME", folder_ + "config"};
};

TEST_F(SettingsTest, LookupRules) {
  // Reading a missing key gives the default and leaves the key alone in the store.
  EXPECT_EQ(INIReadNum("TreeWidth", 150), 150);
  EXPECT_EQ(INIStore.Lines(), Lines{"TreeWidth"});
  EXPECT_EQ(INIReadInit("Font", "Sans"), "Sans");
  EXPECT_EQ(INIRead("Font"), "");

  // Writing twice keeps one line, at the position of first use; keys are
  // compared exactly.
  INIWrite("A", "1");
  INIWriteNum("TreeWidth", 200);
  INIWriteNum("TreeWidth", -7);
  EXPECT_EQ(INIStore.Lines(), (Lines{"TreeWidth\t-7", "Font", "A\t1"}));
  EXPECT_EQ(INIReadNum("TreeWidth", 0), -7);
  EXPECT_EQ(INIReadNum("treewidth", 5), 5);
  EXPECT_EQ(INIStore.Count(), 4u);

  // A value holding tabs comes back whole; a non-number reads as far as it is one.
  INIWrite("T", "x\ty\t");
  EXPECT_EQ(INIRead("T"), "x\ty\t");
  INIWrite("N", "12abc");
  EXPECT_EQ(INIReadNum("N", 99), 12);

  // Line breaks cannot split a line, a tab cannot move the key's end.
  INIWrite("Path", "/tmp/a\nInjected\tvalue\r");
  INIWrite("K\tX", "v");
  EXPECT_EQ(INIRead("Path"), "/tmp/a Injected\tvalue ");
  EXPECT_EQ(INIRead("K X"), "v");
  EXPECT_EQ(INIStore.IndexOf("Injected"), -1);

  INIStore.SetText("a\tb\r\n\r\nc\r\n");
  const char *walk[] = {"a\tb", "<blank>", "c", ""};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(INIReadLine(i), walk[i]);
  EXPECT_EQ(INIReadLine(-1), "");
}

TEST_F(SettingsTest, RemoveAndDuplicatesKeepTheIndexRight) {
  INIStore.SetText("A\t1\r\nB\t2\r\nA\t3\r\nC\r\n");
  EXPECT_EQ(INIRead("A"), "1");
  INIRemove("A");  // the first A goes, the later one answers now
  EXPECT_EQ(INIRead("A"), "3");
  EXPECT_EQ(INIRead("B"), "2");
  INIRemove("Absent");
  EXPECT_EQ(INIStore.Lines(), (Lines{"B\t2", "A\t3", "C"}));

  // Thousands of keys against a plain model, with removals between reads.
  INIStore.Clear();
  std::map<std::string, std::string> model;
  Lines order;
  std::mt19937 rng(7);
  for (int step = 0; step < 20000; ++step) {
    std::string key = "Key" + std::to_string(rng() % 3000);
    const unsigned action = rng() % 4;
    if (action < 2) {
      std::string v = std::to_string(rng());
      INIWrite(key, v);
      if (!model.count(key)) order.push_back(key);
      model[key] = v;
    } else if (action == 2) {
      INIRemove(key);
      if (model.erase(key)) order.erase(std::find(order.begin(), order.end(), key));
    } else {
      ASSERT_EQ(INIStore.IndexOf(key) >= 0 ? INIRead(key) : "-",
                model.count(key) ? model[key] : "-")
          << key;
    }
  }
  ASSERT_EQ(INIStore.Count(), order.size());
  for (size_t i = 0; i < order.size(); ++i)
    ASSERT_EQ(INIStore.Lines()[i], order[i] + "\t" + model[order[i]]);
}

TEST_F(SettingsTest, LoadsAnyBytes) {
  auto load = [&](const std::string &bytes) {
    test::WriteAll(dir_ / "any.ini", bytes);
    EXPECT_TRUE(INIInit(dir_ / "any.ini"));
    return INIStore.Lines();
  };
  const std::string big(3 << 20, 'x'), nul("d\0e\t\xff\xfe", 6);
  EXPECT_EQ(load("a\t1\r\nb\t2\rc\t3\n" + nul + "\n\r\r\nno tab here\r\n" + big + "\nlast"),
            (Lines{"a\t1", "b\t2", "c\t3", nul, "", "", "no tab here", big, "last"}));
  EXPECT_EQ(INIRead(std::string("d\0e", 3)), "\xff\xfe");
  EXPECT_EQ(load("x\ty\rz\r"), (Lines{"x\ty", "z"}));  // CR only
  EXPECT_EQ(load("\n\nq\n"), (Lines{"", "", "q"}));    // LF only
}

TEST_F(SettingsTest, FileNamesAndRoundTrip) {
  INIFolder = folder_;
  // No folder: INIFolder in front; no "." in the file name: ".ini" added; ":"
  // is part of the name.
  fs::create_directories(dir_ / "x.d");
  const std::pair<std::string, std::string> names[] = {{"Trovix", "Trovix.ini"},
                                                       {"my.prog", "my.prog"},
                                                       {dir_ / "x.d/set", "x.d/set.ini"},
                                                       {dir_ / "a:b", "a:b.ini"}};
  for (const auto &[given, file] : names) {
    EXPECT_FALSE(INIInit(given));
    EXPECT_EQ(INIFilename, folder_ + file);
  }

  // A missing file gives an empty store; the keys read reach the file.
  EXPECT_FALSE(INIInit("Trovix"));
  EXPECT_EQ(INIStore.Count(), 0u);
  EXPECT_EQ(INIReadNum("TreeWidth", 150), 150);
  INIWrite("Tab1", "/home/u/");
  INIUninit();
  EXPECT_EQ(INIFilename, "");
  EXPECT_EQ(test::ReadAll(dir_ / "Trovix.ini"), "TreeWidth\r\nTab1\t/home/u/\r\n");

  // A file this store wrote survives load and save byte for byte, blank
  // lines, duplicates and high bytes included.
  std::string file = "A\t1\r\n\r\nB\tx\ty\r\nA\t2\r\n\xc3\xa9\t\x01\x80\r\nZ\r\n";
  test::WriteAll(dir_ / "Trovix.ini", file);
  EXPECT_TRUE(INIInit("Trovix"));
  EXPECT_EQ(INIRead("A"), "1");
  INIWrite("B", "x\ty");  // the same value again
  INIUninit();
  EXPECT_EQ(test::ReadAll(dir_ / "Trovix.ini"), file);
  EXPECT_EQ(Names(folder_), (Lines{"Trovix.ini", "x.d"}));
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFile) {
  const std::string old = "Old\tvalue\r\nKeep\t1\r\n", ini = dir_ / "s.ini";
  struct Fault {
    FsOp op;
    int error;
    int64_t after;
  };
  const Fault faults[] = {
      {FsOp::Create, EACCES, 0}, {FsOp::Write, EIO, 0}, {FsOp::Write, ENOSPC, 10},
      {FsOp::ShortWrite, 0, 10}, {FsOp::Sync, EIO, 0},  {FsOp::Close, EIO, 0},
      {FsOp::Rename, EXDEV, 0},
  };
  for (const Fault &f : faults) {
    SCOPED_TRACE(static_cast<int>(f.op));
    test::WriteAll(ini, old);
    ASSERT_TRUE(INIInit(ini));
    for (int i = 0; i < 100; ++i) INIWriteNum("New" + std::to_string(i), i);
    FsInjectFault(f.op, "s.ini", f.error, f.after);
    INIUninit();
    FsClearFaults();
    EXPECT_EQ(test::ReadAll(ini), old);
    EXPECT_EQ(Names(folder_), Lines{"s.ini"});
  }
  // Without a fault the same save goes through.
  ASSERT_TRUE(INIInit(ini));
  INIWrite("New", "1");
  INIUninit();
  EXPECT_EQ(test::ReadAll(ini), old + "New\t1\r\n");
  EXPECT_EQ(Names(folder_), Lines{"s.ini"});
}

TEST_F(SettingsTest, UnreadableFileIsNeverOverwritten) {
  const std::string old = "Precious\t1\r\nMore\t2\r\n", ini = dir_ / "u.ini";
  test::WriteAll(ini, old);
  for (FsOp op : {FsOp::Read, FsOp::Open}) {
    FsInjectFault(op, "u.ini", EIO, 12);
    EXPECT_FALSE(INIInit(ini));
    FsClearFaults();
    EXPECT_EQ(INIReadNum("Precious", 5), 5);
    INIUninit();
    EXPECT_EQ(test::ReadAll(ini), old);
  }
  // The next run with a readable file saves as usual.
  EXPECT_TRUE(INIInit(ini));
  INIWrite("More", "3");
  INIUninit();
  EXPECT_EQ(test::ReadAll(ini), "Precious\t1\r\nMore\t3\r\n");
}

mode_t ModeOf(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// A save keeps the old file's mode, and writes through a link (a settings
// file kept in a dotfiles folder) to its target, which stays the one file.
TEST_F(SettingsTest, SaveKeepsModeAndWritesThroughLinks) {
  auto save = [&](const std::string &ini, const std::string &value) {
    INIInitFile(ini);
    INIWrite("K", value);
    INIUninit();
  };
  const std::string ini = dir_ / "m.ini";
  save(ini, "new");
  EXPECT_EQ(ModeOf(ini), 0600u);  // a new file is the user's alone
  for (mode_t mode : {0600, 0640, 0664}) {
    chmod(ini.c_str(), mode);
    save(ini, std::to_string(mode));
    EXPECT_EQ(ModeOf(ini), mode);
    EXPECT_EQ(test::ReadAll(ini), "K\t" + std::to_string(mode) + "\r\n");
  }

  // A relative link to a link to the real file, in other folders.
  fs::create_directories(dir_ / "dotfiles/trovix");
  fs::create_directories(dir_ / "home");
  const std::string real = dir_ / "dotfiles/trovix/real.ini", link = dir_ / "home/t.ini";
  test::WriteAll(real, "K\told\r\n");
  chmod(real.c_str(), 0640);
  fs::create_symlink("../dotfiles/trovix/real.ini", dir_ / "dotfiles/hop.ini");
  fs::create_symlink("../dotfiles/hop.ini", link);
  save(link, "through");
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(fs::read_symlink(link), "../dotfiles/hop.ini");
  EXPECT_EQ(test::ReadAll(real), "K\tthrough\r\n");
  EXPECT_EQ(ModeOf(real), 0640u);
  EXPECT_EQ(Names(dir_ / "dotfiles/trovix"), Lines{"real.ini"});  // no temporary left
  EXPECT_EQ(Names(dir_ / "home"), Lines{"t.ini"});

  // TROVIX_INI naming a link to a missing file, or a missing file in an
  // existing folder: created at exit, the link kept.
  const std::string dangling = dir_ / "home/d.ini", target = dir_ / "dotfiles/trovix/d.ini";
  fs::create_symlink(target, dangling);
  for (const std::string &name : {dangling, dir_ / "home/fresh.ini"}) {
    setenv("TROVIX_INI", name.c_str(), 1);
    EXPECT_FALSE(INIStartup(dir_ / "bin/trovix"));
    INIWrite("Made", "1");
    INIShutdown();
    EXPECT_EQ(test::ReadAll(name), "Made\t1\r\n") << name;
    EXPECT_EQ(ModeOf(name), 0600u);
  }
  EXPECT_TRUE(fs::is_symlink(dangling));
  EXPECT_EQ(test::ReadAll(target), "Made\t1\r\n");

  // A loop of links is not a file to write: nothing changes.
  fs::create_symlink(dir_ / "home/loop2", dir_ / "home/loop1");
  fs::create_symlink(dir_ / "home/loop1", dir_ / "home/loop2");
  save(dir_ / "home/loop1", "x");
  EXPECT_TRUE(fs::is_symlink(dir_ / "home/loop1"));
  EXPECT_EQ(Names(dir_ / "home"), (Lines{"d.ini", "fresh.ini", "loop1", "loop2", "t.ini"}));
}

TEST_F(SettingsTest, StartupChoosesTheFile) {
  const std::string exe = dir_ / "bin/trovix.bin";
  fs::create_directories(dir_ / "bin");
  test::WriteAll(exe, "program");

  // Beside the executable, named after it without its extension.
  test::WriteAll(dir_ / "bin/trovix.ini", "W\t1\r\n");
  EXPECT_TRUE(INIStartup(exe));
  EXPECT_EQ(INIFolder, folder_ + "bin/");
  EXPECT_EQ(INIFilename, folder_ + "bin/trovix.ini");
  EXPECT_EQ(INIReadNum("W", 0), 1);
  INIShutdown();
  EXPECT_EQ(INIStore.Count(), 0u);

  // A title naming the executable itself never makes it the settings file.
  EXPECT_FALSE(INIStartup(exe, "trovix.bin"));
  EXPECT_EQ(INIFilename, exe + ".ini");
  INIShutdown();
  EXPECT_EQ(test::ReadAll(exe), "program");

  // TROVIX_INI names the file exactly.
  setenv("TROVIX_INI", (folder_ + "other").c_str(), 1);
  EXPECT_FALSE(INIStartup(exe, "Trovix"));
  EXPECT_EQ(INIFilename, folder_ + "other");
  INIWrite("O", "1");
  INIShutdown();
  EXPECT_EQ(test::ReadAll(dir_ / "other"), "O\t1\r\n");
  unsetenv("TROVIX_INI");

  // An executable folder that cannot be written to sends the file to the
  // user's configuration folder, created at the first save.
  FsInjectFault(FsOp::Create, folder_ + "bin/", EACCES);
  EXPECT_FALSE(INIStartup(exe, "Trovix"));
  FsClearFaults();
  EXPECT_EQ(INIFolder, folder_ + "bin/");
  EXPECT_EQ(INIFilename, folder_ + "config/trovix/Trovix.ini");
  INIWrite("C", "2");
  INIShutdown();
  EXPECT_EQ(test::ReadAll(dir_ / "config/trovix/Trovix.ini"), "C\t2\r\n");
  EXPECT_EQ(Names(dir_ / "bin"), (Lines{"trovix.bin", "trovix.bin.ini", "trovix.ini"}));
}

TEST_F(SettingsTest, AnInstalledProgramKeepsItsSettingsInTheUsersFolder) {
  const std::string exe = dir_ / "usr/bin/trovix";
  fs::create_directories(dir_ / "usr/bin");
  fs::create_directories(dir_ / "usr/share/applications");
  test::WriteAll(exe, "program");
  test::WriteAll(dir_ / "usr/share/applications/io.github.trovix.Trovix.desktop",
                 "[Desktop Entry]\n");
  INIStartup(exe, "Trovix");
  EXPECT_EQ(INIFilename, folder_ + "config/trovix/Trovix.ini");
  INIShutdown();
  EXPECT_EQ(Names(dir_ / "usr/bin"), (Lines{"trovix"}));
}

}  // namespace
