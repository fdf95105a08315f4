// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folder_tree_ui.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <filesystem>

#include "dialogs/options_ui.h"
#include "foundation/platform_ui.h"
#include "foundation/strings.h"
#include "foundation/worker_pool_ui.h"

namespace trovix {

namespace {
// Item data: the node's name as raw bytes (names need not be UTF-8), its image
// and, for roots, the root's path.
constexpr int kNameRole = Qt::UserRole;
constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kRootPathRole = Qt::UserRole + 2;
constexpr int kFilledRole = Qt::UserRole + 3;       // its sub folders were read
constexpr int kPlaceholderRole = Qt::UserRole + 4;  // stands in while they are read

bool Filled(const QTreeWidgetItem *node) { return node->data(0, kFilledRole).toBool(); }
bool Placeholder(const QTreeWidgetItem *node) { return node->data(0, kPlaceholderRole).toBool(); }

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

TFolderTree::~TFolderTree() { CancelReads(); }

void TFolderTree::CancelReads() {
  for (auto &read : reads_) read.second->Cancel();
  reads_.clear();
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
    CancelReads();
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
  if (!node || Filled(node)) return;
  ReadNode(node, WaitMs);
}

bool TFolderTree::ReadNode(QTreeWidgetItem *node, int waitMs) {
  const std::string folder = NodeToFolder(node);
  TJobHandle job;
  for (auto &read : reads_)
    if (read.first == folder) job = read.second;
  if (!job) {
    // A node without children shows a placeholder until its folders arrive.
    if (node->childCount() == 0) {
      QSignalBlocker block(this);
      auto *placeholder = new QTreeWidgetItem(node);
      placeholder->setText(0, QStringLiteral("..."));
      placeholder->setData(0, kPlaceholderRole, true);
      placeholder->setFlags(Qt::NoItemFlags);
    }
    auto names = std::make_shared<std::vector<std::string>>();
    auto exists = std::make_shared<bool>(true);
    job = AsyncRunner().Run(
        [folder, names, exists](const TWorkerJob &) {
          *names = SubFolders(folder);
          *exists = FsFolderExists(folder);
        },
        [this, folder, names, exists] { NodeRead(folder, *exists, *names); });
    reads_.emplace_back(folder, job);
  }
  return waitMs > 0 && job->WaitFinished(std::chrono::milliseconds(waitMs)) &&
         TWorkerPool::Deliver(job);
}

void TFolderTree::NodeRead(const std::string &folder, bool exists,
                           const std::vector<std::string> &names) {
  for (size_t i = 0; i < reads_.size(); ++i)
    if (reads_[i].first == folder) {
      reads_.erase(reads_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  QTreeWidgetItem *node = NodeOfFolder(folder);
  if (!node) return;
  if (!exists && node->parent()) {
    // The folder is gone: its node goes, the selection to its parent. Later,
    // from the event loop, as a caller walking the tree may hold the node.
    QTimer::singleShot(0, this, [this, folder] {
      QTreeWidgetItem *gone = NodeOfFolder(folder);
      if (!gone || !gone->parent()) return;
      bool selectedInside = false;
      for (QTreeWidgetItem *n = currentItem(); n; n = n->parent()) selectedInside |= n == gone;
      if (selectedInside) setCurrentItem(gone->parent());
      for (QTreeWidgetItem *n = lastSelected_; n; n = n->parent())
        if (n == gone) lastSelected_ = nullptr;
      delete gone;
    });
    return;
  }
  int32_t root = RootOfPath(roots_, folder);
  int32_t image = (root >= 0 && roots_[root].remote) ? fiNetworkFolder : fiFolder;
  QSignalBlocker block(this);
  // Children in the new order: known names keep their item (and sub tree).
  std::vector<QTreeWidgetItem *> old;
  while (node->childCount() > 0) old.push_back(node->takeChild(0));
  QTreeWidgetItem *current = currentItem();
  for (const std::string &name : names) {
    QTreeWidgetItem *kept = nullptr;
    for (QTreeWidgetItem *&item : old)
      if (item && !Placeholder(item) && NodeName(item) == name) {
        kept = item;
        item = nullptr;
        break;
      }
    if (kept)
      node->addChild(kept);
    else
      AddChild(node, name, image);
  }
  bool moved = false;  // the selected folder was gone
  for (QTreeWidgetItem *item : old) {
    if (!item) continue;
    bool holdsCurrent = false;
    for (QTreeWidgetItem *n = current; n; n = n->parent()) holdsCurrent |= n == item;
    if (holdsCurrent) {
      current = node;
      moved = true;
    }
    for (QTreeWidgetItem *n = lastSelected_; n; n = n->parent())
      if (n == item) lastSelected_ = nullptr;
    delete item;
  }
  node->setData(0, kFilledRole, true);
  if (node->childCount() == 0)
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  if (current && current != currentItem()) {
    if (moved) block.unblock();
    setCurrentItem(current);
  }
}

void TFolderTree::ReReadFolder(const std::string &folder) {
  QTreeWidgetItem *node = NodeOfFolder(folder);
  if (node && Filled(node)) ReadNode(node, 0);
}

QTreeWidgetItem *TFolderTree::NodeOfFolder(const std::string &folder) const {
  const std::string path = WithTrailingDelim(folder);
  for (int r = 0; r < topLevelItemCount() && r < static_cast<int>(roots_.size()); ++r) {
    const std::string &rootPath = roots_[r].path;
    if (path.compare(0, rootPath.size(), rootPath) != 0) continue;
    QTreeWidgetItem *node = topLevelItem(r);
    for (const std::string &component : PathComponents(path.substr(rootPath.size()))) {
      QTreeWidgetItem *next = nullptr;
      for (int i = 0; i < node->childCount() && !next; ++i)
        if (!Placeholder(node->child(i)) && NodeName(node->child(i)) == component)
          next = node->child(i);
      node = next;
      if (!node) break;
    }
    if (node && NodeToFolder(node) == path) return node;
  }
  return nullptr;
}

std::vector<std::string> TFolderTree::ExpandedFolders() const {
  std::vector<std::string> folders;
  std::vector<QTreeWidgetItem *> stack;
  for (int r = 0; r < topLevelItemCount(); ++r) stack.push_back(topLevelItem(r));
  while (!stack.empty()) {
    QTreeWidgetItem *node = stack.back();
    stack.pop_back();
    if (!node->isExpanded() || !Filled(node)) continue;
    folders.push_back(NodeToFolder(node));
    for (int i = 0; i < node->childCount(); ++i) stack.push_back(node->child(i));
  }
  return folders;
}

std::string TFolderTree::SelectedFolderRead() const { return NodeToFolder(currentItem()); }

void TFolderTree::SelectedFolderWrite(const std::string &path) {
  int32_t root = RootOfPath(roots_, path);
  if (root < 0 || root >= topLevelItemCount()) return;
  QTreeWidgetItem *found = topLevelItem(root);
  std::string rest = WithTrailingDelim(path).substr(roots_[root].path.size());
  for (const std::string &component : PathComponents(rest)) {
    const bool readBefore = Filled(found);
    FillNode(found);
    auto childIndex = [&] {
      std::vector<std::string> names;
      for (int i = 0; i < found->childCount(); ++i)
        names.push_back(Placeholder(found->child(i)) ? std::string() : NodeName(found->child(i)));
      return FindName(names, component);
    };
    int32_t index = childIndex();
    // A folder made since the node was read: read it again before giving up.
    if (index < 0 && readBefore && ReadNode(found, WaitMs)) index = childIndex();
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
    node->setData(0, kFilledRole, false);
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
