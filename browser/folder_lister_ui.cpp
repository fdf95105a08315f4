// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folder_lister_ui.h"

#include "dialogs/markup.h"
#include "foundation/file_system.h"
#include "foundation/strings.h"
#include "foundation/worker_pool_ui.h"

namespace trovix {

TFolderLister::TFolderLister(QObject *parent) : QObject(parent) {
  tick_.setInterval(100);
  connect(&tick_, &QTimer::timeout, this, [this] { emit progressed(); });
}

TFolderLister::~TFolderLister() {
  // Quietly: whoever listens may be half destroyed already.
  if (job_) job_->Cancel();
}

bool TFolderLister::Start(const std::string &folder, int32_t sortMode, Landed landed, int waitMs,
                          Landed first) {
  Cancel();
  folder_ = folder;
  auto read = std::make_shared<std::atomic<int64_t>>(0);
  auto result = std::make_shared<TFolderListing>();
  read_ = read;
  const size_t previewMin = first ? PreviewMin : 0, previewCount = PreviewCount;
  // The job owns what the worker writes (result, read) through shared
  // pointers: a worker stuck in a call may outlive this object.
  job_ = AsyncRunner().Run(
      [folder, sortMode, result, read, first, previewMin, previewCount](const TWorkerJob &job) {
        auto cancelled = [&job] { return job.Cancelled(); };
        if (first) {
          auto preview = std::make_shared<TFolderListing>();
          size_t total = 0;
          // Posted deliveries run only while the job is wanted, so this
          // object is still there when it runs.
          if (ReadFolderPreview(folder, sortMode, previewCount, *preview, total, cancelled) &&
              total >= previewMin)
            job.Post([preview, first] { first(*preview); });
        }
        ReadFolderListing(folder, sortMode, *result, cancelled, read.get());
      },
      [this, result, landed] { Land(result, landed); });
  started_.start();
  const TJobHandle job = job_;
  if (job->WaitFinished(std::chrono::milliseconds(waitMs < 0 ? WaitMs : waitMs)) &&
      TWorkerPool::Deliver(job))
    return true;
  tick_.start();
  emit progressed();
  return false;
}

void TFolderLister::Land(const std::shared_ptr<TFolderListing> &result, const Landed &landed) {
  job_.reset();
  tick_.stop();
  landed(*result);
  emit finished();
}

void TFolderLister::Cancel() {
  if (!job_) return;
  job_->Cancel();
  job_.reset();
  tick_.stop();
  emit finished();
}

int64_t TFolderLister::Progress() const {
  return job_ && read_ ? read_->load(std::memory_order_relaxed) : 0;
}

bool TFolderLister::NotResponding() const {
  return job_ && started_.isValid() && started_.elapsed() >= NotRespondingMs;
}

std::string TFolderLister::StatusText() const {
  if (!job_) return std::string();
  if (NotResponding()) return NotRespondingText(folder_);
  const int64_t n = Progress();
  return "|4|bListing ...|b  " + NumToStrCommas(n) + " " + ItemWord(n);
}

// ---- Free space ------------------------------------------------------------

TFreeSpaceProbe::TFreeSpaceProbe(QObject *parent) : QObject(parent) {}

TFreeSpaceProbe::~TFreeSpaceProbe() {
  if (job_) job_->Cancel();
}

FreeSpaceState TFreeSpaceProbe::Read(const std::string &folder, int64_t &freeBytes,
                                     int64_t &sizeBytes) {
  if (folder != folder_) {
    // Another folder: its own figures (the old job's answer is not for it).
    if (job_) job_->Cancel();
    job_.reset();
    folder_ = folder;
    have_ = false;
  }
  const bool fresh = have_ && readAt_.isValid() && readAt_.elapsed() < 1000;
  if (!fresh && !job_) {
    auto result = std::make_shared<Figures>();
    job_ = AsyncRunner().Run(
        [folder, result](const TWorkerJob &) {
          result->ok = FsFreeSpace(folder, result->freeBytes, result->sizeBytes);
        },
        [this, result] {
          job_.reset();
          figures_ = *result;
          have_ = true;
          readAt_.start();
          emit changed();
        });
    if (!have_) {
      const TJobHandle job = job_;
      if (job->WaitFinished(std::chrono::milliseconds(WaitMs))) {
        QSignalBlocker quiet(this);  // the caller is painting these figures now
        TWorkerPool::Deliver(job);
      }
    }
  }
  if (!have_) return FreeSpaceState::Waiting;
  freeBytes = figures_.freeBytes;
  sizeBytes = figures_.sizeBytes;
  return figures_.ok ? FreeSpaceState::Have : FreeSpaceState::Failed;
}

}  // namespace trovix
