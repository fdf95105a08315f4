// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/file_commands_ui.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QTreeWidgetItem>

#include "browser/browser_host.h"
#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_tree_ui.h"
#include "dialogs/event_log.h"
#include "dialogs/markup.h"
#include "dialogs/message_box.h"
#include "dialogs/options.h"
#include "fileops/copy_move_thread.h"
#include "fileops/file_clipboard.h"
#include "fileops/file_commands.h"
#include "fileops/file_operations.h"
#include "fileops/operation_start_ui.h"
#include "fileops/trash.h"
#include "foundation/file_system.h"
#include "foundation/platform_ui.h"
#include "foundation/worker_pool_ui.h"

namespace trovix {

TFileCommands::TFileCommands(TBrowserHost &host, const TFileCommandControls &controls)
    : QObject(host.HostWindow()),
      host_(host),
      c_(controls),
      runner_(new TCommandRunner(this)),
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
  connect(c_.mTrash, &QAction::triggered, this, [this] { mTrashClick(c_.mTrash); });
  connect(c_.mTreeTrash, &QAction::triggered, this, [this] { mTrashClick(c_.mTreeTrash); });
  host.Tree()->installEventFilter(this);
  host.Grid()->installEventFilter(this);
}

// Del (and Shift+Del) on the tree, Ctrl+R and F2 on the grid; the grid
// reports Del itself. The
// watched objects are told apart by their addresses alone: while the window
// is being destroyed it must not be asked for its widgets.
bool TFileCommands::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto *key = static_cast<QKeyEvent *>(event);
  const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
  // Del moves to the trash when the option says so; Shift+Del always deletes.
  if ((watched == tree_ || watched == grid_) && key->key() == Qt::Key_Delete &&
      mods == Qt::NoModifier && OptionDelMovesToTrash()) {
    mTrashClick(watched == tree_ ? static_cast<QObject *>(host_.Tree()) : host_.Grid());
    return true;
  }
  if (watched == tree_ && key->key() == Qt::Key_Delete &&
      (mods == Qt::NoModifier || mods == Qt::ShiftModifier)) {
    bDeleteClick(host_.Tree());
    return true;
  }
  if ((watched == grid_ || watched == tree_) && mods == Qt::ControlModifier &&
      (key->key() == Qt::Key_C || key->key() == Qt::Key_X || key->key() == Qt::Key_V)) {
    QObject *sender = watched == tree_ ? static_cast<QObject *>(host_.Tree()) : host_.Grid();
    if (key->key() == Qt::Key_V)
      ClipboardPaste(sender);
    else
      ClipboardCopy(sender, key->key() == Qt::Key_X);
    return true;
  }
  if (watched == grid_ && ((key->key() == Qt::Key_R && mods == Qt::ControlModifier) ||
                           (key->key() == Qt::Key_F2 && mods == Qt::NoModifier))) {
    if (c_.mRename->isEnabled()) bRenameClick(c_.mRename);
    return true;
  }
  return false;
}

// True when the command acts on the tree's folder rather than on the marks.
bool TFileCommands::ForTree(QObject *sender) const {
  TFolderTree *tree = host_.Tree();
  if (sender == c_.mTreeRename || sender == c_.mTreeDelete || sender == c_.mTreeTrash ||
      sender == tree)
    return true;
  if (sender == host_.Grid() || sender == c_.mRename || sender == c_.mDelete || sender == c_.mTrash)
    return false;
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
  const std::vector<std::string> names = MarkedNames(host_.ListState().FileList);
  auto result = std::make_shared<RenameResult>();
  runner_->Start(
      folder,
      [result, names, folder, mode, typed](const TWorkerJob &) {
        *result = RenameNames(names, folder, mode, typed);
      },
      [this, result, folder] {
        for (const std::string &line : result->Log) LogDetail(line);
        if (!result->Ok)
          DisplayError(msgRenameFailed + MarkupEscape(result->FailedName) + ": " +
                       MarkupEscape(result->Reason));
        ListAgainIn(folder, result->SelectName);
      });
}

void TFileCommands::ListAgainIn(const std::string &folder, const std::string &select) {
  if (host_.CurrentFolder() != folder) return;
  if (!select.empty()) host_.ListState().PendingSelectName = select;
  host_.ListAgain();
}

