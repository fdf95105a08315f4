#include "foundation/settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <unistd.h>

#include "foundation/file_system.h"
#include "foundation/strings.h"

namespace fs = std::filesystem;
using namespace trovix;

namespace {

std::string ReadBytes(const fs::path &p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const fs::path &p, const std::string &bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> Names(const fs::path &folder) {
  std::vector<std::string> names;
  for (const auto &e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class SettingsTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("trovix-settings-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    folder_ = dir_.string() + "/";
    Reset();
  }
  void TearDown() override {
    FsClearFaults();
    Reset();
    unsetenv("TROVIX_INI");
    fs::remove_all(dir_);
  }
  // Forgets the file without saving.
  static void Reset() {
    INIFilename.clear();
    INIStore.Clear();
  }
  std::vector<std::string> Lines() const { return INIStore.Lines(); }

  fs::path dir_;
  std::string folder_;
};

TEST_F(SettingsTest, LookupRules) {
  // Reading a missing key gives the default and leaves the key alone in the store.
  EXPECT_EQ(INIReadNum("TreeWidth", 150), 150);
  EXPECT_EQ(Lines(), std::vector<std::string>{"TreeWidth"});
  EXPECT_EQ(INIReadInit("Font", "Sans"), "Sans");
  EXPECT_EQ(INIRead("Font"), "");

  // Writing twice keeps one line, at the position of first use.
  INIWrite("A", "1");
  INIWriteNum("TreeWidth", 200);
  INIWriteNum("TreeWidth", -7);
  EXPECT_EQ(Lines(), (std::vector<std::string>{"TreeWidth\t-7", "Font", "A\t1"}));
  EXPECT_EQ(INIReadNum("TreeWidth", 0), -7);

  // Keys are compared exactly.
  EXPECT_EQ(INIReadNum("treewidth", 5), 5);
  EXPECT_EQ(INIStore.Count(), 4u);

  // A value holding tabs comes back whole; a non-number reads as StrToNum gives it.
  INIWrite("T", "x\ty\t");
  EXPECT_EQ(INIRead("T"), "x\ty\t");
  INIWrite("N", "12abc");
  EXPECT_EQ(INIReadNum("N", 99), StrToNum("12abc"));

  // Line breaks cannot split a line, a tab cannot move the key's end.
  INIWrite("Path", "/tmp/a\nInjected\tvalue\r");
  INIWrite("K\tX", "v");
  EXPECT_EQ(INIRead("Path"), "/tmp/a Injected\tvalue ");
  EXPECT_EQ(INIRead("K X"), "v");
  EXPECT_EQ(INIStore.IndexOf("Injected"), -1);

  // Walking the store.
  INIStore.Clear();
  INIStore.SetText("a\tb\r\n\r\nc\r\n");
  EXPECT_EQ(INIReadLine(0), "a\tb");
  EXPECT_EQ(INIReadLine(1), "<blank>");
  EXPECT_EQ(INIReadLine(2), "c");
  EXPECT_EQ(INIReadLine(3), "");
  EXPECT_EQ(INIReadLine(-1), "");
}

TEST_F(SettingsTest, RemoveAndDuplicatesKeepTheIndexRight) {
  INIStore.SetText("A\t1\r\nB\t2\r\nA\t3\r\nC\r\n");
  EXPECT_EQ(INIRead("A"), "1");
  INIRemove("A");  // the first A goes, the later one answers now
  EXPECT_EQ(INIRead("A"), "3");
  EXPECT_EQ(INIRead("B"), "2");
  INIRemove("Absent");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"B\t2", "A\t3", "C"}));

