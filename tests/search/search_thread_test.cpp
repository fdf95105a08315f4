// SPDX-License-Identifier: GPL-3.0-or-later
// The search worker and the window's side of the sharing rules, run under
// ThreadSanitizer by the test script: stopping a walk, a sort and deletions,
// and a window going away while its worker runs.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include "dialogs/event_log.h"
#include "foundation/file_system.h"
#include "search/search.h"
#include "test_util.h"

namespace trovix {
namespace {

namespace fs = std::filesystem;

void MakeTree(const test::TempFolder &t, int folders, int filesEach) {
  for (int d = 0; d < folders; ++d) {
    const std::string folder = t / ("d" + std::to_string(d) + "/");
    fs::create_directories(folder);
    for (int f = 0; f < filesEach; ++f) std::ofstream(folder + "f" + std::to_string(f) + ".txt");
  }
}

// Waits, as the window's timer does, for the worker to clear Busy.
void WaitIdle(TSearchJob &job) {
  while (job.Busy.load(std::memory_order_acquire))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(SearchThread, StopDuringTheWalkEmptiesTheList) {
  test::TempFolder t;
  MakeTree(t, 200, 100);
  bool stoppedMidWalk = false;
  for (int attempt = 0; attempt < 5 && !stoppedMidWalk; ++attempt) {
    TSearchJob job;
    job.Params.SearchFolder = t.path();
    TSearchSortThread worker(job);
    job.State = ssSearching;
    ASSERT_TRUE(worker.Start());
    EXPECT_FALSE(worker.Start());  // one worker at a time
    while (job.FoundCount.load() < 50 && job.Busy.load()) std::this_thread::yield();
    stoppedMidWalk = job.State.load() == ssSearching;
    job.RequestAbort();
    WaitIdle(job);
    worker.Join();
    EXPECT_EQ(job.State.load(), ssReady);
    if (stoppedMidWalk) {
      EXPECT_EQ(job.ResultCount, 0);
      EXPECT_TRUE(job.Results.empty());
    }
  }
  EXPECT_TRUE(stoppedMidWalk);
}

// Contents tested on the scanning threads give the same matches in the same
// order as the walk testing each file itself: files of every size around the
// scan's block, text and binary, with the text in either case or straddling
// a block boundary, and files that fail partway through.
TEST(SearchThread, ScanThreadsGiveTheWalkOrder) {
  test::TempFolder t;
  std::mt19937 rng(9);
  const std::string needle = "NeedleWord";
  for (int i = 0; i < 400; ++i) {
    const std::string folder =
        t / ("d" + std::to_string(rng() % 12) + "/s" + std::to_string(rng() % 3) + "/");
    fs::create_directories(folder);
    std::string bytes(rng() % 16 == 0 ? (1 << 20) + rng() % 64 : rng() % 4000, 'w');
    if (rng() % 6 == 0 && !bytes.empty()) bytes[rng() % bytes.size()] = '\0';
    if (rng() % 2 && bytes.size() > needle.size()) {
      const size_t at = rng() % 3 == 0 && bytes.size() > (1 << 20)
                            ? (1 << 20) - rng() % needle.size()
                            : rng() % (bytes.size() - needle.size());
      bytes.replace(at, needle.size(), rng() % 2 ? needle : "nEEDLEwORD");
    }
    std::ofstream(folder + (rng() % 7 == 0 ? "bad" : "f") + std::to_string(i) + ".txt",
                  std::ios::binary)
        << bytes;
  }
  FsInjectFault(FsOp::Read, "/bad", EIO, 100);
  auto run = [&](int threads, bool binary) {
    TSearchJob job;
    job.Params.SearchFolder = t.path();
    job.Params.ContentBytes = "needleword";
    job.Params.BinaryFiles = binary;
    job.ScanThreads = threads;
    job.State = ssSearching;
    EXPECT_TRUE(job.Walk());  // the walk's own order, before any sort
    std::vector<std::string> found;
    for (int32_t i = 0; i < job.ResultCount; ++i)
      found.push_back(job.Results[i].path + job.Results[i].name);
    return found;
  };
  for (bool binary : {false, true}) {
    const std::vector<std::string> walked = run(0, binary);
    EXPECT_GT(walked.size(), 50u);
    EXPECT_EQ(run(2, binary), walked);
    if (!binary) {
      EXPECT_EQ(run(1, binary), walked);
    }
  }
  FsClearFaults();
}

TEST(SearchThread, StopDuringASortKeepsTheList) {
  TSearchJob job;
  std::mt19937 rng(5);
  job.Results.resize(200000);
  for (auto &e : job.Results) {
    e.path = "/p" + std::to_string(rng() % 100) + "/";
    e.name = "n" + std::to_string(rng());
  }
  job.ResultCount = static_cast<int32_t>(job.Results.size());
  job.SortKey = skName;
  TSearchSortThread worker(job);
  job.State = ssSorting;
  ASSERT_TRUE(worker.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  job.RequestAbort();
  WaitIdle(job);
  worker.Join();
  EXPECT_EQ(job.State.load(), ssReady);
  EXPECT_EQ(job.ResultCount, 200000);
  EXPECT_EQ(job.Results.size(), 200000u);
}

TEST(SearchThread, StopDuringDeletionsDeletesNoMore) {
  test::TempFolder t;
  MakeTree(t, 1, 50);
  TSearchJob job;
  job.Params.SearchFolder = t.path();
  job.State = ssSearching;
  job.Busy = true;
  job.Run();
  ASSERT_EQ(job.ResultCount, 51);
  // Hold the worker at the log entry that starts the deletions.
  std::mutex m;
  std::condition_variable cv;
  bool reached = false, open = false;
  LogSetNotify([&] {
    std::unique_lock<std::mutex> lock(m);
    reached = true;
    cv.notify_all();
    cv.wait(lock, [&] { return open; });
  });
  LogClear();
  TSearchSortThread worker(job);
  job.DeleteTop = 1;
  job.DeleteBottom = 51;
  job.State = ssDeleting;
  ASSERT_TRUE(worker.Start());
  {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return reached; });
  }
  job.RequestAbort();
  {
    std::lock_guard<std::mutex> lock(m);
    open = true;
    cv.notify_all();
  }
  WaitIdle(job);
  worker.Join();
  LogSetNotify(nullptr);
  EXPECT_EQ(job.State.load(), ssReady);
  EXPECT_EQ(job.ResultCount, 0);
  int left = 0;
  for (const auto &e : fs::directory_iterator(t / "d0")) left += e.is_regular_file();
  EXPECT_EQ(left, 50);
}

TEST(SearchThread, WindowGoingAwayStopsAndJoinsItsWorker) {
  test::TempFolder t;
  MakeTree(t, 100, 100);
  auto job = std::make_unique<TSearchJob>();
  auto worker = std::make_unique<TSearchSortThread>(*job);
  job->Params.SearchFolder = t.path();
  job->Params.ContentBytes = "needle";
  job->State = ssSearching;
  ASSERT_TRUE(worker->Start());
  worker.reset();  // asks the worker to stop and waits for it
  EXPECT_FALSE(job->Busy.load());
  EXPECT_EQ(job->State.load(), ssReady);
}

}  // namespace
}  // namespace trovix