std::string TFileCommands::StatusText() const {
  return NotRespondingText(runner_->NotResponding());
}

void TFileCommands::bDeleteClick(QObject *sender) {
  if (ForTree(sender)) {
    TFolderTree *tree = host_.Tree();
    QTreeWidgetItem *node = tree->currentItem();
    // A volume (a top-level node) is never deleted as a whole.
    if (!node || !node->parent()) return;
    const std::string folder = tree->SelectedFolderRead();
    if (folder.empty() || !DisplayYesNo(DeleteFolderQuestion(folder) + FilesNote({folder}))) return;
    LogAdd("Delete Folder");
    TCopyMoveThread::Start({folder}, okDelete, {});
    return;
  }
  TFileListState &list = host_.ListState();
  const std::string folder = host_.CurrentFolder();
  std::string question = DeleteQuestion(list.FileList);
  if (folder.empty() || question.empty()) return;
  std::vector<std::string> folders;
  for (const FileEntry &e : list.FileList)
    if (e.Selected && (e.Attributes & faDirectory)) folders.push_back(folder + e.Name + PathDelim);
  if (!DisplayYesNo(question + FilesNote(folders))) return;
  LogAdd("Delete Item(s)");
  const DeleteRequest request = BuildDeleteRequest(folder, list.FileList);
  if (!request.NextName.empty()) list.PendingSelectName = request.NextName;
  TCopyMoveThread::Start(request.Sources, okDelete, {});
}

// The note of a delete question: the files below folders, counted on a
// worker for a moment; nothing when the folders do not answer in time.
std::string TFileCommands::FilesNote(const std::vector<std::string> &folders) const {
  if (folders.empty()) return std::string();
  const int countMs = CountWaitMs * 3 / 4;
  return CallBounded<std::string>([folders, countMs] { return FolderFilesNote(folders, countMs); },
                                  CountWaitMs)
      .value_or(std::string());
}

void TFileCommands::bDuplicateClick() {
  const std::string folder = host_.CurrentFolder();
  if (folder.empty() || !DisplayYesNo(msgDuplicateQuestion)) return;
  LogAdd("Duplicate");
  // The marked entries only: the new names are looked for on a worker.
  std::vector<FileEntry> marked;
  for (const FileEntry &e : host_.ListState().FileList)
    if (e.Selected) marked.push_back(e);
  auto request = std::make_shared<DuplicateRequest>();
  runner_->Start(
      folder,
      [request, folder, marked](const TWorkerJob &) {
        *request = BuildDuplicateRequest(folder, marked);
      },
      [this, request, folder] {
        if (!request->LastName.empty() && host_.CurrentFolder() == folder)
          host_.ListState().PendingSelectName = request->LastName;
        TCopyMoveThread::Start(request->Sources, okCopy, request->Destinations);
      });
}

void TFileCommands::bNewFileClick() {
  const std::string folder = host_.CurrentFolder();
  if (folder.empty()) return;
  std::string name = NewFileDefaultName;
  if (!EditString(msgNewFilePrompt, name) || name.empty()) return;
  auto reason = std::make_shared<std::string>();
  auto created = std::make_shared<bool>(false);
  runner_->Start(
      folder,
      [folder, name, reason, created](const TWorkerJob &) {
        *created = CreateNewFile(folder, name, reason.get());
      },
      [this, folder, name, reason, created] {
        if (!*created) {
          std::string text = msgCreateFailed;
          text.append(" ").append(MarkupEscape(name)).append(": ").append(MarkupEscape(*reason));
          DisplayError(text);
          return;
        }
        ListAgainIn(folder, name);
      });
}

void TFileCommands::bNewFolderClick() {
  if (host_.Tree()->FolderAdd(NewFolderDefaultName)) return;
  const int error = FsLastError();
  DisplayError("|1|bERROR: Could not Create folder " +
               MarkupEscape(host_.Tree()->SelectedFolderRead() + NewFolderDefaultName) + ": " +
               MarkupEscape(FailureReason(error)));
}

