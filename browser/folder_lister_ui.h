// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFolderLister: reads and sorts the current tab's folder on a worker, so a
// large folder or a hung mount never holds up the window. A listing that
// ends within a moment lands at once (no flicker for ordinary folders); a
// longer one lands later through the event loop, and meanwhile the status bar
// says "Listing ..." with the entries read so far, or after a few seconds
// that the folder does not answer. Starting another listing or cancelling
// drops the one running: its result is never installed.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "browser/file_list.h"
#include "browser/status_bar.h"
#include "foundation/worker_pool.h"

namespace trovix {

class TFolderLister : public QObject {
  Q_OBJECT
 public:
  explicit TFolderLister(QObject *parent = nullptr);
  ~TFolderLister() override;

  // How long Start waits for the worker before the listing lands later.
  int WaitMs = 20;
  // After this long a listing that has not answered says so.
  int NotRespondingMs = 3000;

  // A folder of at least this many entries first shows the first
  // PreviewCount in order, while the rest is read.
  size_t PreviewMin = 10000;
  size_t PreviewCount = 300;

  using Landed = std::function<void(TFolderListing &listing)>;
  // Lists folder in sortMode order; landed gets the result on this thread,
  // before Start returns (true) or later (false). Drops any listing running.
  // waitMs < 0 waits WaitMs. first, when given, gets the first screen of a
  // large folder ahead of the whole listing.
  bool Start(const std::string &folder, int32_t sortMode, Landed landed, int waitMs = -1,
             Landed first = nullptr);
  // Drops the listing running, if any (Esc, leaving the folder, closing).
  void Cancel();
  bool Pending() const { return job_ != nullptr; }
  const std::string &Folder() const { return folder_; }
  // Entries read so far by the listing running.
  int64_t Progress() const;
  bool NotResponding() const;
  // Panel 0's markup while a listing runs; empty otherwise.
  std::string StatusText() const;

 signals:
  // While a listing runs, now and then: the status text changed.
  void progressed();
  // A listing landed or was dropped.
  void finished();

 private:
  void Land(const std::shared_ptr<TFolderListing> &result, const Landed &landed);

  TJobHandle job_;
  std::string folder_;
  std::shared_ptr<std::atomic<int64_t>> read_;
  QElapsedTimer started_;
  QTimer tick_;
};

// The free space of the current folder's volume, read on a worker: figures
// younger than a second are used as they are; older ones are shown while new
// ones are read; a folder without figures waits a moment for them, then its
// volume shows "?" until it answers. A volume that never answers holds one
// worker, never the window.
class TFreeSpaceProbe : public QObject {
  Q_OBJECT
 public:
  explicit TFreeSpaceProbe(QObject *parent = nullptr);
  ~TFreeSpaceProbe() override;
  int WaitMs = 20;
  FreeSpaceState Read(const std::string &folder, int64_t &freeBytes, int64_t &sizeBytes);

 signals:
  // New figures arrived: repaint.
  void changed();

 private:
  struct Figures {
    bool ok = false;
    int64_t freeBytes = 0, sizeBytes = 0;
  };
  std::string folder_;  // what the figures and the job are for
  bool have_ = false;
  Figures figures_;
  QElapsedTimer readAt_;
  TJobHandle job_;
};

}  // namespace trovix
