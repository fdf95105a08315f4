// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/copy_move_thread.h"

#include "browser/operation_state.h"
#include "foundation/file_system.h"

namespace trovix {

TCopyMoveThread::TCopyMoveThread(const OperationRequest &request)
    : Kind(request.Kind),
      Sources(request.Sources),
      Destinations(request.Destinations),
      Exclusions(request.Kind == okCopySpecial ? request.Exclusions : std::string()) {}

void TCopyMoveThread::Start(const std::vector<std::string> &sources, OperationKind kind,
                            const std::vector<std::string> &destinations,
                            const std::string &exclusions) {
  OperationRequest request;
  request.Kind = kind;
  request.Sources = sources;
  request.Destinations = destinations;
  request.Exclusions = exclusions;
  Start(request);
}

void TCopyMoveThread::Start(const OperationRequest &request) {
  auto *worker = new TCopyMoveThread(request);
  ++ActiveOperations;
  try {
    std::thread([worker] {
      worker->Execute();
      delete worker;
      Finish();
    }).detach();
  } catch (...) {
    delete worker;
    Finish();
  }
}

void TCopyMoveThread::Finish() {
  if (--ActiveOperations == 0) {
    SetOperationStatus("");
    OperationsDone = true;
  }
}

void TCopyMoveThread::Execute() {
  SetOperationExclusions(Exclusions);
  for (size_t i = 0; i < Sources.size() && !CancelRequested; ++i) {
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
          FolderCopy(source, destination, false);
        else
          FileCopy(source, destination, false);
        break;
      case okTest:
        SetOperationStatus("Testing " + source);
        if (folder)
          FolderCopy(source, std::string(), false);
        else
          FileCopy(source, std::string(), false);
        break;
      case okMove:
        if (!hasDestination || destination.empty()) break;
        SetOperationStatus("Moving " + source);
        if (folder)
          FolderMove(source, destination, false);
        else
          FileMove(source, destination, false);
        break;
      case okDelete:
        SetOperationStatus("Deleting " + source);
        ItemDelete(source, false);
        break;
      default: break;
    }
  }
  SetOperationExclusions(std::string());
  Sources.clear();
  Destinations.clear();
}

}  // namespace trovix
