// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folder_tree_ui.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <unordered_set>
#include <utility>

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
constexpr int kProbedRole = Qt::UserRole + 5;       // looked at for sub folders
// Children of one node looked at by one probe: several screens of them,
// while a node with thousands does not cost thousands of folder reads.
constexpr size_t kProbeLimit = 500;
constexpr size_t kProbeBatch = 32;  // children probed by one job

bool Filled(const QTreeWidgetItem *node) { return node->data(0, kFilledRole).toBool(); }
bool Placeholder(const QTreeWidgetItem *node) { return node->data(0, kPlaceholderRole).toBool(); }
bool Probed(const QTreeWidgetItem *node) { return node->data(0, kProbedRole).toBool(); }

// True when item is node or one of its ancestors.
bool Holds(const QTreeWidgetItem *item, const QTreeWidgetItem *node) {
  for (const QTreeWidgetItem *n = node; n; n = n->parent())
    if (n == item) return true;
  return false;
}

// Keeps the rows on screen while nodes come and go: the top row stays at
// the top when it survives the change, else the scroll position stays.
class TViewAnchor {
 public:
  explicit TViewAnchor(QTreeWidget *tree)
      : tree_(tree),
        top_(tree->indexAt(QPoint(0, 0))),
        vertical_(tree->verticalScrollBar()->value()),
        horizontal_(tree->horizontalScrollBar()->value()) {}
  ~TViewAnchor() {
    if (top_.isValid())
      tree_->scrollTo(top_, QAbstractItemView::PositionAtTop);
    else
      tree_->verticalScrollBar()->setValue(vertical_);
    tree_->horizontalScrollBar()->setValue(horizontal_);
  }
  TViewAnchor(const TViewAnchor &) = delete;
  TViewAnchor &operator=(const TViewAnchor &) = delete;

 private:
  QTreeWidget *tree_;
  QPersistentModelIndex top_;
  int vertical_, horizontal_;
};

struct ProbeResult {
  std::string name;
  int index;  // where the child was when the probe started
  bool hasSubFolder;
};

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
    if (Filled(node))
      ProbeChildren(node);  // what a collapse cut short
    else
      FillNode(node);
    setUpdatesEnabled(true);
  });
  connect(this, &QTreeWidget::itemCollapsed, this,
          [this](QTreeWidgetItem *node) { CancelProbes(node); });
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
  CancelProbes(nullptr);
  if (rootsJob_) rootsJob_->Cancel();
  rootsJob_.reset();
}

void TFolderTree::CancelProbes(QTreeWidgetItem *under) {
  for (size_t i = probes_.size(); i-- > 0;)
    if (!under || Holds(under, itemFromIndex(probes_[i].parent))) {
      probes_[i].job->Cancel();
      probes_.erase(probes_.begin() + static_cast<std::ptrdiff_t>(i));
    }
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
  const std::vector<FolderRoot> known = roots_.empty() ? KnownFolderRoots() : roots_;
  // A volume read still running (a hung mount) goes on rather than a second
  // one joining it on another worker.
  TJobHandle job = std::exchange(rootsJob_, nullptr);
  {
    QSignalBlocker block(this);
    CancelReads();
    clear();
    roots_.clear();
    lastSelected_ = nullptr;
  }
  // The volumes (mount table, labels, the home folder's volume) can hang on
  // a dead mount: they are read on a worker, and the tree goes on with what
  // it knew when they are late.
  if (!job) {
    auto roots = std::make_shared<std::vector<FolderRoot>>();
    job = AsyncRunner().Run([roots](const TWorkerJob &) { *roots = FolderRoots(); },
                            [this, roots] {
                              rootsJob_.reset();
                              InstallRoots(*roots);
                            });
  }
  rootsJob_ = job;
  if (!(WaitMs > 0 && job->WaitFinished(std::chrono::milliseconds(WaitMs)) &&
        TWorkerPool::Deliver(job)))
    InstallRoots(known);
  Initialised = true;
  std::string start = path;
  if (start.empty()) {
    std::error_code error;
    start = std::filesystem::current_path(error).string();
    if (error || start.empty()) start.assign(1, PathDelim);
  }
  SelectedFolderWrite(start);
}

