// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/worker_pool.h"

#include <deque>
#include <list>
#include <thread>
#include <utility>

namespace trovix {

using Clock = std::chrono::steady_clock;

bool TWorkerJob::Finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

bool TWorkerJob::WaitFinished(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return finishedChanged_.wait_for(lock, timeout, [this] { return finished_; });
}

void TWorkerJob::Post(std::function<void()> f) const {
  if (!post_) return;
  std::weak_ptr<const TWorkerJob> self = weak_from_this();
  post_([self, f = std::move(f)] {
    std::shared_ptr<const TWorkerJob> job = self.lock();
    if (job && !job->Cancelled()) f();
  });
}

struct TWorkerPool::State {
  std::mutex mutex;
  std::condition_variable wake;  // a job queued, or the pool stopping
  std::condition_variable threadEnded;
  std::deque<TJobHandle> queue;
  Poster poster;
  bool stopping = false;
  int size = 2;
  int hardCap = 8;
  Clock::duration stuckAfter;
  int threads = 0;
  int idle = 0;
  // Start times of the jobs running now, one per busy worker.
  std::list<Clock::time_point> started;
};

TWorkerPool::TWorkerPool(int threads, std::chrono::milliseconds stuckAfter, int hardCap)
    : state_(std::make_shared<State>()) {
  state_->size = threads < 1 ? 1 : threads;
  state_->hardCap = hardCap < state_->size ? state_->size : hardCap;
  state_->stuckAfter = stuckAfter;
}

TWorkerPool::~TWorkerPool() {
  std::unique_lock lock(state_->mutex);
  state_->stopping = true;
  state_->poster = nullptr;
  for (const TJobHandle &job : state_->queue) job->Cancel();
  state_->queue.clear();
  state_->wake.notify_all();
  // Idle workers end at once; a busy one gets a moment to finish. One stuck
  // in a call that does not return is left behind (see the header).
  state_->threadEnded.wait_for(lock, std::chrono::milliseconds(200),
                               [this] { return state_->threads == 0; });
}

void TWorkerPool::SetPoster(Poster poster) {
  std::lock_guard lock(state_->mutex);
  state_->poster = std::move(poster);
}

TJobHandle TWorkerPool::Submit(std::function<void(const TWorkerJob &)> work,
                               std::function<void()> done) {
  auto job = std::make_shared<TWorkerJob>();
  job->work_ = std::move(work);
  job->done_ = std::move(done);
  std::weak_ptr<State> weak = state_;
  job->post_ = [weak](std::function<void()> f) {
    std::shared_ptr<State> state = weak.lock();
    if (!state) return;
    std::lock_guard lock(state->mutex);
    if (!state->stopping && state->poster) state->poster(std::move(f));
  };
  std::lock_guard lock(state_->mutex);
  state_->queue.push_back(job);
  StartThreadIfNeeded();
  return job;
}

void TWorkerPool::StartThreadIfNeeded() {
  State &s = *state_;
  // Workers stuck on one job for long do not count towards the size.
  const Clock::time_point now = Clock::now();
  int healthy = s.threads;
  for (const Clock::time_point &t : s.started)
    if (now - t >= s.stuckAfter) --healthy;
  const int waiting = static_cast<int>(s.queue.size());
  if (s.idle < waiting && healthy < s.size && s.threads < s.hardCap) {
    ++s.threads;
    std::thread(Run, state_).detach();
  } else {
    s.wake.notify_one();
  }
}

void TWorkerPool::Rescue() {
  std::lock_guard lock(state_->mutex);
  if (!state_->queue.empty() && !state_->stopping) StartThreadIfNeeded();
}

int TWorkerPool::Queued() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(state_->queue.size());
}

bool TWorkerPool::Deliver(const TJobHandle &job) {
  if (!job || job->Cancelled() || job->delivered_ || !job->Finished()) return false;
  job->delivered_ = true;
  std::function<void()> done = std::move(job->done_);
  job->done_ = nullptr;
  if (done) done();
  return true;
}

int TWorkerPool::ThreadCount() const {
  std::lock_guard lock(state_->mutex);
  return state_->threads;
}

void TWorkerPool::Run(std::shared_ptr<State> state) {
  State &s = *state;
  std::unique_lock lock(s.mutex);
  for (;;) {
    ++s.idle;
    s.wake.wait(lock, [&] { return s.stopping || !s.queue.empty(); });
    --s.idle;
    if (s.stopping) break;
    TJobHandle job = std::move(s.queue.front());
    s.queue.pop_front();
    if (job->Cancelled()) continue;
    const auto mine = s.started.insert(s.started.end(), Clock::now());
    lock.unlock();

    job->work_(*job);
    job->work_ = nullptr;  // what the work captured goes with it
    {
      std::lock_guard jobLock(job->mutex_);
      job->finished_ = true;
    }
    job->finishedChanged_.notify_all();

    lock.lock();
    s.started.erase(mine);
    if (!s.stopping && !job->Cancelled() && s.poster)
      s.poster([job] { TWorkerPool::Deliver(job); });
    job.reset();
    // Threads beyond the pool's size (started while others were stuck) end.
    if (s.stopping || s.threads > s.size) break;
  }
  --s.threads;
  s.threadEnded.notify_all();
}

}  // namespace trovix
