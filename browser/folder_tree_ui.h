// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFolderTree: the tree of volumes and folders, filled as nodes expand.
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "browser/folder_tree.h"
#include "foundation/worker_pool.h"

namespace trovix {

// The folder images (ILFolder): theme icons with Qt's built-in ones as the
// fallback, so every image shows on any desktop.
QIcon FolderImageIcon(int32_t image);

class TFolderTree : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TFolderTree(QWidget *parent = nullptr);
  ~TFolderTree() override;

  // Rebuilds the roots and selects path (the process's current folder when
  // empty). The volumes are read on a worker: when they take longer than
  // WaitMs the tree starts from the roots known before (or the home folder
  // and "/") and takes the full list when it arrives, keeping the selected
  // folder and the expanded nodes.
  void Init(const std::string &path = std::string());
  // True while the volume list of the last Init has not arrived.
  bool RootsPending() const { return rootsJob_ != nullptr; }
  // True while sub folder probes run.
  bool ProbesPending() const { return !probes_.empty(); }
  std::string NodeToFolder(QTreeWidgetItem *node) const;
  // Reads a node's sub folders once, on a worker: they arrive within WaitMs
  // or later, a placeholder child standing in for them meanwhile.
  void FillNode(QTreeWidgetItem *node);
  // Reads the node of folder again (a change outside): new sub folders
  // appear, gone ones leave, the others keep their own sub trees; a node
  // whose folder is gone leaves the tree. Nothing when folder has no filled
  // node. Does not wait.
  void ReReadFolder(const std::string &folder);
  // The folders of the expanded nodes whose sub folders were read.
  std::vector<std::string> ExpandedFolders() const;
  // The node of folder, when the tree holds one (nothing is read).
  QTreeWidgetItem *NodeOfFolder(const std::string &folder) const;
  // How long a read waits before the tree goes on without its answer.
  int WaitMs = 20;
  std::string SelectedFolderRead() const;
  // Selects the deepest existing node along path; fires OnChangeFolder even
  // when that node is already selected.
  void SelectedFolderWrite(const std::string &path);
  bool PathRemoteRead() const;
  int32_t SelectedImage() const;
  // Creates name below the selected folder, rebuilds and starts editing it.
  bool FolderAdd(const std::string &name);
  // Starts editing the selected node's name when it is a local folder.
  bool StartRename();
  QTreeWidgetItem *NodeAt(const QPoint &pos) const { return itemAt(pos); }
  static std::string NodeName(const QTreeWidgetItem *node);
  static int32_t NodeImage(const QTreeWidgetItem *node);

  std::function<void()> OnChangeFolder;
  std::function<void(Qt::MouseButton, QTreeWidgetItem *)> OnMouseUp;
  std::function<void(QKeyEvent *)> OnKeyDown;  // may accept the event

 protected:
  void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

 private:
  void ApplyOptionColour();
  QTreeWidgetItem *NewNode(const std::string &name, int32_t image);
  void SetImage(QTreeWidgetItem *node, bool selected);
  void ChangeHandling();
  void ItemEdited(QTreeWidgetItem *node, int column);
  // Reads node's sub folders on a worker; true when they arrived within waitMs.
  bool ReadNode(QTreeWidgetItem *node, int waitMs);
  void NodeRead(const std::string &folder, bool exists, const std::vector<std::string> &names);
  // Puts roots in place of the top-level nodes; a root that stays keeps its
  // node and sub tree.
  void InstallRoots(const std::vector<FolderRoot> &roots);
  // Looks on a worker whether the unread children of parent (the top-level
  // nodes for nullptr) hold any sub folder; those without lose their expand
  // button.
  void ProbeChildren(QTreeWidgetItem *parent);
  struct TProbeWork {
    std::string prefix;                                // the parent's path
    std::vector<std::pair<std::string, int>> folders;  // names and their rows
  };
  // Starts the job probing folders [from, from + a batch) of work.
  TJobHandle ProbeBatch(const std::shared_ptr<const TProbeWork> &work, size_t from);
  // Cancels the probes of the children of under and of its sub tree (all for nullptr).
  void CancelProbes(QTreeWidgetItem *under);
  void CancelReads();

  std::vector<FolderRoot> roots_;
  bool Initialised = false;
  bool renaming_ = false;
  QTreeWidgetItem *lastSelected_ = nullptr;
  // Reads running, by folder: at most one per folder.
  std::vector<std::pair<std::string, TJobHandle>> reads_;
  // Probes running, by the node whose children they look at (none for the roots).
  struct TProbe {
    QPersistentModelIndex parent;
    bool roots;  // the top-level nodes
    TJobHandle job;
  };
  std::vector<TProbe> probes_;
  TJobHandle rootsJob_;
};

}  // namespace trovix
