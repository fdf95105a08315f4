// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/file_commands.h"

#include <cerrno>
#include <chrono>
#include <memory>

#include "dialogs/event_log.h"
#include "dialogs/markup.h"
#include "foundation/file_system.h"
#include "foundation/string_arrays.h"
#include "foundation/strings.h"

namespace trovix {

// ---- Rename -----------------------------------------------------------------------

RenameModeState RenameModeOf(const std::vector<FileEntry> &list) {
  bool sameBase = true, sameExt = true;
  std::string lastBase, lastExt;
  for (const FileEntry &entry : list) {
    if (!entry.Selected) continue;
    std::string base = ExtractFileNameNoExt(entry.Name);
    std::string ext = FileExtension(entry.Name);
    if (!lastBase.empty() && !StrSame(lastBase, base)) sameBase = false;
    if (!lastExt.empty() && !StrSame(lastExt, ext)) sameExt = false;
    lastBase = base;
    lastExt = ext;
  }
  RenameModeState state;
  if (sameBase && sameExt) return state;
  if (sameBase)
    state.Mode = rmBaseNames;
  else if (sameExt)
    state.Mode = rmExtensions;
  else
    state.Enabled = false;
  return state;
}

std::string RenameCaption(int32_t mode) {
  switch (mode) {
    case rmBaseNames: return "Rename File(s)";
    case rmExtensions: return "Rename Extension(s)";
    default: return "Rename";
  }
}

std::string RenameDefaultText(int32_t mode, const std::string &current) {
  switch (mode) {
    case rmBaseNames: return ExtractFileNameNoExt(current);
    case rmExtensions: return ExtractFileExtNoDot(current);
    default: return current;
  }
}

std::string RenamedName(int32_t mode, const std::string &typed, const std::string &oldName) {
  switch (mode) {
    case rmBaseNames: return typed + FileExtension(oldName);
    case rmExtensions: return ExtractFileNameNoExt(oldName) + "." + typed;
    default: return AddExtension(typed, FileExtension(oldName));
  }
}

bool ValidItemName(const std::string &name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find(PathDelim) == std::string::npos && name.find('\0') == std::string::npos;
}

RenameResult RenameNames(const std::vector<std::string> &names, const std::string &folder,
                         int32_t mode, const std::string &typed) {
  RenameResult result;
  if (typed.empty() || folder.empty()) return result;
  for (const std::string &oldName : names) {
    const std::string newName = RenamedName(mode, typed, oldName);
    if (newName == oldName) {  // nothing to do for this one
      result.SelectName = newName;
      continue;
    }
    result.Reason = ItemNameProblem(newName);
    if (result.Reason.empty() && !FsMove(folder + oldName, folder + newName))
      result.Reason = FailureReason(FsLastError());
    if (!result.Reason.empty()) {
      result.Ok = false;
      result.FailedName = oldName;
      return result;
    }
    ++result.Renamed;
    result.SelectName = newName;
    result.Log.push_back(folder + oldName + " renamed to " + newName);
  }
  return result;
}

std::vector<std::string> MarkedNames(const std::vector<FileEntry> &list) {
  std::vector<std::string> names;
  for (const FileEntry &entry : list)
    if (entry.Selected) names.push_back(entry.Name);
  return names;
}

// ---- Delete ---------------------------------------------------------------------

std::string DeleteQuestion(const std::vector<FileEntry> &list) {
  int32_t count = 0;
  std::string last;
  for (const FileEntry &entry : list) {
    if (!entry.Selected) continue;
    ++count;
    last = entry.Name;
  }
  if (count == 0) return std::string();
  std::string text = count > 1 ? NumToStr(count) + " File(s) / Folder(s)" : MarkupEscape(last);
  return "|b|4Delete " + text + "?";
}

std::string DeleteFolderQuestion(const std::string &folder) {
  return "|b|4Delete Folder " + MarkupEscape(folder);
}

DeleteRequest BuildDeleteRequest(const std::string &folder, const std::vector<FileEntry> &list) {
  DeleteRequest request;
  size_t lastFile = list.size();
  for (size_t i = 0; i < list.size(); ++i) {
    const FileEntry &entry = list[i];
    if (!entry.Selected) continue;
    if (entry.Attributes & faDirectory) {
      request.Sources.push_back(folder + entry.Name + PathDelim);
    } else {
      request.Sources.push_back(folder + entry.Name);
      lastFile = i;
    }
  }
  // The entry to show afterwards is one that survives the delete.
  for (size_t i = lastFile + 1; i < list.size(); ++i) {
    if (!list[i].Selected) {
      request.NextName = list[i].Name;
      break;
    }
  }
  return request;
}

// ---- Duplicate ------------------------------------------------------------------

std::string DuplicateStep(const std::string &name) {
  const size_t dot = name.find('.');
  if (dot == std::string::npos) return name + "_";
  return name.substr(0, dot) + "_" + name.substr(dot);
}

std::string DuplicateName(const std::string &folder, const std::string &name,
                          const std::vector<std::string> &taken) {
  auto isTaken = [&](const std::string &candidate) {
    if (FsExists(folder + candidate)) return true;
    for (const std::string &t : taken)
      if (t == candidate) return true;
    return false;
  };
  std::string candidate = name;
  do {
    candidate = DuplicateStep(candidate);
  } while (isTaken(candidate));
  return candidate;
}

DuplicateRequest BuildDuplicateRequest(const std::string &folder,
                                       const std::vector<FileEntry> &list) {
  DuplicateRequest request;
  std::vector<std::string> taken;
  for (const FileEntry &entry : list) {
    if (!entry.Selected) continue;
    std::string newName = DuplicateName(folder, entry.Name, taken);
    taken.push_back(newName);
    request.LastName = newName;
    if (entry.Attributes & faDirectory) {
      request.Sources.push_back(folder + entry.Name + PathDelim);
      request.Destinations.push_back(folder + newName + PathDelim);
    } else {
      request.Sources.push_back(folder + entry.Name);
      request.Destinations.push_back(folder + newName);
    }
  }
  return request;
}

// ---- New File -------------------------------------------------------------------

std::string ItemNameProblem(const std::string &name) {
  if (name.find(PathDelim) != std::string::npos) return "name contains /";
  if (!ValidItemName(name)) return "not a valid name";
  return std::string();
}

std::string FailureReason(int error) { return error == EEXIST ? "exists" : FsErrorText(error); }

std::string FolderFilesNote(const std::vector<std::string> &folders, int milliseconds) {
  if (folders.empty()) return std::string();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  int64_t files = 0;
  bool complete = true;
  for (const std::string &folder : folders) {
    std::vector<std::unique_ptr<FsFolderReader>> open;
    open.push_back(std::make_unique<FsFolderReader>());
    if (!open.back()->OpenWalk(folder)) continue;
    while (!open.empty() && complete) {
      FsEntry entry;
      if (!open.back()->Next(entry)) {
        open.pop_back();
      } else if ((entry.attr & faDirectory) && !(entry.attr & faReparsePoint)) {
        auto sub = std::make_unique<FsFolderReader>();
        if (sub->OpenSub(*open.back(), entry)) open.push_back(std::move(sub));
      } else {
        ++files;
      }
      // The clock is asked every 256 entries only.
      if (files > 0 && (files & 255) == 0 && std::chrono::steady_clock::now() > deadline)
        complete = false;
    }
    if (!complete) break;
  }
  if (!complete) return " (holds more than " + NumToStrCommas(files) + " files)";
  return " (holds " + NumToStrCommas(files) + (files == 1 ? " file)" : " files)");
}

bool CreateNewFile(const std::string &folder, const std::string &name, std::string *reason) {
  auto fail = [reason](const std::string &why) {
    if (reason) *reason = why;
    return false;
  };
  if (folder.empty()) return fail("no folder");
  if (!ItemNameProblem(name).empty()) return fail(ItemNameProblem(name));
  const std::string path = folder + name;
  if (FsExists(path)) return fail("exists");
  // Exclusive: a file that appeared meanwhile is never emptied.
  int handle = FsCreate(path, true);
  if (handle == FsInvalidHandle) return fail(FailureReason(FsLastError()));
  FsClose(handle);
  return true;
}

}  // namespace trovix
