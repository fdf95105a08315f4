// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Starting file operations from the main window: the Copy-or-Move question
// and the request for the marked entries, handed to a worker.
// User-interface thread only.
#include <cstdint>
#include <string>

#include "browser/file_list.h"
#include "fileops/file_operations.h"

namespace trovix {

// What to do with sourceFolder's items on destinationFolder: nothing for the
// same folder or no source, Test for no destination, otherwise the user's
// answer to "Copy or Move?" (Copy, Move, Copy X; Cancel or closing: nothing).
// The question names what is copied or moved (count items, the first one's
// name) and the destination on a second line when count is above 0.
OperationKind AskCopyOrMove(const std::string &sourceFolder, const std::string &destinationFolder,
                            int64_t count = 0, const std::string &firstName = std::string());
// "|b|4Copy or Move?", then with count above 0 a plain second line:
// "NAME" or "N items, NAME first," and " to " the destination folder.
std::string CopyOrMoveQuestion(int64_t count, const std::string &firstName,
                               const std::string &destinationFolder);

// The request for the marked entries of list, in list order: a folder
// gives sourceFolder + name + PathDelim and destinationFolder + name +
// PathDelim, a file the same without the delimiter. For Test the
// destinations are empty; CopySpecial takes the Copy X option's text.
OperationRequest SelectionRequest(const std::vector<FileEntry> &list, OperationKind kind,
                                  const std::string &sourceFolder,
                                  const std::string &destinationFolder);

// The marked entries of the current tab onto destinationFolder: asks, starts
// an event-log entry ("Copy to /backup/") and a worker.
void StartOperation(const TFileListState &list, const std::string &destinationFolder);
// One folder onto another: asks and starts a worker (no log entry).
void StartFolderOperation(const std::string &sourceFolder, const std::string &destinationFolder);

}  // namespace trovix
