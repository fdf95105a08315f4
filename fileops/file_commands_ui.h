// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's file commands: Rename, Delete, Duplicate, New File, New
// Folder and Test Read on the marked entries of the current tab or on the
// folder selected in the tree. The rules are in file_commands.h; here are the
// prompts, the questions, the event-log entries and the workers.
//
// The main window attaches them with InstallFileCommands when it is built and
// runs UpdateRenameMode after every listing and every change of the marks.
#include <QObject>

class QAction;

namespace trovix {

class TMainForm;

// Connects the commands to form's tool bar buttons, item and tree menu
// entries and keys (Del on the tree, Ctrl+R on the grid). The rename
// controls are enabled by UpdateRenameMode.
void InstallFileCommands(TMainForm &form);

// Recomputes the rename mode from the marks: caption, hint, mode (the
// controls' data) and enabled state of bRename and mRename.
void UpdateRenameMode(TMainForm &form);

// The handlers. sender is the control that fired the command: the tree's
// menu entries and the tree itself act on the tree's folder, the grid and its
// menu on the marked entries; a tool bar button acts on the tree while the
// tree has the keyboard focus.
void bRenameClick(TMainForm &form, QObject *sender);
void bDeleteClick(TMainForm &form, QObject *sender);
void bDuplicateClick(TMainForm &form);
void bNewFileClick(TMainForm &form);
void bNewFolderClick(TMainForm &form);
void mTestReadClick(TMainForm &form);

}  // namespace trovix
