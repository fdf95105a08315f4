// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folder_tree_ui.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <filesystem>

#include "dialogs/options_ui.h"
#include "foundation/platform_ui.h"
#include "foundation/strings.h"

namespace trovix {

namespace {
// Item data: the node's name as raw bytes (names need not be UTF-8), its image
// and, for roots, the root's path.
constexpr int kNameRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kRootPathRole = Qt::UserRole + 2;

}  // namespace

QIcon FolderImageIcon(int32_t image) {
  QStyle *style = QApplication::style();
  switch (image) {
    case fiFolder:
    case fiNetworkFolder:
      return QIcon::fromTheme("folder", style->standardIcon(QStyle::SP_DirClosedIcon));
    case fiFolderSelected:
    case fiNetworkFolderSelected:
      return QIcon::fromTheme("folder-open", style->standardIcon(QStyle::SP_DirOpenIcon));
    case fiCdRom:
      return QIcon::fromTheme("drive-optical", style->standardIcon(QStyle::SP_DriveCDIcon));
    case fiNetworkDrive:
      return QIcon::fromTheme("folder-remote", style->standardIcon(QStyle::SP_DriveNetIcon));
    case fiRemovable:
      return QIcon::fromTheme("drive-removable-media", style->standardIcon(QStyle::SP_DriveFDIcon));
    case fiNewTab:
      return QIcon::fromTheme("tab-new", style->standardIcon(QStyle::SP_FileDialogNewFolder));
    default: return QIcon::fromTheme("drive-harddisk", style->standardIcon(QStyle::SP_DriveHDIcon));
  }
}

TFolderTree::TFolderTree(QWidget *parent) : QTreeWidget(parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setIndentation(19);
  setMouseTracking(true);
  setUniformRowHeights(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setDragEnabled(true);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  header()->setStretchLastSection(false);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem *node) {
    setUpdatesEnabled(false);
    FillNode(node);
    if (node->childCount() == 0)
      node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    setUpdatesEnabled(true);
  });
  connect(this, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem *current, QTreeWidgetItem *previous) {
            if (previous) SetImage(previous, false);
            if (current) SetImage(current, true);
            lastSelected_ = current;
            ChangeHandling();
          });
  connect(this, &QTreeWidget::itemChanged, this, &TFolderTree::ItemEdited);

  // The background is the options' tree colour, the font their "Folders" font
  // (from the time the options are loaded); both follow every change.
  ApplyOptionColour();
  connect(&OptionsNotifier(), &TOptionsNotifier::coloursChanged, this,
          [this] { ApplyOptionColour(); });
  connect(&OptionsNotifier(), &TOptionsNotifier::fontsChanged, this,
          [this] { setFont(OptionQFont(fuFolders)); });
}

void TFolderTree::ApplyOptionColour() {
  QPalette pal = palette();
  pal.setColor(QPalette::Base, OptionQColor(csTree));
  setPalette(pal);
}

