// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/file_commands_ui.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTreeWidgetItem>

#include "browser/browse_tabs_ui.h"
#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_tree_ui.h"
#include "browser/main_window.h"
#include "dialogs/event_log.h"
#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "fileops/copy_move_thread.h"
#include "fileops/file_commands.h"
#include "fileops/file_operations.h"
#include "fileops/operation_start_ui.h"

namespace trovix {

namespace {

// The current tab's folder; empty when the tab has none.
std::string TabFolder(TMainForm &form) {
  const int index = form.TCTrovix->currentIndex();
  if (index < 0 || index >= static_cast<int>(TabStates.size())) return std::string();
  return TabStates[static_cast<size_t>(index)].Folder;
}

// Lists the current tab again, reading its folder afresh.
void RefreshList(TMainForm &form) {
  ListedFolder.clear();
  form.TCTrovixFill(form.TCTrovix->currentIndex());
}

// True when the command acts on the tree's folder rather than on the marks.
bool ForTree(TMainForm &form, QObject *sender) {
  if (sender == form.mTreeRename || sender == form.mTreeDelete || sender == form.FolderTree)
    return true;
  if (sender == form.GFileInfo || sender == form.mRename || sender == form.mDelete) return false;
  QWidget *focus = QApplication::focusWidget();
  return focus && (focus == form.FolderTree || form.FolderTree->isAncestorOf(focus));
}

// Del on the tree and Ctrl+R on the grid; the grid reports Del itself.
class TCommandKeys : public QObject {
 public:
  explicit TCommandKeys(TMainForm &form)
      : QObject(&form), form_(form), tree_(form.FolderTree), grid_(form.GFileInfo) {}

 protected:
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (watched == tree_ && key->key() == Qt::Key_Delete && mods == Qt::NoModifier) {
      bDeleteClick(form_, form_.FolderTree);
      return true;
    }
    if (watched == grid_ && key->key() == Qt::Key_R && mods == Qt::ControlModifier) {
      if (form_.mRename->isEnabled()) bRenameClick(form_, form_.mRename);
      return true;
    }
    return false;
  }

 private:
  TMainForm &form_;
  const QObject *tree_, *grid_;
};

}  // namespace

void UpdateRenameMode(TMainForm &form) {
  const RenameModeState state = RenameModeOf(FileList);
  const QString caption = DisplayText(RenameCaption(state.Mode));
  for (QAction *control : {form.bRename, form.mRename}) {
    control->setData(state.Mode);
    control->setText(caption);
    control->setEnabled(state.Enabled);
  }
  form.bRename->setToolTip(caption);
}

void bRenameClick(TMainForm &form, QObject *sender) {
  LogAdd("Rename");
  if (ForTree(form, sender)) {
    form.FolderTree->StartRename();
    return;
  }
  const std::string folder = TabFolder(form);
  if (folder.empty()) return;
  const FileEntry *entry = form.GFileInfo->CurrentEntry();
  const std::string current = entry ? entry->Name : std::string();
  const int32_t promptMode = form.bRename->data().toInt();
  std::string typed = RenameDefaultText(promptMode, current);
  // The caption never holds "&" here, so it is the title as it stands.
  if (!EditString("|b" + RenameCaption(promptMode), typed)) return;
  // An empty name would turn every marked entry into a bare extension.
  if (typed.empty()) return;
  auto *action = qobject_cast<QAction *>(sender);
  const int32_t mode = action ? action->data().toInt() : promptMode;
  const RenameResult result = RenameMarked(folder, mode, typed);
  if (!result.Ok) DisplayError(msgRenameFailed + MarkupEscape(result.FailedName));
  RefreshList(form);
}

void bDeleteClick(TMainForm &form, QObject *sender) {
  if (ForTree(form, sender)) {
    QTreeWidgetItem *node = form.FolderTree->currentItem();
    // A volume (a top-level node) is never deleted as a whole.
    if (!node || !node->parent()) return;
    const std::string folder = form.FolderTree->SelectedFolderRead();
    if (folder.empty() || !DisplayYesNo(DeleteFolderQuestion(folder))) return;
    LogAdd("Delete Folder");
    TCopyMoveThread::Start({folder}, okDelete, {});
    return;
  }
  const std::string folder = TabFolder(form);
  const std::string question = DeleteQuestion(FileList);
  if (folder.empty() || question.empty() || !DisplayYesNo(question)) return;
  LogAdd("Delete Item(s)");
  const DeleteRequest request = BuildDeleteRequest(folder, FileList);
  if (!request.NextName.empty()) PendingSelectName = request.NextName;
  TCopyMoveThread::Start(request.Sources, okDelete, {});
}

void bDuplicateClick(TMainForm &form) {
  const std::string folder = TabFolder(form);
  if (folder.empty() || !DisplayYesNo(msgDuplicateQuestion)) return;
  LogAdd("Duplicate");
  const DuplicateRequest request = BuildDuplicateRequest(folder, FileList);
  if (!request.LastName.empty()) PendingSelectName = request.LastName;
  TCopyMoveThread::Start(request.Sources, okCopy, request.Destinations);
}

void bNewFileClick(TMainForm &form) {
  const std::string folder = TabFolder(form);
  if (folder.empty()) return;
  std::string name = NewFileDefaultName;
  if (!EditString(msgNewFilePrompt, name) || name.empty()) return;
  if (!CreateNewFile(folder, name)) {
    DisplayError(msgCreateFailed);
    return;
  }
  PendingSelectName = name;
  RefreshList(form);
}

void bNewFolderClick(TMainForm &form) { form.FolderTree->FolderAdd(NewFolderDefaultName); }

void mTestReadClick(TMainForm &) {
  LogAdd("Test");
  StartOperation(std::string());
}

void InstallFileCommands(TMainForm &form) {
  TMainForm *f = &form;
  QObject::connect(form.bRename, &QAction::triggered, f, [f] { bRenameClick(*f, f->bRename); });
  QObject::connect(form.mRename, &QAction::triggered, f, [f] { bRenameClick(*f, f->mRename); });
  QObject::connect(form.mTreeRename, &QAction::triggered, f,
                   [f] { bRenameClick(*f, f->mTreeRename); });
  QObject::connect(form.bDelete, &QAction::triggered, f, [f] { bDeleteClick(*f, f->bDelete); });
  QObject::connect(form.mDelete, &QAction::triggered, f, [f] { bDeleteClick(*f, f->mDelete); });
  QObject::connect(form.mTreeDelete, &QAction::triggered, f,
                   [f] { bDeleteClick(*f, f->mTreeDelete); });
  QObject::connect(form.GFileInfo, &TFileGrid::deleteRequested, f,
                   [f] { bDeleteClick(*f, f->GFileInfo); });
  for (QAction *a : {form.bDuplicate, form.mDuplicate})
    QObject::connect(a, &QAction::triggered, f, [f] { bDuplicateClick(*f); });
  for (QAction *a : {form.bNewFile, form.mNewFile})
    QObject::connect(a, &QAction::triggered, f, [f] { bNewFileClick(*f); });
  for (QAction *a : {form.bNewFolder, form.mNewFolder})
    QObject::connect(a, &QAction::triggered, f, [f] { bNewFolderClick(*f); });
  QObject::connect(form.mTestRead, &QAction::triggered, f, [f] { mTestReadClick(*f); });

  auto *keys = new TCommandKeys(form);
  form.FolderTree->installEventFilter(keys);
  form.GFileInfo->installEventFilter(keys);
}

}  // namespace trovix
