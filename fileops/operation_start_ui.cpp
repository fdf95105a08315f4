// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/operation_start_ui.h"

#include "browser/file_list.h"
#include "dialogs/event_log.h"
#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "dialogs/options.h"
#include "fileops/copy_move_thread.h"
#include "foundation/file_system.h"
#include "foundation/strings.h"

namespace trovix {

std::string CopyOrMoveQuestion(int64_t count, const std::string &firstName,
                               const std::string &destinationFolder) {
  std::string question = "|b|4Copy or Move?";
  if (count <= 0) return question;
  const std::string name = "\"" + MarkupEscape(firstName) + "\"";
  question +=
      "|n|b|0" + (count == 1 ? name : NumToStrCommas(count) + " items, " + name + " first,");
  return question + " to " + MarkupEscape(destinationFolder);
}

OperationKind AskCopyOrMove(const std::string &sourceFolder, const std::string &destinationFolder,
                            int64_t count, const std::string &firstName) {
  if (sourceFolder == destinationFolder || sourceFolder.empty()) return okNoOp;
  if (destinationFolder.empty()) return okTest;
  switch (DisplayMany(mbQuestion, CopyOrMoveQuestion(count, firstName, destinationFolder),
                      "Copy,Move,Copy X,Cancel")) {
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
  int64_t count = 0;
  std::string first;
  for (const FileEntry &entry : list.FileList) {
    if (!entry.Selected) continue;
    if (count++ == 0) first = entry.Name;
  }
  OperationKind kind = AskCopyOrMove(sourceFolder, destinationFolder, count, first);
  if (kind == okNoOp) return;
  LogAdd(OperationKindName(kind) + " to " + destinationFolder);
  TCopyMoveThread::Start(SelectionRequest(list.FileList, kind, sourceFolder, destinationFolder));
}

void StartFolderOperation(const std::string &sourceFolder, const std::string &destinationFolder) {
  std::string name = sourceFolder;
  while (name.size() > 1 && name.back() == PathDelim) name.pop_back();
  name.erase(0, name.rfind(PathDelim) + 1);
  OperationKind kind = AskCopyOrMove(sourceFolder, destinationFolder, 1, name);
  if (kind == okNoOp) return;
  TCopyMoveThread::Start({sourceFolder}, kind, {destinationFolder},
                         kind == okCopySpecial ? CopyXExclusions : std::string());
}

}  // namespace trovix
