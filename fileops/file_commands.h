// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's commands on the marked entries of the current tab, as
// plain rules over FileList (browser/file_list.h): the rename mode and the
// new names it gives, renaming on disk, the questions and requests of Delete
// and Duplicate, the duplicate's name, and New File. The windows, prompts and
// workers around them are in file_commands_ui.h.
//
// Every change on disk goes through file_system.h and never replaces an
// existing file: renames use FsMove, a new file is created exclusively.
#include <cstdint>
#include <string>
#include <vector>

#include "browser/file_list.h"

namespace trovix {

// ---- Rename -----------------------------------------------------------------------

// The rename modes, kept as the data of the two rename controls.
enum : int32_t {
  rmName = 0,        // "Rename": the typed name, the old extension added when it has none
  rmBaseNames = 1,   // "Rename File(s)": the typed base name, each old extension kept
  rmExtensions = 2,  // "Rename Extension(s)": each old base name, the typed extension
};

struct RenameModeState {
  int32_t Mode = rmName;
  bool Enabled = true;
};

// The mode for the marked entries of list: one or none marked, or all with the
// same base name and extension (ignoring case), gives rmName; the same base
// names rmBaseNames; else the same extensions rmExtensions; else rmName with
// both controls disabled.
RenameModeState RenameModeOf(const std::vector<FileEntry> &list);
// "Rename", "Rename File(s)" or "Rename Extension(s)" (also the prompt's title).
std::string RenameCaption(int32_t mode);
// The prompt's starting text for the current row's name.
std::string RenameDefaultText(int32_t mode, const std::string &current);
// The new name of oldName when typed was entered in mode.
std::string RenamedName(int32_t mode, const std::string &typed, const std::string &oldName);

// A name that stays inside its folder: not empty, not "." or "..", without a
// path delimiter or a NUL byte.
bool ValidItemName(const std::string &name);

struct RenameResult {
  bool Ok = true;
  std::string FailedName;  // the old name whose rename failed
  std::string Reason;      // why: "exists", "name contains /", the system's error text
  int32_t Renamed = 0;
  std::string SelectName;        // the last new name reached, to make current; may be empty
  std::vector<std::string> Log;  // folder + old + " renamed to " + new, per rename done
};
// Renames each of names inside folder, in order, on the disk alone (any
// thread). Stops at the first failure (a name that is not valid, or a name
// already taken: nothing is ever replaced); renames done before it stay.
RenameResult RenameNames(const std::vector<std::string> &names, const std::string &folder,
                         int32_t mode, const std::string &typed);
// The names of the marked entries of list, in list order.
std::vector<std::string> MarkedNames(const std::vector<FileEntry> &list);

// ---- Delete ---------------------------------------------------------------------

// "|b|4Delete " + the one marked name, or the count + " File(s) / Folder(s)",
// + "?"; empty when nothing is marked.
std::string DeleteQuestion(const std::vector<FileEntry> &list);
// "|b|4Delete Folder " + folder.
std::string DeleteFolderQuestion(const std::string &folder);

struct DeleteRequest {
  std::vector<std::string> Sources;  // folders end with PathDelim
  std::string NextName;              // to make current after the delete; may be empty
};
// The paths of the marked entries of list inside folder, in list order, and
// the entry to show afterwards: the first unmarked entry after the last
// marked file.
DeleteRequest BuildDeleteRequest(const std::string &folder, const std::vector<FileEntry> &list);

// ---- Duplicate ------------------------------------------------------------------

// One step of the duplicate's name: "_" before the first "." (report.doc gives
// report_.doc, .profile gives _.profile), or appended when there is none.
std::string DuplicateStep(const std::string &name);
// The first name from name by DuplicateStep that no file or folder of folder
// has and that is not among taken.
std::string DuplicateName(const std::string &folder, const std::string &name,
                          const std::vector<std::string> &taken = {});

struct DuplicateRequest {
  std::vector<std::string> Sources;
  std::vector<std::string> Destinations;
  std::string LastName;  // the last marked entry's new name
};
// Source and destination of each marked entry of list inside folder. Two
// entries never get the same new name, even when neither exists yet.
DuplicateRequest BuildDuplicateRequest(const std::string &folder,
                                       const std::vector<FileEntry> &list);

// ---- New File -------------------------------------------------------------------

// Why a name cannot be given to an item: "name contains /", "not a valid
// name" (empty, "." or ".."); empty when it can.
std::string ItemNameProblem(const std::string &name);
// The reason for a failed create or rename: "exists" for EEXIST, else the
// system's error text.
std::string FailureReason(int error);

// The files below the folders (links and other non-folders counted, links
// never followed), counted for at most milliseconds: " (holds N file(s))" or,
// when the time ran out, " (holds more than N files)"; empty with no folder.
std::string FolderFilesNote(const std::vector<std::string> &folders, int milliseconds);

// Creates the empty file folder + name. False, with nothing changed, when the
// name is not valid, a file, folder or link of that name exists, or creation
// fails; reason (when given) then says why.
bool CreateNewFile(const std::string &folder, const std::string &name,
                   std::string *reason = nullptr);

// The messages of the commands.
inline constexpr char msgRenameFailed[] = "|1|bERROR: Could not Rename file ";  // + old name
inline constexpr char msgCreateFailed[] = "|1|bERROR: Could not Create file";
inline constexpr char msgDuplicateQuestion[] = "|b|4Duplicate Selected File(s) / Folder(s)?";
inline constexpr char msgNewFilePrompt[] = "|b|4Name of New File";
inline constexpr char NewFileDefaultName[] = "NewFile.txt";
inline constexpr char NewFolderDefaultName[] = "NewFolder";

}  // namespace trovix
