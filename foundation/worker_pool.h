// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A small pool of worker threads for file-system calls that may block (a
// listing, a stat, a statvfs on a slow disk or a dead network mount), so that
// the thread that owns the pool (the user-interface thread) never waits on
// them.
//
// A job has two parts: work, run on a worker, and done, run afterwards on the
// owner's thread through the poster the owner installs (a queued call into
// its event loop). A cancelled job's done never runs; a job still queued when
// it is cancelled never runs at all. Work that may take long asks Cancelled()
// now and then and returns early.
//
// A call that never returns must neither stop other jobs nor the program's
// exit: a worker busy with one job for longer than the stuck time no longer
// counts towards the pool's size, so the next job gets a new thread (up to a
// hard cap); the extra threads end when their jobs return. The threads are
// detached and hold the pool's shared state and their job by shared_ptr, so
// the pool can be destroyed while a worker is stuck: the destructor waits
// briefly for busy workers, then leaves them; a worker that returns later
// finds the pool stopped, drops its job and ends without posting anything.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace trovix {

class TWorkerJob : public std::enable_shared_from_this<TWorkerJob> {
 public:
  // Any thread. The job's done will not run; queued work will not start.
  void Cancel() { cancelled_.store(true, std::memory_order_release); }
  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }
  // True once work has returned.
  bool Finished() const;
  // Waits up to timeout for work to return; true when it has.
  bool WaitFinished(std::chrono::milliseconds timeout) const;
  // From the work: f runs on the owner's thread ahead of done (a first part
  // of a result), unless the job is cancelled or let go by then.
  void Post(std::function<void()> f) const;

 private:
  friend class TWorkerPool;
  std::function<void(const TWorkerJob &)> work_;
  std::function<void()> done_;
  std::function<void(std::function<void()>)> post_;
  std::atomic<bool> cancelled_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable finishedChanged_;
  bool finished_ = false;
  bool delivered_ = false;  // owner's thread only
};
using TJobHandle = std::shared_ptr<TWorkerJob>;

class TWorkerPool {
 public:
  using Poster = std::function<void(std::function<void()>)>;
  explicit TWorkerPool(int threads = 2,
                       std::chrono::milliseconds stuckAfter = std::chrono::milliseconds(1500),
                       int hardCap = 8);
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool &) = delete;
  TWorkerPool &operator=(const TWorkerPool &) = delete;

  // How finished jobs reach the owner's thread: poster is called on a worker
  // with a function the owner's thread must call. Without one, only Deliver
  // runs done.
  void SetPoster(Poster poster);
  // Queues a job. done may be empty.
  TJobHandle Submit(std::function<void(const TWorkerJob &)> work, std::function<void()> done);
  // On the owner's thread: runs a finished job's done now, once; a later
  // posted delivery then does nothing. False when the job is not finished,
  // cancelled, or was delivered already.
  static bool Deliver(const TJobHandle &job);
  // Gives queued jobs a new thread when every worker has become stuck since
  // they were queued; the owner calls it now and then while Queued() is
  // non-zero.
  void Rescue();
  int Queued() const;
  // Threads alive now (busy, stuck or idle).
  int ThreadCount() const;

 private:
  struct State;
  static void Run(std::shared_ptr<State> state);
  void StartThreadIfNeeded();  // with the state's lock held
  std::shared_ptr<State> state_;
};

}  // namespace trovix