  // Thousands of keys against a plain model, with removals between reads.
  INIStore.Clear();
  std::map<std::string, std::string> model;
  std::vector<std::string> order;
  std::mt19937 rng(7);
  for (int step = 0; step < 20000; ++step) {
    std::string key = "Key" + std::to_string(rng() % 3000);
    switch (rng() % 4) {
      case 0:
      case 1: {
        std::string v = std::to_string(rng());
        INIWrite(key, v);
        if (!model.count(key)) order.push_back(key);
        model[key] = v;
        break;
      }
      case 2:
        INIRemove(key);
        if (model.erase(key)) order.erase(std::find(order.begin(), order.end(), key));
        break;
      default:
        ASSERT_EQ(INIStore.IndexOf(key) >= 0, model.count(key) == 1) << key;
        if (model.count(key)) {
          ASSERT_EQ(INIRead(key), model[key]) << key;
        }
    }
  }
  ASSERT_EQ(INIStore.Count(), order.size());
  for (size_t i = 0; i < order.size(); ++i)
    ASSERT_EQ(INIStore.Lines()[i], order[i] + "\t" + model[order[i]]);
}

TEST_F(SettingsTest, LoadsAnyBytes) {
  std::string big(3 << 20, 'x');
  std::string text = std::string("a\t1\r\nb\t2\rc\t3\nd") + '\0' + "e\t\xff\xfe\n\r\r\n" +
                     "no tab here\r\n" + big + "\n" + "last";
  WriteBytes(dir_ / "any.ini", text);
  EXPECT_TRUE(INIInit(folder_ + "any.ini"));
  std::vector<std::string> expect{"a\t1", "b\t2", "c\t3", std::string("d\0e\t\xff\xfe", 6), "", "",
                                  "no tab here", big, "last"};
  EXPECT_EQ(Lines(), expect);
  EXPECT_EQ(INIRead(std::string("d\0e", 3)), "\xff\xfe");

  // CR only and LF only files.
  WriteBytes(dir_ / "cr.ini", "x\ty\rz\r");
  EXPECT_TRUE(INIInit(folder_ + "cr.ini"));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"x\ty", "z"}));
  WriteBytes(dir_ / "lf.ini", "\n\nq\n");
  EXPECT_TRUE(INIInit(folder_ + "lf.ini"));
  EXPECT_EQ(Lines(), (std::vector<std::string>{"", "", "q"}));
}

TEST_F(SettingsTest, FileNamesAndRoundTrip) {
  INIFolder = folder_;
  // No folder: INIFolder in front; no "." in the file name: ".ini" added.
  EXPECT_FALSE(INIInit("Trovix"));
  EXPECT_EQ(INIFilename, folder_ + "Trovix.ini");
  EXPECT_FALSE(INIInit("my.prog"));
  EXPECT_EQ(INIFilename, folder_ + "my.prog");
  fs::create_directories(dir_ / "x.d");
  EXPECT_FALSE(INIInit(folder_ + "x.d/set"));
  EXPECT_EQ(INIFilename, folder_ + "x.d/set.ini");
  EXPECT_FALSE(INIInit(folder_ + "a:b"));  // ":" is part of the name
  EXPECT_EQ(INIFilename, folder_ + "a:b.ini");

  // A missing file gives an empty store; the keys read reach the file.
  EXPECT_FALSE(INIInit("Trovix"));
  EXPECT_EQ(INIStore.Count(), 0u);
  EXPECT_EQ(INIReadNum("TreeWidth", 150), 150);
  INIWrite("Tab1", "/home/u/");
  INIUninit();
  EXPECT_EQ(INIFilename, "");
  EXPECT_EQ(ReadBytes(dir_ / "Trovix.ini"), "TreeWidth\r\nTab1\t/home/u/\r\n");

  // A file this store wrote survives load and save byte for byte, blank
  // lines, duplicates and high bytes included.
  std::string file = "A\t1\r\n\r\nB\tx\ty\r\nA\t2\r\n\xc3\xa9\t\x01\x80\r\nZ\r\n";
  WriteBytes(dir_ / "Trovix.ini", file);
  EXPECT_TRUE(INIInit("Trovix"));
  EXPECT_EQ(INIRead("A"), "1");
  INIWrite("B", "x\ty");  // the same value again
  INIUninit();
  EXPECT_EQ(ReadBytes(dir_ / "Trovix.ini"), file);
  EXPECT_EQ(Names(dir_), (std::vector<std::string>{"Trovix.ini", "x.d"}));
}

