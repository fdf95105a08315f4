// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/copy_move_thread.h"

#include <mutex>

#include "dialogs/event_log.h"

#include "browser/operation_state.h"
#include "dialogs/options.h"
#include "foundation/file_system.h"

namespace trovix {

namespace {

// The workers not yet joined. Started and joined on the user-interface
// thread; the lock only keeps tests that start workers elsewhere safe.
struct TWorkers {
  std::mutex lock;
  std::vector<std::unique_ptr<TCopyMoveThread>> list;
  // Joins every worker left at exit, so no thread outlives the program.
  ~TWorkers() { list.clear(); }
};

TWorkers &Workers() {
  static TWorkers workers;
  return workers;
}

}  // namespace

TCopyMoveThread::TCopyMoveThread(const OperationRequest &request,
                                 std::shared_ptr<TOperationContext> context)
    : Kind(request.Kind),
      Sources(request.Sources),
      Destinations(request.Destinations),
      Context(std::move(context)) {}

TCopyMoveThread::~TCopyMoveThread() {
  if (thread_.joinable()) thread_.join();
}

std::shared_ptr<TOperationContext> TCopyMoveThread::ContextFor(const OperationRequest &request) {
  auto context = std::make_shared<TOperationContext>();
  context->CheckSizeOnly = CheckSizeOnly;
  context->WarnOverwriteOlder = WarnOverwriteOlder;
  if (request.Kind == okCopySpecial) context->Exclusions = request.Exclusions;
  return context;
}

std::shared_ptr<TOperationContext> TCopyMoveThread::Start(
    const std::vector<std::string> &sources, OperationKind kind,
    const std::vector<std::string> &destinations, const std::string &exclusions) {
  OperationRequest request;
  request.Kind = kind;
  request.Sources = sources;
  request.Destinations = destinations;
  request.Exclusions = exclusions;
  return Start(request);
}

std::shared_ptr<TOperationContext> TCopyMoveThread::Start(
    const OperationRequest &request, std::shared_ptr<TOperationContext> context) {
  if (!context) context = ContextFor(request);
  std::unique_ptr<TCopyMoveThread> worker(new TCopyMoveThread(request, context));
  ++ActiveOperations;
  TCopyMoveThread *w = worker.get();
  try {
    w->thread_ = std::thread([w] {
      w->Execute();
      const bool cancelled = w->cancelled_;
      w->finished_ = true;  // before the count: whoever sees it at 0 may join
      Finish(cancelled);
    });
  } catch (...) {
    Finish(false);
    return context;
  }
  std::lock_guard guard(Workers().lock);
  Workers().list.push_back(std::move(worker));
  return context;
}

int32_t TCopyMoveThread::JoinFinished() {
  std::vector<std::unique_ptr<TCopyMoveThread>> done;
  {
    std::lock_guard guard(Workers().lock);
    auto &list = Workers().list;
    for (auto it = list.begin(); it != list.end();) {
      if ((*it)->finished_) {
        done.push_back(std::move(*it));
        it = list.erase(it);
      } else {
        ++it;
      }
    }
  }
  return static_cast<int32_t>(done.size());  // joined as they go
}

void TCopyMoveThread::JoinAll() {
  std::vector<std::unique_ptr<TCopyMoveThread>> all;
  {
    std::lock_guard guard(Workers().lock);
    all.swap(Workers().list);
  }
}

void TCopyMoveThread::Finish(bool cancelled) {
  if (--ActiveOperations == 0) {
    // A cancel stays visible until the next operation replaces the status.
    SetOperationStatus(cancelled || CancelRequested ? "Cancelled" : "");
    OperationsDone = true;
  }
}

void TCopyMoveThread::Execute() {
  TOperationContext &context = *Context;
  // The totals are counted beside the work, so counting never delays its
  // start; a cancel stops the count too.
  std::thread counter;
  if (Kind == okCopy || Kind == okCopySpecial || Kind == okMove || Kind == okTest) {
    try {
      counter = std::thread([this, &context] {
        CountSources(Sources, context.Exclusions, context, [&] { return context.Cancelled(); });
      });
    } catch (...) {
      // Without the count the figures simply show no totals.
    }
  }
  OperationProgressAdd(Context);
  RunItems();
  if (counter.joinable()) counter.join();
  OperationProgressRemove(Context.get());
  if (context.Cancelled()) {
    LogDetail("Cancelled");
    cancelled_ = true;
  }
  Sources.clear();
  Destinations.clear();
}

void TCopyMoveThread::RunItems() {
  TOperationContext &context = *Context;
  for (size_t i = 0; i < Sources.size() && !context.Cancelled(); ++i) {
    const std::string &source = Sources[i];
    const bool folder = !source.empty() && source.back() == PathDelim;
    // Copy and move need a destination; a missing one is not a test.
    const bool hasDestination = i < Destinations.size();
    const std::string destination = hasDestination ? Destinations[i] : std::string();
    switch (Kind) {
      case okCopy:
      case okCopySpecial:
        if (!hasDestination || destination.empty()) break;
        SetOperationStatus("Copying " + source);
        if (folder)
          FolderCopy(source, destination, false, context);
        else
          FileCopy(source, destination, false, context);
        break;
      case okTest:
        SetOperationStatus("Testing " + source);
        if (folder)
          FolderCopy(source, std::string(), false, context);
        else
          FileCopy(source, std::string(), false, context);
        break;
      case okMove:
        if (!hasDestination || destination.empty()) break;
        SetOperationStatus("Moving " + source);
        if (folder)
          FolderMove(source, destination, false, context);
        else
          FileMove(source, destination, false, context);
        break;
      case okDelete:
        SetOperationStatus("Deleting " + source);
        ItemDelete(source, false, context);
        break;
      default: break;
    }
  }
}

}  // namespace trovix