void TFolderTree::InstallRoots(const std::vector<FolderRoot> &roots) {
  TViewAnchor anchor(this);
  const std::string selected = SelectedFolderRead();
  QTreeWidgetItem *current = currentItem();
  bool lost = false;  // the selected node's root is gone
  {
    QSignalBlocker block(this);
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
      QTreeWidgetItem *item = topLevelItem(i);
      bool stays = false;
      for (const FolderRoot &root : roots) stays |= root.path == NodeName(item);
      if (stays) continue;
      if (Holds(item, current)) {
        lost = true;
        current = nullptr;
        setCurrentItem(nullptr);
      }
      if (Holds(item, lastSelected_)) lastSelected_ = nullptr;
      delete item;
    }
    for (size_t i = 0; i < roots.size(); ++i) {
      const FolderRoot &root = roots[i];
      const int at = static_cast<int>(i);
      QTreeWidgetItem *node = nullptr;
      for (int j = at; j < topLevelItemCount() && !node; ++j)
        if (NodeName(topLevelItem(j)) == root.path) node = topLevelItem(j);
      if (!node) {
        node = new QTreeWidgetItem;
        node->setData(0, kNameRole,
                      QByteArray(root.path.data(), static_cast<qsizetype>(root.path.size())));
        node->setData(0, kRootPathRole, true);
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        insertTopLevelItem(at, node);
      } else if (node != topLevelItem(at)) {
        insertTopLevelItem(at, takeTopLevelItem(indexOfTopLevelItem(node)));
      }
      node->setText(0, DisplayText(root.text));
      node->setToolTip(0, DisplayText(root.path));
      node->setData(0, kImageRole, root.image);
      node->setIcon(0, FolderImageIcon(root.image));
    }
    roots_ = roots;
    if (current && currentItem() != current) setCurrentItem(current);
  }
  ProbeChildren(nullptr);
  if (lost && Initialised) SelectedFolderWrite(selected);
}

