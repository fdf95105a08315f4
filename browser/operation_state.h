// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The values through which file-operation workers report to the main window.
// Workers change them; the main window's one-second timer reads them.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace trovix {

extern std::atomic<int32_t> ActiveOperations;  // operations running now
extern std::atomic<bool> OperationsDone;       // raised when the last one ends
extern std::atomic<bool> CancelRequested;      // raised by the status bar's cancel square

// The status text, replaced by workers and copied by the timer under one lock.
void SetOperationStatus(const std::string &status);
std::string GetOperationStatus();

}  // namespace trovix
