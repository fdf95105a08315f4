// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The worker that carries out one file operation request, so the windows
// stay usable while files are copied, moved, tested or deleted. Each worker
// has its own operation context (options, cancel flag, progress) and a
// joinable thread; the workers are kept here until the user-interface thread
// joins them after they end. Workers report only through the hand-over
// values of browser/operation_state.h (ActiveOperations, OperationsDone,
// CancelRequested and the status text), the IssueList and the event log;
// they never touch a window. Several may run at once.
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fileops/file_operations.h"

namespace trovix {

class TCopyMoveThread {
 public:
  // Counts the operation in ActiveOperations (on the calling thread, before
  // the worker can finish) and starts it with context (by default one with
  // the options of the moment: CheckSizeOnly, WarnOverwriteOlder, and for
  // CopySpecial the request's exclusions). Returns the context, through
  // which the caller may cancel this operation alone or watch its progress.
  // A worker that cannot be started counts as one that finished at once.
  static std::shared_ptr<TOperationContext> Start(
      const OperationRequest &request, std::shared_ptr<TOperationContext> context = nullptr);
  static std::shared_ptr<TOperationContext> Start(const std::vector<std::string> &sources,
                                                  OperationKind kind,
                                                  const std::vector<std::string> &destinations,
                                                  const std::string &exclusions = std::string());

  // A context with the current options (dialogs/options.h) for request.
  static std::shared_ptr<TOperationContext> ContextFor(const OperationRequest &request);

  // Joins the workers that have ended; returns how many. The main window's
  // timer calls it; JoinAll waits for every worker (at exit, in tests).
  static int32_t JoinFinished();
  static void JoinAll();

  TCopyMoveThread(const TCopyMoveThread &) = delete;
  TCopyMoveThread &operator=(const TCopyMoveThread &) = delete;
  ~TCopyMoveThread();

 private:
  TCopyMoveThread(const OperationRequest &request, std::shared_ptr<TOperationContext> context);
  // The worker's body: counts the totals beside the work, registers the
  // progress and runs the items; a cancel is logged ("Cancelled").
  void Execute();
  // Each item in turn until the end or a cancel.
  void RunItems();
  // Uncounts the operation; the last one sets the status ("Cancelled" when
  // any ended by a cancel, else empty) and raises OperationsDone.
  static void Finish(bool cancelled);

  OperationKind Kind;
  std::vector<std::string> Sources;
  std::vector<std::string> Destinations;
  std::shared_ptr<TOperationContext> Context;
  std::thread thread_;
  std::atomic<bool> finished_{false};
  bool cancelled_ = false;  // written and read on the worker's thread
};

}  // namespace trovix
