// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The values through which file-operation workers report to the main window.
// Workers change them; the main window's one-second timer reads them.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace trovix {

extern std::atomic<int32_t> ActiveOperations;  // operations running now
extern std::atomic<bool> OperationsDone;       // raised when the last one ends
extern std::atomic<bool> CancelRequested;      // raised by the status bar's cancel square

// The status text, replaced by workers and copied by the timer under one lock.
void SetOperationStatus(const std::string &status);
std::string GetOperationStatus();

// One running operation's progress, readable from any thread. The worker
// counts what it did; totals come from a count of the sources that runs
// beside it (Counted once it has seen everything).
struct TOperationProgress {
  std::atomic<int64_t> FilesDone{0};    // files copied, moved, tested or deleted
  std::atomic<int64_t> BytesDone{0};    // bytes written or read
  std::atomic<int64_t> FilesPassed{0};  // files left as they were (up to date, issues)
  std::atomic<int64_t> BytesPassed{0};
  std::atomic<int64_t> FilesTotal{0};
  std::atomic<int64_t> BytesTotal{0};
  std::atomic<bool> Counted{false};
  std::chrono::steady_clock::time_point Started = std::chrono::steady_clock::now();
};

// The running operations' progress together, for the status bar.
struct OperationProgressFigures {
  int32_t Operations = 0;  // how many report progress
  int64_t FilesDone = 0;   // done or passed
  int64_t FilesTotal = 0;
  int64_t BytesDone = 0;
  int64_t BytesTotal = 0;
  bool Counted = false;  // every total is complete
  double Seconds = 0;    // since the oldest one started
};

// Workers register their progress while they run.
void OperationProgressAdd(std::shared_ptr<const TOperationProgress> progress);
void OperationProgressRemove(const TOperationProgress *progress);
OperationProgressFigures OperationProgressNow();

}  // namespace trovix