std::vector<std::string> TFileCommands::ChosenPaths(QObject *sender) const {
  std::vector<std::string> paths;
  if (ForTree(sender)) {
    QTreeWidgetItem *node = host_.Tree()->currentItem();
    // A volume is never taken as a whole.
    if (node && node->parent()) paths.push_back(host_.Tree()->SelectedFolderRead());
  } else {
    const TFileListState &list = host_.ListState();
    for (const FileEntry &e : list.FileList)
      if (e.Selected) paths.push_back(list.ListedFolder + e.Name);
    const FileEntry *current = host_.Grid()->CurrentEntry();
    if (paths.empty() && current) paths.push_back(list.ListedFolder + current->Name);
  }
  for (std::string &path : paths)
    while (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  return paths;
}

void TFileCommands::mTrashClick(QObject *sender) {
  const bool tree = ForTree(sender);
  const std::vector<std::string> paths = ChosenPaths(sender);
  if (paths.empty()) return;
  LogAdd("Move to Trash");
  auto results = std::make_shared<std::vector<TrashResult>>();
  std::string parent = paths.front();
  parent.erase(parent.rfind(PathDelim) + 1);
  const std::string folder = host_.CurrentFolder();
  runner_->Start(
      parent,
      [results, paths](const TWorkerJob &) {
        for (const std::string &path : paths) results->push_back(MoveToTrash(path));
      },
      [this, results, paths, parent, folder, tree] {
        std::string failed;
        for (size_t i = 0; i < paths.size() && i < results->size(); ++i) {
          const std::string &path = paths[i];
          const TrashResult &r = (*results)[i];
          if (r.Ok) {
            LogDetail(path + " moved to " + r.Trash + "files/" + r.TrashedName);
          } else {
            LogDetail(path + " NOT moved to trash: " + FsErrorText(r.Error));
            if (failed.empty())
              failed = MarkupEscape(path) + " (" + MarkupEscape(FsErrorText(r.Error)) + ")";
          }
        }
        if (!failed.empty()) DisplayError("|1|bERROR: |nCannot move to Trash: " + failed);
        if (tree) {
          // The folder went: its parent becomes the tree's selection.
          host_.Tree()->Init(parent);
        } else {
          ListAgainIn(folder, std::string());
        }
      });
}

void TFileCommands::ClipboardCopy(QObject *sender, bool cut) {
  const std::vector<std::string> paths = ChosenPaths(sender);
  if (paths.empty()) return;
  auto *data = new QMimeData;
  auto bytes = [](const std::string &s) { return QByteArray(s.data(), qsizetype(s.size())); };
  data->setData(UriListMimeType, bytes(UriListText(paths)));
  data->setData(GnomeCopiedFilesMimeType, bytes(GnomeCopiedFilesText(cut, paths)));
  data->setData(KdeCutSelectionMimeType, bytes(KdeCutSelectionText(cut)));
  QString text;
  for (const std::string &path : paths) text += DisplayText(path) + "\n";
  data->setText(text);
  QGuiApplication::clipboard()->setMimeData(data);
}

void TFileCommands::ClipboardPaste(QObject *sender) {
  const QMimeData *data = QGuiApplication::clipboard()->mimeData();
  if (!data) return;
  auto read = [data](const char *type) {
    const QByteArray b = data->data(type);
    return std::string(b.constData(), static_cast<size_t>(b.size()));
  };
  FileClipboard files;
  if (!ParseFileClipboard(read(GnomeCopiedFilesMimeType), read(KdeCutSelectionMimeType),
                          read(UriListMimeType), files))
    return;
  const std::string folder =
      ForTree(sender) ? host_.Tree()->SelectedFolderRead() : host_.CurrentFolder();
  if (folder.empty()) return;
  // Which sources are folders is asked on a worker.
  auto request = std::make_shared<OperationRequest>();
  runner_->Start(
      folder,
      [request, files, folder](const TWorkerJob &) { *request = PasteRequest(files, folder); },
      [request, files, folder] {
        if (request->Sources.empty()) return;
        LogAdd(OperationKindName(request->Kind) + " to " + folder);
        TCopyMoveThread::Start(*request);
        // Cut files go once; the clipboard no longer names them.
        if (files.Cut) QGuiApplication::clipboard()->clear();
      });
}

void TFileCommands::mTestReadClick() {
  LogAdd("Test");
  StartOperation(host_.ListState(), std::string());
}

}  // namespace trovix
