// SPDX-License-Identifier: GPL-3.0-or-later
// Runs under dbus-run-session: a private session bus for this program.
#include "app/file_manager_service.h"

#include <gtest/gtest.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QElapsedTimer>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "foundation/file_system.h"
#include "foundation/platform.h"
#include "test_util.h"

namespace trovix {
namespace {

class FileManagerServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
    std::filesystem::create_directories(dir / "docs");
    std::ofstream(dir / "docs/report.txt") << "x";
    std::ofstream(dir / "odd\xff.txt") << "x";
  }
  // A call from another connection, as another program makes it; the event
  // loop runs while it waits so that this process can answer.
  QDBusMessage Call(const char *service, const char *method, const QStringList &uris) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(service, kFileManagerPath, kFileManagerName, method);
    message << uris << QString();
    QDBusPendingCall pending = client.asyncCall(message, 5000);
    for (int waited = 0; !pending.isFinished() && waited < 6000; waited += 10) QTest::qWait(10);
    EXPECT_TRUE(pending.isFinished());
    return pending.reply();
  }
  static QString Uri(const std::string &path) { return QString::fromStdString(FileUri(path)); }

  test::TempFolder dir;
  QDBusConnection client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
  std::vector<OpenTarget> shown;
  std::vector<std::string> trace;
};

TEST_F(FileManagerServiceTest, ShowItemsAndShowFoldersOpenWhatExists) {
  FileManagerService service;
  service.Object().LookMs = 5000;  // a loaded machine still answers in time
  ASSERT_EQ(service.Start(), FileManagerService::Role::First);
  EXPECT_TRUE(service.ServesFileManager());
  service.Serve([this](const std::vector<OpenTarget> &targets) { shown = targets; },
                [this](const std::string &line) { trace.push_back(line); });
  ASSERT_EQ(trace.size(), 1u);
  EXPECT_EQ(trace[0], "Serving org.freedesktop.FileManager1 on the session bus");

  QDBusMessage reply = Call(kFileManagerName, "ShowItems",
                            {Uri(dir / "docs/report.txt"), Uri(dir / "gone"), Uri(dir / "docs"),
                             Uri(dir / "odd\xff.txt")});
  EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
  std::vector<OpenTarget> expected = {
      {dir / "docs/", "report.txt"}, {dir.path(), "docs"}, {dir.path(), "odd\xff.txt"}};
  EXPECT_EQ(shown, expected);
  ASSERT_EQ(trace.size(), 2u);
  EXPECT_EQ(trace[1], "FileManager1: nothing to show at " + FileUri(dir / "gone"));

  // Folders as tabs; a file given as a folder shows in its folder. The
  // program's own name answers the same interface.
  reply = Call(kAppId, "ShowFolders", {Uri(dir / "docs"), Uri(dir / "docs/report.txt")});
  EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
  expected = {{dir / "docs/", ""}, {dir / "docs/", "report.txt"}};
  EXPECT_EQ(shown, expected);
  reply = Call(kFileManagerName, "ShowItemProperties", {Uri(dir / "docs/report.txt")});
  EXPECT_EQ(shown, (std::vector<OpenTarget>{{dir / "docs/", "report.txt"}}));
  // The program's own "Open File Location" never calls itself over the bus.
  shown.clear();
  EXPECT_TRUE(ShowItemInFileManager(dir / "docs/report.txt"));
  EXPECT_EQ(shown, (std::vector<OpenTarget>{{dir / "docs/", "report.txt"}}));
  EXPECT_FALSE(ShowItemInFileManager(dir / "gone"));
  // Not a local file: skipped.
  reply = Call(kFileManagerName, "ShowItems", {"https://example.com/x", "relative/path"});
  EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
  EXPECT_TRUE(shown.empty());
}

TEST_F(FileManagerServiceTest, PathsThatDoNotAnswerAreShownAsWrittenAtOnce) {
  FileManagerService service;
  ASSERT_EQ(service.Start(), FileManagerService::Role::First);
  service.Serve([this](const std::vector<OpenTarget> &targets) { shown = targets; }, nullptr);
  FsInjectDelay(FsDelayOp::Stat, "hung", -1);
  QElapsedTimer clock;
  clock.start();
  Call(kFileManagerName, "ShowItems", {Uri(dir / "hung/a.txt")});
  EXPECT_EQ(shown, (std::vector<OpenTarget>{{dir / "hung/", "a.txt"}}));
  Call(kFileManagerName, "ShowFolders", {Uri(dir / "hung")});
  EXPECT_EQ(shown, (std::vector<OpenTarget>{{dir / "hung/", ""}}));
  EXPECT_LT(clock.elapsed(), 1000);
  FsClearFaults();
}

TEST_F(FileManagerServiceTest, CallsBeforeTheWindowsExistWaitForThem) {
  FileManagerService service;
  ASSERT_EQ(service.Start(), FileManagerService::Role::First);
  Call(kFileManagerName, "ShowItems", {Uri(dir / "docs/report.txt")});
  service.Serve([this](const std::vector<OpenTarget> &targets) { shown = targets; }, nullptr);
  EXPECT_EQ(shown, (std::vector<OpenTarget>{{dir / "docs/", "report.txt"}}));
}

TEST_F(FileManagerServiceTest, RunsWithoutTheNameAnotherProgramHolds) {
  QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "other");
  ASSERT_TRUE(other.registerService(kFileManagerName));
  {
    FileManagerService service;
    ASSERT_EQ(service.Start(), FileManagerService::Role::First);
    EXPECT_FALSE(service.ServesFileManager());
    service.Serve(nullptr, [this](const std::string &line) { trace.push_back(line); });
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(
        trace[0].rfind("org.freedesktop.FileManager1 is held by another program (process ", 0), 0u)
        << trace[0];
    EXPECT_NE(trace[0].find(": Trovix runs without it"), std::string::npos);
    // A second Trovix on another connection finds the first.
    FileManagerService second(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second"));
    EXPECT_EQ(second.Start(), FileManagerService::Role::Second);
  }
  // The names go with the service.
  QDBusConnectionInterface *names = client.interface();
  EXPECT_FALSE(names->isServiceRegistered(kAppId).value());
  EXPECT_TRUE(names->isServiceRegistered(kFileManagerName).value());
  other.unregisterService(kFileManagerName);
  QDBusConnection::disconnectFromBus("other");
  QDBusConnection::disconnectFromBus("second");
}

TEST(FileManagerServiceAloneTest, NoBusMeansNoService) {
  FileManagerService service(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none"));
  EXPECT_EQ(service.Start(), FileManagerService::Role::Alone);
  std::vector<std::string> trace;
  service.Serve(nullptr, [&](const std::string &line) { trace.push_back(line); });
  EXPECT_EQ(trace,
            (std::vector<std::string>{"No session bus: Trovix runs without its D-Bus service"}));
}

}  // namespace
}  // namespace trovix