void TFolderTree::ProbeChildren(QTreeWidgetItem *parent) {
  const std::string key = parent ? NodeToFolder(parent) : std::string();
  // Folders on network volumes are not probed: a read each is too slow there.
  if (parent) {
    const int32_t root = RootOfPath(roots_, key);
    if (root >= 0 && roots_[root].remote) return;
  }
  std::vector<std::pair<std::string, int>> folders;
  const int count = parent ? parent->childCount() : topLevelItemCount();
  for (int i = 0; i < count && folders.size() < kProbeLimit; ++i) {
    QTreeWidgetItem *child = parent ? parent->child(i) : topLevelItem(i);
    if (Placeholder(child) || Filled(child) || Probed(child) || child->childCount() > 0) continue;
    if (!parent && i < static_cast<int>(roots_.size()) && roots_[i].remote) continue;
    folders.emplace_back(NodeName(child), i);
  }
  const QPersistentModelIndex index = parent ? indexFromItem(parent) : QModelIndex();
  for (size_t i = 0; i < probes_.size(); ++i)
    if (probes_[i].roots == !parent && probes_[i].parent == index) {
      probes_[i].job->Cancel();
      probes_.erase(probes_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  if (folders.empty()) return;
  auto work = std::make_shared<TProbeWork>();
  work->prefix = parent ? WithTrailingDelim(key) : std::string();
  work->folders = std::move(folders);
  probes_.push_back(TProbe{index, !parent, ProbeBatch(work, 0)});
}

TJobHandle TFolderTree::ProbeBatch(const std::shared_ptr<const TProbeWork> &work, size_t from) {
  // Each answer is shown as it comes, so one folder that hangs holds back
  // only those after it.
  auto probed = [this](const TWorkerJob &job, const ProbeResult &result) {
    const TProbe *probe = nullptr;
    for (const TProbe &p : probes_)
      if (p.job.get() == &job) probe = &p;
    if (!probe) return;
    QTreeWidgetItem *node = probe->roots ? invisibleRootItem() : itemFromIndex(probe->parent);
    if (!node) return;
    QTreeWidgetItem *child = nullptr;
    if (result.index < node->childCount() && NodeName(node->child(result.index)) == result.name)
      child = node->child(result.index);
    for (int i = 0; i < node->childCount() && !child; ++i)
      if (!Placeholder(node->child(i)) && NodeName(node->child(i)) == result.name)
        child = node->child(i);
    if (!child) return;
    QSignalBlocker block(this);
    child->setData(0, kProbedRole, true);
    if (!result.hasSubFolder && !Filled(child) && child->childCount() == 0)
      child->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  };
  // A job probes one batch and its done queues the next, so that the reads
  // the user waits for (a node expanded, a folder selected) take their turn
  // on the workers between batches.
  const size_t to = std::min(from + kProbeBatch, work->folders.size());
  // The job's own address, for its done (which may be destroyed on a worker,
  // so it holds nothing of the tree's model).
  auto self = std::make_shared<const TWorkerJob *>(nullptr);
  TJobHandle job = AsyncRunner().Run(
      [work, from, to, probed](const TWorkerJob &job) {
        for (size_t i = from; i < to; ++i) {
          if (job.Cancelled()) return;
          const auto &[name, index] = work->folders[i];
          ProbeResult result{name, index, HasSubFolder(work->prefix + name)};
          // Posted functions run only while the job is alive and wanted.
          job.Post([probed, &job, result] { probed(job, result); });
        }
      },
      [this, self, work, to] {
        for (size_t i = 0; i < probes_.size(); ++i)
          if (probes_[i].job.get() == *self) {
            if (to < work->folders.size())
              probes_[i].job = ProbeBatch(work, to);
            else
              probes_.erase(probes_.begin() + static_cast<std::ptrdiff_t>(i));
            break;
          }
      });
  *self = job.get();
  return job;
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

QTreeWidgetItem *TFolderTree::NewNode(const std::string &name, int32_t image) {
  auto *node = new QTreeWidgetItem;
  node->setText(0, DisplayText(name));
  node->setData(0, kNameRole, QByteArray(name.data(), static_cast<qsizetype>(name.size())));
  node->setData(0, kImageRole, image);
  node->setIcon(0, FolderImageIcon(image));
  node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
  return node;
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
  const int32_t root = RootOfPath(roots_, folder);
  const int32_t image = (root >= 0 && roots_[root].remote) ? fiNetworkFolder : fiFolder;
  // Changed in place, so that the rows on screen, the current node and the
  // expanded sub trees stay where they are.
  TViewAnchor anchor(this);
  QSignalBlocker block(this);
  QTreeWidgetItem *current = currentItem();
  bool moved = false;  // the selected folder was gone
  // The placeholder and the folders gone leave; the others keep their node.
  const std::unordered_set<std::string> wanted(names.begin(), names.end());
  std::unordered_set<std::string> kept;
  for (int i = 0; i < node->childCount();) {
    QTreeWidgetItem *item = node->child(i);
    const std::string name = NodeName(item);
    if (!Placeholder(item) && wanted.count(name) && kept.insert(name).second) {
      ++i;
      continue;
    }
    if (Holds(item, current)) {
      moved = true;
      current = nullptr;
      setCurrentItem(nullptr);
    }
    if (Holds(item, lastSelected_)) lastSelected_ = nullptr;
    delete item;
  }
  // New folders come in at their place in the order of names, each run of
  // them in one insertion.
  QList<QTreeWidgetItem *> run;
  int next = 0;  // the child compared with the next name
  auto flush = [&] {
    if (run.isEmpty()) return;
    node->insertChildren(next, run);
    next += static_cast<int>(run.size());
    run.clear();
  };
  for (const std::string &name : names) {
    if (!kept.count(name)) {
      run.append(NewNode(name, image));
      continue;
    }
    flush();
    // A kept node out of order (the sort rules changed) moves to its place.
    int from = next;
    while (from < node->childCount() && NodeName(node->child(from)) != name) ++from;
    if (from != next && from < node->childCount()) node->insertChild(next, node->takeChild(from));
    ++next;
  }
  flush();
  node->setData(0, kFilledRole, true);
  if (node->childCount() == 0)
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
  ProbeChildren(node);
  if (moved) {
    block.unblock();
    setCurrentItem(node);
  } else if (current && current != currentItem()) {
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
    node->setData(0, kProbedRole, false);
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