TEST_F(SettingsTest, FailedSaveKeepsTheOldFile) {
  std::string old = "Old\tvalue\r\nKeep\t1\r\n";
  fs::path ini = dir_ / "s.ini";
  struct Fault {
    FsOp op;
    int error;
    int64_t after;
  };
  const Fault faults[] = {
      {FsOp::Create, EACCES, 0},  {FsOp::Write, EIO, 0},  {FsOp::Write, ENOSPC, 10},
      {FsOp::ShortWrite, 0, 10},  {FsOp::Sync, EIO, 0},   {FsOp::Close, EIO, 0},
      {FsOp::Rename, EXDEV, 0},
  };
  for (const Fault &f : faults) {
    SCOPED_TRACE(static_cast<int>(f.op));
    WriteBytes(ini, old);
    ASSERT_TRUE(INIInit(ini.string()));
    for (int i = 0; i < 100; ++i) INIWriteNum("New" + std::to_string(i), i);
    FsInjectFault(f.op, "s.ini", f.error, f.after);
    INIUninit();
    FsClearFaults();
    EXPECT_EQ(ReadBytes(ini), old);
    EXPECT_EQ(Names(dir_), std::vector<std::string>{"s.ini"});
  }
  // Without a fault the same save goes through.
  ASSERT_TRUE(INIInit(ini.string()));
  INIWrite("New", "1");
  INIUninit();
  EXPECT_EQ(ReadBytes(ini), old + "New\t1\r\n");
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"s.ini"});
}

TEST_F(SettingsTest, UnreadableFileIsNeverOverwritten) {
  std::string old = "Precious\t1\r\nMore\t2\r\n";
  fs::path ini = dir_ / "u.ini";
  WriteBytes(ini, old);
  for (FsOp op : {FsOp::Read, FsOp::Open}) {
    FsInjectFault(op, "u.ini", EIO, 12);
    EXPECT_FALSE(INIInit(ini.string()));
    FsClearFaults();
    EXPECT_EQ(INIReadNum("Precious", 5), 5);
    INIUninit();
    EXPECT_EQ(ReadBytes(ini), old);
  }

  // The next run with a readable file saves as usual.
  EXPECT_TRUE(INIInit(ini.string()));
  INIWrite("More", "3");
  INIUninit();
  EXPECT_EQ(ReadBytes(ini), "Precious\t1\r\nMore\t3\r\n");
}

TEST_F(SettingsTest, StartupChoosesTheFile) {
  const char *xdg = std::getenv("XDG_CONFIG_HOME");
  std::string savedXdg = xdg ? xdg : "";
  fs::create_directories(dir_ / "bin");
  std::string exe = folder_ + "bin/trovix.bin";
  WriteBytes(exe, "program");

  // Beside the executable, named after it without its extension.
  WriteBytes(dir_ / "bin" / "trovix.ini", "W\t1\r\n");
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
  EXPECT_EQ(ReadBytes(exe), "program");

  // TROVIX_INI names the file exactly.
  setenv("TROVIX_INI", (folder_ + "other").c_str(), 1);
  EXPECT_FALSE(INIStartup(exe, "Trovix"));
  EXPECT_EQ(INIFilename, folder_ + "other");
  INIWrite("O", "1");
  INIShutdown();
  EXPECT_EQ(ReadBytes(dir_ / "other"), "O\t1\r\n");
  unsetenv("TROVIX_INI");

  // An executable folder that cannot be written to sends the file to the
  // user's configuration folder, created at the first save.
  setenv("XDG_CONFIG_HOME", (folder_ + "config").c_str(), 1);
  FsInjectFault(FsOp::Create, folder_ + "bin/", EACCES);
  EXPECT_FALSE(INIStartup(exe, "Trovix"));
  FsClearFaults();
  EXPECT_EQ(INIFolder, folder_ + "bin/");
  EXPECT_EQ(INIFilename, folder_ + "config/trovix/Trovix.ini");
  INIWrite("C", "2");
  INIShutdown();
  EXPECT_EQ(ReadBytes(dir_ / "config" / "trovix" / "Trovix.ini"), "C\t2\r\n");
  EXPECT_EQ(Names(dir_ / "bin"), (std::vector<std::string>{"trovix.bin", "trovix.bin.ini", "trovix.ini"}));

  if (xdg)
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
