// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFolderTree: the tree of volumes and folders, filled as nodes expand.
#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "browser/folder_tree.h"

namespace trovix {

// The folder images (ILFolder): theme icons with Qt's built-in ones as the
// fallback, so every image shows on any desktop.
QIcon FolderImageIcon(int32_t image);

class TFolderTree : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TFolderTree(QWidget *parent = nullptr);

  // Rebuilds the roots and selects path (the process's current folder when empty).
  void Init(const std::string &path = std::string());
  std::string NodeToFolder(QTreeWidgetItem *node) const;
  void FillNode(QTreeWidgetItem *node);
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
  void AddChild(QTreeWidgetItem *parent, const std::string &name, int32_t image);
  void SetImage(QTreeWidgetItem *node, bool selected);
  void ChangeHandling();
  void ItemEdited(QTreeWidgetItem *node, int column);

  std::vector<FolderRoot> roots_;
  bool Initialised = false;
  bool renaming_ = false;
  QTreeWidgetItem *lastSelected_ = nullptr;
};

}  // namespace trovix
