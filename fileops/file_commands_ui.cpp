// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/file_commands_ui.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTreeWidgetItem>

#include "browser/browser_host.h"
#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_tree_ui.h"
#include "dialogs/event_log.h"
#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "fileops/copy_move_thread.h"
#include "fileops/file_commands.h"
#include "fileops/file_operations.h"
#include "fileops/operation_start_ui.h"

namespace trovix {

TFileCommands::TFileCommands(TBrowserHost &host, const TFileCommandControls &controls)
    : QObject(host.HostWindow()),
      host_(host),
      c_(controls),
      tree_(host.Tree()),
      grid_(host.Grid()) {
  connect(c_.bRename, &QAction::triggered, this, [this] { bRenameClick(c_.bRename); });
  connect(c_.mRename, &QAction::triggered, this, [this] { bRenameClick(c_.mRename); });
  connect(c_.mTreeRename, &QAction::triggered, this, [this] { bRenameClick(c_.mTreeRename); });
  connect(c_.bDelete, &QAction::triggered, this, [this] { bDeleteClick(c_.bDelete); });
  connect(c_.mDelete, &QAction::triggered, this, [this] { bDeleteClick(c_.mDelete); });
  connect(c_.mTreeDelete, &QAction::triggered, this, [this] { bDeleteClick(c_.mTreeDelete); });
  connect(host.Grid(), &TFileGrid::deleteRequested, this, [this] { bDeleteClick(host_.Grid()); });
  for (QAction *a : {c_.bDuplicate, c_.mDuplicate})
    connect(a, &QAction::triggered, this, [this] { bDuplicateClick(); });
  for (QAction *a : {c_.bNewFile, c_.mNewFile})
    connect(a, &QAction::triggered, this, [this] { bNewFileClick(); });
  for (QAction *a : {c_.bNewFolder, c_.mNewFolder})
    connect(a, &QAction::triggered, this, [this] { bNewFolderClick(); });
  connect(c_.mTestRead, &QAction::triggered, this, [this] { mTestReadClick(); });
  host.Tree()->installEventFilter(this);
  host.Grid()->installEventFilter(this);
}

// Del on the tree and Ctrl+R on the grid; the grid reports Del itself. The
// watched objects are told apart by their addresses alone: while the window
// is being destroyed it must not be asked for its widgets.
bool TFileCommands::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto *key = static_cast<QKeyEvent *>(event);
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  if (watched == tree_ && key->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
    bDeleteClick(host_.Tree());
    return true;
  }
  if (watched == grid_ && key->key() == Qt::Key_R && mods == Qt::ControlModifier) {
    if (c_.mRename->isEnabled()) bRenameClick(c_.mRename);
    return true;
  }
  return false;
}

// True when the command acts on the tree's folder rather than on the marks.
bool TFileCommands::ForTree(QObject *sender) const {
  TFolderTree *tree = host_.Tree();
  if (sender == c_.mTreeRename || sender == c_.mTreeDelete || sender == tree) return true;
  if (sender == host_.Grid() || sender == c_.mRename || sender == c_.mDelete) return false;
  QWidget *focus = QApplication::focusWidget();
  return focus && (focus == tree || tree->isAncestorOf(focus));
}

void TFileCommands::UpdateRenameMode() {
  const RenameModeState state = RenameModeOf(host_.ListState().FileList);
  const QString caption = DisplayText(RenameCaption(state.Mode));
  for (QAction *control : {c_.bRename, c_.mRename}) {
    control->setData(state.Mode);
    control->setText(caption);
    control->setEnabled(state.Enabled);
  }
  c_.bRename->setToolTip(caption);
}

void TFileCommands::bRenameClick(QObject *sender) {
  LogAdd("Rename");
  if (ForTree(sender)) {
    host_.Tree()->StartRename();
    return;
  }
  const std::string folder = host_.CurrentFolder();
  if (folder.empty()) return;
  const FileEntry *entry = host_.Grid()->CurrentEntry();
  const std::string current = entry ? entry->Name : std::string();
  const int32_t promptMode = c_.bRename->data().toInt();
  std::string typed = RenameDefaultText(promptMode, current);
  // The caption never holds "&" here, so it is the title as it stands.
  if (!EditString("|b" + RenameCaption(promptMode), typed)) return;
  // An empty name would turn every marked entry into a bare extension.
  if (typed.empty()) return;
  auto *action = qobject_cast<QAction *>(sender);
  const int32_t mode = action ? action->data().toInt() : promptMode;
  const RenameResult result = RenameMarked(host_.ListState(), folder, mode, typed);
  if (!result.Ok) DisplayError(msgRenameFailed + MarkupEscape(result.FailedName));
  host_.ListAgain();
}

void TFileCommands::bDeleteClick(QObject *sender) {
  if (ForTree(sender)) {
    TFolderTree *tree = host_.Tree();
    QTreeWidgetItem *node = tree->currentItem();
    // A volume (a top-level node) is never deleted as a whole.
    if (!node || !node->parent()) return;
    const std::string folder = tree->SelectedFolderRead();
    if (folder.empty() || !DisplayYesNo(DeleteFolderQuestion(folder))) return;
    LogAdd("Delete Folder");
    TCopyMoveThread::Start({folder}, okDelete, {});
    return;
  }
  TFileListState &list = host_.ListState();
  const std::string folder = host_.CurrentFolder();
  const std::string question = DeleteQuestion(list.FileList);
  if (folder.empty() || question.empty() || !DisplayYesNo(question)) return;
  LogAdd("Delete Item(s)");
  const DeleteRequest request = BuildDeleteRequest(folder, list.FileList);
  if (!request.NextName.empty()) list.PendingSelectName = request.NextName;
  TCopyMoveThread::Start(request.Sources, okDelete, {});
}

void TFileCommands::bDuplicateClick() {
  const std::string folder = host_.CurrentFolder();
  if (folder.empty() || !DisplayYesNo(msgDuplicateQuestion)) return;
  LogAdd("Duplicate");
  TFileListState &list = host_.ListState();
  const DuplicateRequest request = BuildDuplicateRequest(folder, list.FileList);
  if (!request.LastName.empty()) list.PendingSelectName = request.LastName;
  TCopyMoveThread::Start(request.Sources, okCopy, request.Destinations);
}

void TFileCommands::bNewFileClick() {
  const std::string folder = host_.CurrentFolder();
  if (folder.empty()) return;
  std::string name = NewFileDefaultName;
  if (!EditString(msgNewFilePrompt, name) || name.empty()) return;
  if (!CreateNewFile(folder, name)) {
    DisplayError(msgCreateFailed);
    return;
  }
  host_.ListState().PendingSelectName = name;
  host_.ListAgain();
}

void TFileCommands::bNewFolderClick() { host_.Tree()->FolderAdd(NewFolderDefaultName); }

void TFileCommands::mTestReadClick() {
  LogAdd("Test");
  StartOperation(host_.ListState(), std::string());
}

}  // namespace trovix
