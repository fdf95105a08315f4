// SPDX-License-Identifier: GPL-3.0-or-later
#include "foundation/worker_pool_ui.h"

#include <QCoreApplication>

namespace trovix {

TAsyncRunner::TAsyncRunner(QObject *parent)
    : QObject(parent), pool_(2, std::chrono::milliseconds(500)) {
  rescue_.setInterval(100);
  connect(&rescue_, &QTimer::timeout, this, [this] {
    pool_.Rescue();
    if (pool_.Queued() == 0) rescue_.stop();
  });
  pool_.SetPoster([this](std::function<void()> deliver) {
    bool wasEmpty;
    {
      std::lock_guard<std::mutex> lock(inboxMutex_);
      wasEmpty = inbox_.empty();
      inbox_.push_back(std::move(deliver));
    }
    if (wasEmpty) QMetaObject::invokeMethod(this, "Drain", Qt::QueuedConnection);
  });
}

void TAsyncRunner::Drain() {
  std::deque<std::function<void()>> ready;
  {
    std::lock_guard<std::mutex> lock(inboxMutex_);
    ready.swap(inbox_);
  }
  for (auto &deliver : ready) deliver();
}

TJobHandle TAsyncRunner::Run(std::function<void(const TWorkerJob &)> work,
                             std::function<void()> done) {
  TJobHandle job = pool_.Submit(std::move(work), std::move(done));
  if (pool_.Queued() > 0 && !rescue_.isActive()) rescue_.start();
  return job;
}

TAsyncRunner &AsyncRunner() {
  static const QString name = QStringLiteral("trovixAsyncRunner");
  QCoreApplication *app = QCoreApplication::instance();
  auto *runner = app->findChild<TAsyncRunner *>(name, Qt::FindDirectChildrenOnly);
  if (!runner) {
    runner = new TAsyncRunner(app);
    runner->setObjectName(name);
  }
  return *runner;
}

// ---- Commands ---------------------------------------------------------------

TCommandRunner::TCommandRunner(QObject *parent) : QObject(parent) {
  tick_.setInterval(250);
  connect(&tick_, &QTimer::timeout, this, [this] { emit progressed(); });
}

TCommandRunner::~TCommandRunner() {
  // Quietly: whoever listens may be half destroyed already.
  for (Pending &p : pending_) p.job->Cancel();
}

bool TCommandRunner::Start(const std::string &what, std::function<void(const TWorkerJob &)> work,
                           std::function<void()> done) {
  // The job's own address tells Finish which entry ended; done runs after it.
  auto self = std::make_shared<const TWorkerJob *>(nullptr);
  TJobHandle job = AsyncRunner().Run(std::move(work), [this, self, done = std::move(done)] {
    Finish(*self);
    if (done) done();
  });
  *self = job.get();
  pending_.push_back(Pending{job, what, QElapsedTimer()});
  pending_.back().started.start();
  if (job->WaitFinished(std::chrono::milliseconds(WaitMs)) && TWorkerPool::Deliver(job))
    return true;
  if (!tick_.isActive()) tick_.start();
  return false;
}

void TCommandRunner::Finish(const TWorkerJob *job) {
  for (auto it = pending_.begin(); it != pending_.end(); ++it)
    if (it->job.get() == job) {
      pending_.erase(it);
      break;
    }
  if (pending_.empty()) tick_.stop();
  emit progressed();
}

void TCommandRunner::Cancel() {
  if (pending_.empty()) return;
  for (Pending &p : pending_) p.job->Cancel();
  pending_.clear();
  tick_.stop();
  emit progressed();
}

std::string TCommandRunner::NotResponding() const {
  if (pending_.empty() || pending_.front().started.elapsed() < NotRespondingMs)
    return std::string();
  return pending_.front().what;
}

}  // namespace trovix
