// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/operation_state.h"

namespace trovix {

std::atomic<int32_t> ActiveOperations{0};
std::atomic<bool> OperationsDone{false};
std::atomic<bool> CancelRequested{false};

namespace {
std::mutex StatusLock;
std::string OperationStatus;
}  // namespace

void SetOperationStatus(const std::string &status) {
  std::lock_guard<std::mutex> guard(StatusLock);
  OperationStatus = status;
}

std::string GetOperationStatus() {
  std::lock_guard<std::mutex> guard(StatusLock);
  return OperationStatus;
}

}  // namespace trovix