std::string TFolderTree::NodeName(const QTreeWidgetItem *node) {
  QByteArray bytes = node->data(0, kNameRole).toByteArray();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

int32_t TFolderTree::NodeImage(const QTreeWidgetItem *node) {
  return node ? node->data(0, kImageRole).toInt() : -1;
}

void TFolderTree::SetImage(QTreeWidgetItem *node, bool selected) {
  int32_t image = NodeImage(node);
  if (selected && (image == fiFolder || image == fiNetworkFolder)) ++image;
  QSignalBlocker block(this);
  node->setIcon(0, FolderImageIcon(image));
}

void TFolderTree::Init(const std::string &path) {
  Initialised = false;
  {
    QSignalBlocker block(this);
    clear();
    lastSelected_ = nullptr;
    roots_ = FolderRoots();
    for (const FolderRoot &root : roots_) {
      auto *node = new QTreeWidgetItem(this);
      node->setText(0, DisplayText(root.text));
      node->setToolTip(0, DisplayText(root.path));
      node->setData(0, kNameRole,
                    QByteArray(root.path.data(), static_cast<qsizetype>(root.path.size())));
      node->setData(0, kRootPathRole, true);
      node->setData(0, kImageRole, root.image);
      node->setIcon(0, FolderImageIcon(root.image));
      node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    }
  }
  Initialised = true;
  std::string start = path;
  if (start.empty()) {
    std::error_code error;
    start = std::filesystem::current_path(error).string();
    if (error || start.empty()) start = "/";
  }
  SelectedFolderWrite(start);
}

std::string TFolderTree::NodeToFolder(QTreeWidgetItem *node) const {
  if (!node) return std::string();
  std::string path;
  for (QTreeWidgetItem *n = node; n; n = n->parent()) {
    if (n->parent())
      path = NodeName(n) + PathDelim + path;
    else
      path = NodeName(n) + path;  // a root's name is its path, ending with the delimiter
  }
  return path;
}

void TFolderTree::AddChild(QTreeWidgetItem *parent, const std::string &name, int32_t image) {
  auto *node = new QTreeWidgetItem(parent);
  node->setText(0, DisplayText(name));
  node->setData(0, kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
  node->setData(0, kImageRole, image);
  node->setIcon(0, FolderImageIcon(image));
  node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

void TFolderTree::FillNode(QTreeWidgetItem *node) {
  if (!node || node->childCount() > 0) return;
  std::string path = NodeToFolder(node);
  int32_t root = RootOfPath(roots_, path);
  int32_t image = (root >= 0 && roots_[root].remote) ? fiNetworkFolder : fiFolder;
  QSignalBlocker block(this);
  for (const std::string &name : SubFolders(path)) AddChild(node, name, image);
}

std::string TFolderTree::SelectedFolderRead() const { return NodeToFolder(currentItem()); }

void TFolderTree::SelectedFolderWrite(const std::string &path) {
  int32_t root = RootOfPath(roots_, path);
  if (root < 0 || root >= topLevelItemCount()) return;
  QTreeWidgetItem *found = topLevelItem(root);
  std::string rest = WithTrailingDelim(path).substr(roots_[root].path.size());
  for (const std::string &component : PathComponents(rest)) {
    FillNode(found);
    std::vector<std::string> names;
    for (int i = 0; i < found->childCount(); ++i) names.push_back(NodeName(found->child(i)));
    int32_t index = FindName(names, component);
    if (index < 0) break;
    found = found->child(index);
  }
  if (found == currentItem()) {
    ChangeHandling();
  } else {
    QTreeWidgetItem *up = found->parent();
    while (up) {
      up->setExpanded(true);
      up = up->parent();
    }
    setCurrentItem(found);
  }
  scrollToItem(found);
}

bool TFolderTree::PathRemoteRead() const {
  int32_t image = NodeImage(currentItem());
  return image == fiNetworkDrive || image == fiNetworkFolder || image == fiNetworkFolderSelected;
}

int32_t TFolderTree::SelectedImage() const { return NodeImage(currentItem()); }

void TFolderTree::ChangeHandling() {
  if (Initialised && OnChangeFolder) OnChangeFolder();
}

bool TFolderTree::FolderAdd(const std::string &name) {
  if (!currentItem()) return false;
  std::string folder = SelectedFolderRead() + name;
  if (!FsCreateFolders(folder)) return false;
  Init(folder);
  StartRename();
  return true;
}

bool TFolderTree::StartRename() {
  QTreeWidgetItem *node = currentItem();
  if (!node || NodeImage(node) != fiFolder) return false;
  renaming_ = true;
  {
    QSignalBlocker block(this);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    // The editor starts from the name's bytes, escaped where they are not UTF-8.
    node->setText(0, EditableText(NodeName(node)));
  }
  editItem(node, 0);
  return true;
}

void TFolderTree::ItemEdited(QTreeWidgetItem *node, int) {
  if (!renaming_ || !node || !node->parent()) return;
  renaming_ = false;
  const std::string typed = EditedBytes(node->text(0));
  std::string oldName = NodeName(node);
  std::string name = FolderEditName(typed);
  std::string parent = NodeToFolder(node->parent());
  if (name != oldName && !(name.empty() || FsMove(parent + oldName, parent + name))) name = oldName;
  if (name.empty()) name = oldName;
  {
    QSignalBlocker block(this);
    node->setFlags(node->flags() & ~Qt::ItemIsEditable);
    node->setText(0, DisplayText(name));
    node->setData(0, kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
    // A renamed folder's sub-folders are read again under the new name.
    qDeleteAll(node->takeChildren());
    node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  }
  ChangeHandling();
}

void TFolderTree::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) {
  QTreeWidget::closeEditor(editor, hint);
  // Cancelled or left unchanged: the node shows its name again.
  QTreeWidgetItem *node = currentItem();
  if (!renaming_ || !node) return;
  renaming_ = false;
  QSignalBlocker block(this);
  node->setFlags(node->flags() & ~Qt::ItemIsEditable);
  node->setText(0, DisplayText(NodeName(node)));
}

void TFolderTree::mouseReleaseEvent(QMouseEvent *event) {
  QTreeWidget::mouseReleaseEvent(event);
  if (OnMouseUp) OnMouseUp(event->button(), itemAt(event->position().toPoint()));
}

void TFolderTree::keyPressEvent(QKeyEvent *event) {
  if (OnKeyDown) {
    event->ignore();
    OnKeyDown(event);
    if (event->isAccepted()) return;
  }
  if (event->key() == Qt::Key_F2) {
    StartRename();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

}  // namespace trovix
