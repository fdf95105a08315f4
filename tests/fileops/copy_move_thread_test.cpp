// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/copy_move_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "browser/file_list.h"
#include "browser/operation_state.h"
#include "dialogs/event_log.h"
#include "dialogs/message_box.h"
#include "dialogs/options.h"
#include "fileops/operation_start_ui.h"
#include "foundation/file_system.h"
#include "test_util.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Holds the first worker that writes a log line until Open(): the log calls
// its hook with its lock held, so every other worker waits at its first line
// too while the test looks at the state.
class TGate {
 public:
  TGate() {
    LogSetNotify([this] {
      std::unique_lock<std::mutex> lock(m_);
      reached_ = true;
      cv_.notify_all();
      cv_.wait(lock, [this] { return open_; });
    });
  }
  ~TGate() {
    Open();
    LogSetNotify(nullptr);
  }
  void WaitReached() {
    std::unique_lock<std::mutex> lock(m_);
    cv_.wait(lock, [this] { return reached_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(m_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool reached_ = false, open_ = false;
};

class CopyMoveThread : public ::testing::Test {
 protected:
  void SetUp() override {
    IssueList.Clear();
    LogClear();
    OperationsDone = false;
    CancelRequested = false;
  }
  void TearDown() override {
    if (ActiveOperations > 0) WaitAndReact();
    TCopyMoveThread::JoinAll();
    FsClearFaults();
    LogSetNotify(nullptr);
    CheckSizeOnly = false;
    WarnOverwriteOlder = false;
  }
  std::string P(const std::string &rel) const { return root + rel; }
  void Tree(const std::string &rel, int files) {
    for (int i = 0; i < files; ++i) {
      fs::path p = P(rel + "d" + std::to_string(i % 7) + "/f" + std::to_string(i));
      fs::create_directories(p.parent_path());
      std::ofstream(p) << "content " << i;
    }
  }
  size_t Count(const std::string &rel) const {
    size_t n = 0;
    if (fs::exists(P(rel)))
      for (auto &e : fs::recursive_directory_iterator(P(rel))) n += e.is_regular_file();
    return n;
  }
  // What the main window's timer does: wait for the finished flag, then clear
  // it and the cancel flag. Returns how often the flag was raised before the
  // last worker had ended.
  int WaitAndReact() {
    int raised = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((raised == 0 || ActiveOperations > 0) && std::chrono::steady_clock::now() < deadline) {
      if (OperationsDone.exchange(false)) {
        ++raised;
        CancelStillSet = CancelRequested.exchange(false);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(ActiveOperations, 0);
    // Empty at the end, or the word for a cancel.
    LastStatus = GetOperationStatus();
    EXPECT_TRUE(LastStatus.empty() || LastStatus == "Cancelled") << LastStatus;
    return raised;
  }
  test::TempFolder dir{"trovix-thread"};
  std::string root = dir.path();
  bool CancelStillSet = false;
  std::string LastStatus;
};

// Two operations side by side: each reads its own options, taken when it
// started, and can be cancelled alone; the finished flag is raised once, when
// the last ends, and the window joins the workers that ended.
TEST_F(CopyMoveThread, TwoOperationsWithTheirOwnOptionsAndCancel) {
  constexpr int64_t kTime = 133'000'000'000'000'000;
  for (const char *side : {"a", "b"}) {
    const std::string s = side;
    Tree(s + "/", 300);
    std::ofstream(P(s + "/old")) << "new content";
    fs::create_directories(P(s + "2"));
    std::ofstream(P(s + "2/old")) << "old";
    FsSetFileTime(P(s + "/old"), kTime);
    FsSetFileTime(P(s + "2/old"), kTime - 10 * ftSecond);
  }
  std::shared_ptr<TOperationContext> warned, plain;
  {
    TGate gate;
    WarnOverwriteOlder = true;  // a: an older destination is an issue
    warned = TCopyMoveThread::Start({P("a/")}, okCopy, {P("a2/")});
    gate.WaitReached();  // a is held at its first copied file
    EXPECT_EQ(GetOperationStatus(), "Copying " + P("a/"));
    WarnOverwriteOlder = false;  // b, started while a runs: replaced
    plain = TCopyMoveThread::Start({P("b/")}, okCopy, {P("b2/")});
    EXPECT_EQ(ActiveOperations, 2);
    // The issue list takes the workers' appends while this thread adds and reads.
    gate.Open();
    for (int i = 0; i < 200 && ActiveOperations > 0; ++i) {
      IssueList.Add(okCopy, "", "", "added here");
      IssueList.Items();
    }
  }
  EXPECT_EQ(WaitAndReact(), 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(OperationsDone);
  EXPECT_EQ(TCopyMoveThread::JoinFinished(), 2);
  EXPECT_EQ(Count("a2/"), 301u);
  EXPECT_EQ(Count("b2/"), 301u);
  EXPECT_EQ(test::ReadAll(P("a2/old")), "old");
  EXPECT_EQ(test::ReadAll(P("b2/old")), "new content");
  Strings fromWorkers;
  for (const OperationIssue &i : IssueList.Items())
    if (i.Problem != "added here") fromWorkers.push_back(i.Source);
  EXPECT_EQ(fromWorkers, Strings{P("a/old")});
  EXPECT_EQ(warned->FilesDone, 300);
  EXPECT_EQ(plain->FilesDone, 301);
  EXPECT_GT(plain->BytesDone, 0);

  // Two copies of 300 files; the first is cancelled at its first file.
  LogClear();
  Tree("c/", 300);
  Tree("d/", 300);
  {
    TGate gate;
    std::shared_ptr<TOperationContext> first =
        TCopyMoveThread::Start({P("c/")}, okCopy, {P("c2/")});
    gate.WaitReached();
    TCopyMoveThread::Start({P("d/")}, okCopy, {P("d2/")});
    first->Cancel();
  }
  EXPECT_EQ(WaitAndReact(), 1);
  EXPECT_FALSE(CancelStillSet);  // the other operation was not cancelled
  EXPECT_EQ(Count("c2/"), 1u);
  EXPECT_EQ(Count("d2/"), 300u);
}

TEST_F(CopyMoveThread, EmptyCopyXTestAndDeleteWorkers) {
  TCopyMoveThread::Start({}, okCopy, {});  // nothing to do: finishes at once
  EXPECT_EQ(WaitAndReact(), 1);
  EXPECT_TRUE(LogLines().empty());

  Tree("t/", 30);
  std::ofstream(P("t/skip.tmp")) << "tmp";
  TCopyMoveThread::Start({P("t/")}, okCopySpecial, {P("x/")}, "tmp");
  EXPECT_EQ(WaitAndReact(), 1);
  EXPECT_EQ(Count("x/"), 30u);
  EXPECT_FALSE(fs::exists(P("x/skip.tmp")));

  FsInjectFault(FsOp::Read, P("t/d3/f3"), EIO);
  TCopyMoveThread::Start({P("t/"), P("t/skip.tmp")}, okTest, {});
  EXPECT_EQ(WaitAndReact(), 1);
  ASSERT_EQ(IssueList.Count(), 1);
  EXPECT_EQ(IssueList.Items()[0].Source, P("t/d3/f3"));

  TCopyMoveThread::Start({P("t/"), P("x/d1/f1")}, okDelete, {});
  EXPECT_EQ(WaitAndReact(), 1);
  EXPECT_FALSE(fs::exists(P("t")));
  EXPECT_FALSE(fs::exists(P("x/d1/f1")));
}

TEST_F(CopyMoveThread, CancelStopsBeforeTheNextFile) {
  Tree("many/", 500);
  std::ofstream(P("last")) << "l";
  LogSetNotify([] { CancelRequested = true; });  // cancel at the first copied file
  TCopyMoveThread::Start({P("many/"), P("last")}, okCopy, {P("copy/"), P("copy-last")});
  EXPECT_EQ(WaitAndReact(), 1);
  EXPECT_TRUE(CancelStillSet);  // cleared by the window, not by the worker
  EXPECT_EQ(LastStatus, "Cancelled");
  EXPECT_EQ(LogLines().back(), "\tCancelled");
  EXPECT_EQ(Count("copy/"), 1u);
  EXPECT_FALSE(fs::exists(P("copy-last")));
  EXPECT_EQ(IssueList.Count(), 0);
  for (auto &e : fs::recursive_directory_iterator(P("copy")))
    EXPECT_EQ(e.path().filename().string().find(CopyTempMarker), std::string::npos);

  // The next operation runs normally.
  LogSetNotify(nullptr);
  TCopyMoveThread::Start({P("many/")}, okCopy, {P("copy/")});
  EXPECT_EQ(WaitAndReact(), 1);
  EXPECT_EQ(LastStatus, "");
  EXPECT_EQ(Count("copy/"), 500u);
}

TEST_F(CopyMoveThread, ProgressReachesTheCountedTotals) {
  Tree("tree/", 40);  // "content 0" .. "content 39": 9 or 10 bytes each
  std::ofstream(P("one")) << "12345";
  fs::create_directory_symlink(P("tree/d1"), P("tree/link"));  // counted as one file, not walked
  int64_t bytes = 5;
  for (int i = 0; i < 40; ++i) bytes += 8 + static_cast<int64_t>(std::to_string(i).size());

  TOperationProgress counted;
  CountSources({P("tree/"), P("one"), P("missing")}, "", counted, [] { return false; });
  EXPECT_TRUE(counted.Counted);
  EXPECT_EQ(counted.FilesTotal, 42);
  EXPECT_EQ(counted.BytesTotal, bytes);
  TOperationProgress stopped;
  CountSources({P("tree/")}, "", stopped, [] { return true; });
  EXPECT_FALSE(stopped.Counted);
  TOperationProgress excluded;
  CountSources({P("tree/")}, "f1", excluded, [] { return false; });
  EXPECT_LT(excluded.FilesTotal, 42);

  // A copy, then the same copy again (everything up to date), reach the totals.
  for (int run = 0; run < 2; ++run) {
    auto context = TCopyMoveThread::Start({P("tree/"), P("one")}, okCopy, {P("c/"), P("c1")});
    EXPECT_EQ(WaitAndReact(), 1);
    EXPECT_TRUE(context->Counted);
    EXPECT_EQ(context->FilesDone + context->FilesPassed, 42) << run;
    EXPECT_EQ(context->BytesDone + context->BytesPassed, bytes) << run;
    EXPECT_EQ(OperationProgressNow().Operations, 0);  // unregistered at the end
  }
}

TEST_F(CopyMoveThread, StartedFromTheMarkedEntries) {
  int answer = 0, asked = 0;
  std::string question;
  SetMessageBoxAnswerer([&](uint8_t, const std::string &message, const std::string &buttons) {
    ++asked;
    question = message;
    EXPECT_EQ(message.rfind("|b|4Copy or Move?", 0), 0u);  // the question's own words first
    EXPECT_EQ(buttons, "Copy,Move,Copy X,Cancel");
    return answer;
  });
  EXPECT_EQ(AskCopyOrMove("/a/", "/a/"), okNoOp);
  EXPECT_EQ(AskCopyOrMove("", "/b/"), okNoOp);
  EXPECT_EQ(AskCopyOrMove("/a/", ""), okTest);
  EXPECT_EQ(asked, 0);
  const std::pair<int, OperationKind> answers[] = {{0, okCopy}, {1, okMove},  {2, okCopySpecial},
                                                   {3, okNoOp}, {-1, okNoOp}, {7, okNoOp}};
  for (auto [a, kind] : answers) {
    answer = a;
    EXPECT_EQ(AskCopyOrMove("/a/", "/b/"), kind) << a;
  }

  Tree("src/d/", 3);
  std::ofstream(P("src/a")) << "a";
  std::ofstream(P("src/b")) << "b";
  TFileListState list;
  list.FileList = {{"a", 1, 0, 0, true}, {"b", 1, 0, 0, false}, {"d", 0, 0, faDirectory, true}};
  list.ListedFolder = P("src/");
  CopyXExclusions = "zzz";
  OperationRequest r = SelectionRequest(list.FileList, okCopySpecial, P("src/"), P("dst/"));
  EXPECT_EQ(r.Sources, (Strings{P("src/a"), P("src/d/")}));
  EXPECT_EQ(r.Destinations, (Strings{P("dst/a"), P("dst/d/")}));
  EXPECT_EQ(r.Exclusions, "zzz");
  EXPECT_EQ(SelectionRequest(list.FileList, okTest, P("src/"), "").Destinations, (Strings{"", ""}));
  CopyXExclusions = "";

  answer = 3;  // Cancel: nothing happens
  StartOperation(list, P("dst/"));
  EXPECT_EQ(ActiveOperations, 0);
  answer = 0;
  StartOperation(list, P("dst/"));
  EXPECT_EQ(question, "|b|4Copy or Move?|n|b|02 items, \"a\" first, to " + P("dst/"));
  EXPECT_EQ(WaitAndReact(), 1);
  EXPECT_EQ(LogLines().at(0), "Copy to " + P("dst/"));
  EXPECT_EQ(Count("dst/"), 4u);
  EXPECT_FALSE(fs::exists(P("dst/b")));
  answer = 1;
  StartFolderOperation(P("dst/"), P("moved/"));
  EXPECT_EQ(question, "|b|4Copy or Move?|n|b|0\"dst\" to " + P("moved/"));
  EXPECT_EQ(WaitAndReact(), 1);
  EXPECT_EQ(Count("moved/"), 4u);
  EXPECT_FALSE(fs::exists(P("dst")));
  SetMessageBoxAnswerer(nullptr);
}

}  // namespace
}  // namespace trovix
