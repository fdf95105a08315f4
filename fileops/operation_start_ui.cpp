// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/operation_start_ui.h"

#include "browser/file_list.h"
#include "dialogs/event_log.h"
#include "dialogs/message_box.h"
#include "dialogs/options.h"
#include "fileops/copy_move_thread.h"
#include "foundation/file_system.h"

namespace trovix {

OperationKind AskCopyOrMove(const std::string &sourceFolder, const std::string &destinationFolder) {
  if (sourceFolder == destinationFolder || sourceFolder.empty()) return okNoOp;
  if (destinationFolder.empty()) return okTest;
  switch (DisplayMany(mbQuestion, "|b|4Copy or Move?", "Copy,Move,Copy X,Cancel")) {
    case 0: return okCopy;
    case 1: return okMove;
    case 2: return okCopySpecial;
    default: return okNoOp;
  }
}

OperationRequest SelectionRequest(const std::vector<FileEntry> &list, OperationKind kind,
                                  const std::string &sourceFolder,
                                  const std::string &destinationFolder) {
  OperationRequest request;
  request.Kind = kind;
  if (kind == okCopySpecial) request.Exclusions = CopyXExclusions;
  const bool test = kind == okTest || destinationFolder.empty();
  for (const FileEntry &entry : list) {
    if (!entry.Selected) continue;
    const std::string tail = (entry.Attributes & faDirectory) ? std::string(1, PathDelim) : "";
    request.Sources.push_back(sourceFolder + entry.Name + tail);
    request.Destinations.push_back(test ? std::string() : destinationFolder + entry.Name + tail);
  }
  return request;
}

void StartOperation(const TFileListState &list, const std::string &destinationFolder) {
  // The list holds the entries of the current tab's folder, as listed.
  const std::string sourceFolder = list.ListedFolder;
  OperationKind kind = AskCopyOrMove(sourceFolder, destinationFolder);
  if (kind == okNoOp) return;
  LogAdd(OperationKindName(kind) + " to " + destinationFolder);
  TCopyMoveThread::Start(SelectionRequest(list.FileList, kind, sourceFolder, destinationFolder));
}

void StartFolderOperation(const std::string &sourceFolder, const std::string &destinationFolder) {
  OperationKind kind = AskCopyOrMove(sourceFolder, destinationFolder);
  if (kind == okNoOp) return;
  TCopyMoveThread::Start({sourceFolder}, kind, {destinationFolder},
                         kind == okCopySpecial ? CopyXExclusions : std::string());
}

}  // namespace trovix
