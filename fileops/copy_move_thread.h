// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The worker that carries out one file operation request, so the windows
// stay usable while files are copied, moved, tested or deleted. Workers
// report only through the hand-over values of browser/operation_state.h
// (ActiveOperations, OperationsDone, CancelRequested and the status text),
// the IssueList and the event log; they never touch a window. Several may
// run at once.
#include <string>
#include <thread>
#include <vector>

#include "fileops/file_operations.h"

namespace trovix {

class TCopyMoveThread {
 public:
  // Counts the operation in ActiveOperations (on the calling thread, before
  // the worker can finish) and starts it. The worker frees itself when done;
  // callers keep nothing. A worker that cannot be started counts as one that
  // finished at once.
  static void Start(const OperationRequest &request);
  static void Start(const std::vector<std::string> &sources, OperationKind kind,
                    const std::vector<std::string> &destinations,
                    const std::string &exclusions = std::string());

  TCopyMoveThread(const TCopyMoveThread &) = delete;
  TCopyMoveThread &operator=(const TCopyMoveThread &) = delete;

 private:
  explicit TCopyMoveThread(const OperationRequest &request);
  ~TCopyMoveThread() = default;
  // The worker's body: each item in turn until the end or a cancel.
  void Execute();
  // Uncounts the operation; the last one clears the status and raises
  // OperationsDone.
  static void Finish();

  OperationKind Kind;
  std::vector<std::string> Sources;
  std::vector<std::string> Destinations;
  std::string Exclusions;
};

}  // namespace trovix
