// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/operation_state.h"

#include <algorithm>
#include <vector>

namespace trovix {

std::atomic<int32_t> ActiveOperations{0};
std::atomic<bool> OperationsDone{false};
std::atomic<bool> CancelRequested{false};

namespace {
std::mutex StatusLock;
std::string OperationStatus;

std::mutex ProgressLock;
std::vector<std::shared_ptr<const TOperationProgress>> Progresses;
}  // namespace

void OperationProgressAdd(std::shared_ptr<const TOperationProgress> progress) {
  std::lock_guard<std::mutex> guard(ProgressLock);
  Progresses.push_back(std::move(progress));
}

void OperationProgressRemove(const TOperationProgress *progress) {
  std::lock_guard<std::mutex> guard(ProgressLock);
  std::erase_if(Progresses, [progress](const auto &p) { return p.get() == progress; });
}

OperationProgressFigures OperationProgressNow() {
  OperationProgressFigures f;
  f.Counted = true;
  const auto now = std::chrono::steady_clock::now();
  std::lock_guard<std::mutex> guard(ProgressLock);
  for (const auto &p : Progresses) {
    ++f.Operations;
    // Totals first: a file counted as done is then never missing from them.
    const bool counted = p->Counted;
    const int64_t filesTotal = p->FilesTotal, bytesTotal = p->BytesTotal;
    const int64_t files = p->FilesDone + p->FilesPassed, bytes = p->BytesDone + p->BytesPassed;
    f.FilesTotal += counted ? filesTotal : std::max(filesTotal, files);
    f.BytesTotal += counted ? bytesTotal : std::max(bytesTotal, bytes);
    f.FilesDone += counted ? std::min(files, filesTotal) : files;
    f.BytesDone += counted ? std::min(bytes, bytesTotal) : bytes;
    f.Counted = f.Counted && counted;
    f.Seconds = std::max(f.Seconds, std::chrono::duration<double>(now - p->Started).count());
  }
  if (f.Operations == 0) f.Counted = false;
  return f;
}

void SetOperationStatus(const std::string &status) {
  std::lock_guard<std::mutex> guard(StatusLock);
  OperationStatus = status;
}

std::string GetOperationStatus() {
  std::lock_guard<std::mutex> guard(StatusLock);
  return OperationStatus;
}

}  // namespace trovix
