// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's worker pool (worker_pool.h) with its results delivered into
// the user-interface thread's event loop.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "foundation/worker_pool.h"

namespace trovix {

class TAsyncRunner : public QObject {
  Q_OBJECT
 public:
  explicit TAsyncRunner(QObject *parent = nullptr);
  // Queues work for a worker; done then runs on this object's thread, unless
  // the job was cancelled first. Whoever done refers to cancels the job
  // before it goes.
  TJobHandle Run(std::function<void(const TWorkerJob &)> work, std::function<void()> done);
  TWorkerPool &Pool() { return pool_; }

 private:
  // Runs what the workers delivered, in the order they delivered it.
  Q_INVOKABLE void Drain();

  QTimer rescue_;
  // Deliveries pass through this queue under a standard mutex rather than in
  // Qt's posted events alone, so the hand-over from the worker is ordered in
  // a way that thread checkers can see.
  std::mutex inboxMutex_;
  std::deque<std::function<void()>>
      inbox_;  // while jobs wait: lets them past workers that got stuck
  // Destroyed before QObject's part: from then on nothing is posted here, and
  // what was posted is discarded with the object.
  TWorkerPool pool_;
};

// The pool of the application object, made on first use and destroyed with
// it (before the program's static objects, so no worker posts to a dead
// event loop). User-interface thread only.
TAsyncRunner &AsyncRunner();

// A probe with a bounded wait: runs f on the pool and waits up to waitMs for
// its value. Without it in time (a hung mount, busy workers) the job is
// dropped, its value discarded when it comes, and the caller goes on without
// it. User-interface thread only.
template <class T>
std::optional<T> CallBounded(std::function<T()> f, int waitMs) {
  // The worker writes into shared state: it may outlive the caller's frame.
  auto value = std::make_shared<std::optional<T>>();
  TJobHandle job =
      AsyncRunner().Run([f = std::move(f), value](const TWorkerJob &) { *value = f(); }, nullptr);
  if (job->WaitFinished(std::chrono::milliseconds(waitMs))) return std::move(*value);
  job->Cancel();
  return std::nullopt;
}

// Commands the user started that must complete (a rename, a new file, a
// compare of two files): each one's file-system part runs on the pool and its
// outcome on this thread, at once when the part ends within WaitMs (no
// flicker for a quick disk), else when it arrives, the window answering
// meanwhile. A command still running after NotRespondingMs says so through
// NotResponding. Destroying the runner, or Cancel, drops the outcomes still
// to come (the work itself cannot be stopped halfway).
class TCommandRunner : public QObject {
  Q_OBJECT
 public:
  explicit TCommandRunner(QObject *parent = nullptr);
  ~TCommandRunner() override;

  int WaitMs = 20;
  int NotRespondingMs = 3000;

  // Runs work on the pool, then done here. what names the command's file or
  // folder for NotResponding. True when done ran before Start returned.
  bool Start(const std::string &what, std::function<void(const TWorkerJob &)> work,
             std::function<void()> done);
  void Cancel();
  bool Busy() const { return !pending_.empty(); }
  // What the oldest command still running that has not answered for
  // NotRespondingMs names; empty when there is none.
  std::string NotResponding() const;

 signals:
  // While commands run, now and then, and when one ends: NotResponding may
  // have changed.
  void progressed();

 private:
  struct Pending {
    TJobHandle job;
    std::string what;
    QElapsedTimer started;
  };
  void Finish(const TWorkerJob *job);

  std::deque<Pending> pending_;
  QTimer tick_;
};

}  // namespace trovix
