// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/worker_pool.h"

#include <gtest/gtest.h>

#include <deque>
#include <thread>
#include <vector>

#include "foundation/file_system.h"
#include "test_util.h"

namespace trovix {
namespace {

using namespace std::chrono_literals;

// The owner's thread: posted deliveries wait in a queue the test drains.
struct Owner {
  std::mutex mutex;
  std::deque<std::function<void()>> posted;
  void Attach(TWorkerPool &pool) {
    pool.SetPoster([this](std::function<void()> f) {
      std::lock_guard lock(mutex);
      posted.push_back(std::move(f));
    });
  }
  // Runs what was posted until count deliveries arrived or a timeout.
  void Drain(size_t count) {
    const auto end = std::chrono::steady_clock::now() + 10s;
    size_t ran = 0;
    while (ran < count && std::chrono::steady_clock::now() < end) {
      std::function<void()> f;
      {
        std::lock_guard lock(mutex);
        if (!posted.empty()) {
          f = std::move(posted.front());
          posted.pop_front();
        }
      }
      if (f) {
        f();
        ++ran;
      } else {
        std::this_thread::sleep_for(1ms);
      }
    }
  }
};

TEST(WorkerPool, JobsRunOnWorkersAndFinishOnTheOwnersThreadOnce) {
  TWorkerPool pool(2);
  Owner owner;
  owner.Attach(pool);
  const std::thread::id self = std::this_thread::get_id();
  std::vector<int> done;
  std::atomic<int> offThread{0};
  std::vector<TJobHandle> jobs;
  for (int i = 0; i < 20; ++i)
    jobs.push_back(pool.Submit(
        [&](const TWorkerJob &) {
          if (std::this_thread::get_id() != self) ++offThread;
        },
        [&done, &self, i] {
          EXPECT_EQ(std::this_thread::get_id(), self);
          done.push_back(i);
        }));
  // Delivering one early runs its done now; its posted delivery does nothing.
  ASSERT_TRUE(jobs[0]->WaitFinished(10s));
  EXPECT_TRUE(TWorkerPool::Deliver(jobs[0]));
  EXPECT_FALSE(TWorkerPool::Deliver(jobs[0]));
  owner.Drain(20);
  EXPECT_EQ(offThread.load(), 20);
  EXPECT_EQ(done.size(), 20u);
  EXPECT_LE(pool.ThreadCount(), 2);
}

TEST(WorkerPool, CancelledJobsNeverFinishAndQueuedOnesNeverStart) {
  TWorkerPool pool(1);
  Owner owner;
  owner.Attach(pool);
  FsInjectDelay(FsDelayOp::List, "/held/", -1);
  std::atomic<bool> sawCancel{false};
  bool doneRan = false;
  // The only worker is held in a call; the second job waits in the queue.
  TJobHandle running = pool.Submit(
      [&](const TWorkerJob &job) {
        FsFolderReader reader;
        reader.Open("/held/");
        sawCancel = job.Cancelled();
      },
      [&] { doneRan = true; });
  std::atomic<bool> queuedRan{false};
  TJobHandle queued = pool.Submit([&](const TWorkerJob &) { queuedRan = true; }, [&] {});
  while (FsDelayedCalls() == 0) std::this_thread::sleep_for(1ms);
  running->Cancel();
  queued->Cancel();
  FsReleaseDelays();
  ASSERT_TRUE(running->WaitFinished(10s));
  // A job after them still runs and delivers.
  bool laterDone = false;
  TJobHandle later = pool.Submit([](const TWorkerJob &) {}, [&] { laterDone = true; });
  owner.Drain(1);
  EXPECT_TRUE(laterDone);
  EXPECT_TRUE(sawCancel);
  EXPECT_FALSE(doneRan);
  EXPECT_FALSE(queuedRan);
  EXPECT_FALSE(TWorkerPool::Deliver(running));
  FsClearFaults();
}

TEST(WorkerPool, AStuckCallHoldsUpNeitherOtherJobsNorTheOwnersExit) {
  // The job's data lives as long as the job, even past the pool.
  auto data = std::make_shared<std::atomic<int>>(0);
  FsInjectDelay(FsDelayOp::FreeSpace, "/stuck/", -1);
  auto start = std::chrono::steady_clock::now();
  {
    TWorkerPool pool(1, 50ms);
    Owner owner;
    owner.Attach(pool);
    for (int i = 1; i <= 2; ++i) {
      pool.Submit(
          [data](const TWorkerJob &) {
            int64_t free = 0, total = 0;
            FsFreeSpace("/stuck/", free, total);
            ++*data;
          },
          [] {});
      while (FsDelayedCalls() < i) std::this_thread::sleep_for(1ms);
      std::this_thread::sleep_for(60ms);
    }
    // Both workers are stuck: a new job gets a thread of its own.
    bool done = false;
    pool.Submit([](const TWorkerJob &) {}, [&] { done = true; });
    owner.Drain(1);
    EXPECT_TRUE(done);
    EXPECT_LE(pool.ThreadCount(), 8);
    start = std::chrono::steady_clock::now();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  // The stuck workers return after the pool is gone and end quietly.
  FsReleaseDelays();
  for (int i = 0; i < 1000 && data->load() < 2; ++i) std::this_thread::sleep_for(1ms);
  EXPECT_EQ(data->load(), 2);
  FsClearFaults();
}

TEST(FileSystemDelay, TimedDelaysPassAndOnlyTheirKindAndPathWait) {
  test::TempFolder dir;
  FsInjectDelay(FsDelayOp::Stat, dir.path() + "slow", 150);
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(FsExists(dir.path() + "fast"));
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 100ms);
  FsEntry info;
  t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(FsGetInfo(dir.path() + "slow", info));
  EXPECT_EQ(FsLastError(), ENOENT);  // the call still runs, and reports its own error
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 140ms);
  FsClearFaults();
  t0 = std::chrono::steady_clock::now();
  FsGetInfo(dir.path() + "slow", info);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, 100ms);
}

}  // namespace
}  // namespace trovix
