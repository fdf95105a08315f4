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

}  // namespace trovix
