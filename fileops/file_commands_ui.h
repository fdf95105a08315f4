// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file commands of a browsing window: Rename, Delete, Duplicate, New
// File, New Folder and Test Read on the marked entries of the current tab or
// on the folder selected in the tree. The rules are in file_commands.h; here
// are the prompts, the questions, the event-log entries and the workers.
//
// The window creates one TFileCommands with its controls and runs
// UpdateRenameMode after every listing and every change of the marks.
//
// What a command does on the disk (rename, new file, the duplicate's names,
// trash, a paste's sources, the count of a delete question) runs on the
// worker pool, so a slow or hung folder never holds the window: a command
// that answers at once lands at once; a slow one lands when it ends, and one
// that does not answer for a while says so in StatusText.
#include <QObject>
#include <string>
#include <vector>

class QAction;

namespace trovix {

class TBrowserHost;
class TCommandRunner;

// The window's controls that fire the commands.
struct TFileCommandControls {
  QAction *bRename, *mRename, *mTreeRename;
  QAction *bDelete, *mDelete, *mTreeDelete;
  QAction *bDuplicate, *mDuplicate;
  QAction *bNewFile, *mNewFile;
  QAction *bNewFolder, *mNewFolder;
  QAction *mTestRead;
  QAction *mTrash, *mTreeTrash;
};

class TFileCommands : public QObject {
 public:
  // Connects the commands to the controls and to keys of the host's widgets
  // (Del on the tree, Ctrl+R on the grid); lives as long as the host window.
  TFileCommands(TBrowserHost &host, const TFileCommandControls &controls);

  // Recomputes the rename mode from the marks: caption, hint, mode (the
  // controls' data) and enabled state of bRename and mRename.
  void UpdateRenameMode();

  // The handlers. sender is the control that fired the command: the tree's
  // menu entries and the tree itself act on the tree's folder, the grid and
  // its menu on the marked entries; a tool bar button acts on the tree while
  // the tree has the keyboard focus.
  void bRenameClick(QObject *sender);
  void bDeleteClick(QObject *sender);
  void bDuplicateClick();
  void bNewFileClick();
  void bNewFolderClick();
  void mTestReadClick();
  // Moves the marked entries (else the current one), or the tree's folder,
  // to the trash (trash.h); an event-log entry "Move to Trash" with a line
  // per item, and a message naming what failed and why.
  void mTrashClick(QObject *sender);

  // The file clipboard (Ctrl+C, Ctrl+X, Ctrl+V on the grid and the tree):
  // puts the marked entries (else the current one), or the tree's folder, on
  // the clipboard as copied or cut files in the formats other file managers
  // use; pastes such files into the current folder, or the tree's, through
  // a copy or move worker, so conflicts become issues. A paste of cut files
  // empties the clipboard.
  void ClipboardCopy(QObject *sender, bool cut);
  void ClipboardPaste(QObject *sender);

  // The commands running on the workers.
  TCommandRunner &Runner() { return *runner_; }
  // Panel 0's markup while a command has not answered for a while
  // ("|b|1Not responding: " + the folder or file); empty otherwise.
  std::string StatusText() const;
  // How long a delete question waits for the count of the files it names.
  int CountWaitMs = 50;

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

 private:
  bool ForTree(QObject *sender) const;
  std::string FilesNote(const std::vector<std::string> &folders) const;
  // The marked entries' paths (else the current entry's), or the tree's
  // folder (never a volume), without a trailing delimiter.
  std::vector<std::string> ChosenPaths(QObject *sender) const;

  // Lists the current tab again after a command that changed folder, unless
  // the tab has gone elsewhere meanwhile; select then names the entry to show.
  void ListAgainIn(const std::string &folder, const std::string &select);

  TBrowserHost &host_;
  TFileCommandControls c_;
  TCommandRunner *runner_;
  const QObject *tree_, *grid_;
};

}  // namespace trovix
