// SPDX-License-Identifier: GPL-3.0-or-later
// The signals of a logout, kill or Ctrl+C sent to the real program: it closes
// its main window the normal way, writes its settings and exits with 0.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "foundation/platform.h"
#include "test_util.h"

using namespace trovix;

namespace {

std::string ReadText(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// True once the process catches signal (its SigCgt mask in /proc).
bool Catches(qint64 pid, int signal) {
  std::istringstream status(ReadText("/proc/" + std::to_string(pid) + "/status"));
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0)
      return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1)) & 1;
  return false;
}

TEST(CloseSignals, ProgramSavesItsSettingsAndExitsZero) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(SignalName(signal));
    test::TempFolder home("trovix-signal");
    const std::string work = home / "work/", ini = home / "settings/t.ini";
    std::filesystem::create_directories(work);
    std::filesystem::create_directories(home / "settings");
    std::ofstream(work + "a.txt") << "x";
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home.path()));
    env.insert("TROVIX_INI", QString::fromStdString(ini));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(QString::fromStdString(work));
    program.start(TROVIX_EXE, {"-nosplash"});
    ASSERT_TRUE(program.waitForStarted(10000));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!Catches(program.processId(), signal) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(Catches(program.processId(), signal));
    ::kill(static_cast<pid_t>(program.processId()), signal);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    const std::string saved = ReadText(ini);
    EXPECT_NE(saved.find("CurrentFolders\t" + work + "\r\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("WinMainFormWidth\t"), std::string::npos);
  }
}

}  // namespace
