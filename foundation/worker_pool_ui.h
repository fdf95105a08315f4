// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's worker pool (worker_pool.h) with its results delivered into
// the user-interface thread's event loop.
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <mutex>

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

}  // namespace trovix
