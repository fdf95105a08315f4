// SPDX-License-Identifier: GPL-3.0-or-later
#include "fileops/drag_drop_ui.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTimer>
#include <QTreeWidgetItem>
#include <QUrl>
#include <algorithm>
#include <functional>

#include "browser/browse_tabs_ui.h"
#include "browser/browser_host.h"
#include "browser/file_grid_ui.h"
#include "browser/file_list.h"
#include "browser/folder_tree_ui.h"
#include "fileops/file_operations.h"
#include "fileops/operation_start_ui.h"
#include "foundation/file_system.h"
#include "foundation/platform_ui.h"
#include "foundation/strings.h"

namespace trovix {

namespace {

// The marked entries of the current tab, or the tree's folder, as a drag.
QMimeData *DragData(DragSource source, const std::vector<std::string> &paths) {
  auto *data = new QMimeData;
  const std::string tag = DragSourceTag(source);
  data->setData(DragMimeType, QByteArray(tag.data(), static_cast<qsizetype>(tag.size())));
  QList<QUrl> urls;
  for (const std::string &path : paths) urls.append(LocalFileUrl(path));
  data->setUrls(urls);
  return data;
}

// A small picture under the pointer: the item's icon and how many are dragged.
QPixmap DragPixmap(const QWidget *widget, const QIcon &icon, const std::string &text) {
  const QFontMetrics metrics(widget->font());
  const qreal ratio = widget->devicePixelRatioF();
  const int width = 22 + metrics.horizontalAdvance(DisplayText(text)) + 4;
  const int height = std::max(20, metrics.height() + 4);
  QPixmap pixmap(QSize(width, height) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setOpacity(0.85);
  painter.fillRect(QRect(0, 0, width, height), widget->palette().base());
  painter.setPen(widget->palette().mid().color());
  painter.drawRect(QRect(0, 0, width - 1, height - 1));
  icon.paint(&painter, QRect(3, (height - 16) / 2, 16, 16));
  painter.setPen(widget->palette().text().color());
  painter.setFont(widget->font());
  painter.drawText(QRect(22, 0, width - 22, height), Qt::AlignVCenter | Qt::AlignLeft,
                   DisplayText(text));
  return pixmap;
}

// Runs a drop once the drag has ended, so the question it may ask does not
// hold the drag (and another program waiting for its end) open.
template <typename F>
void AfterDrop(TBrowserHost &form, F action) {
  QPointer<QWidget> guard(form.HostWindow());
  TBrowserHost *host = &form;
  QTimer::singleShot(0, form.HostWindow(), [guard, host, action] {
    if (guard) action(*host);
  });
}

// Accepts a drag as a copy: what really happens is asked on the drop.
void AcceptCopy(QDropEvent *event) {
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

bool HasOutsidePaths(const QDropEvent *event) {
  return DropSource(event) == DragSource::Outside && !DroppedPaths(event->mimeData()).empty();
}

void ReceiveFiles(TBrowserHost &form, const QDropEvent *event) {
  const std::vector<std::string> paths = DroppedPaths(event->mimeData());
  AfterDrop(form, [paths](TBrowserHost &f) {
    for (const std::string &path : paths) ReceiveFilesReceiveFile(f, path);
  });
}

void StartGridDrag(TBrowserHost &form) {
  const std::string folder = form.CurrentFolder();
  std::vector<std::string> paths;
  for (const FileEntry &entry : form.ListState().FileList)
    if (entry.Selected) paths.push_back(folder + entry.Name);
  if (folder.empty() || paths.empty()) return;
  auto *drag = new QDrag(form.Grid());
  drag->setMimeData(DragData(DragSource::Grid, paths));
  const int32_t count = static_cast<int32_t>(paths.size());
  const std::string text =
      count == 1 ? PathName(paths[0]) : NumToStr(count) + " " + ItemWord(count);
  drag->setPixmap(DragPixmap(form.Grid(), QIcon(FileIconPixmap(fiIconFile)), text));
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

void StartTreeDrag(TBrowserHost &form) {
  QTreeWidgetItem *node = form.Tree()->currentItem();
  const std::string folder = form.Tree()->SelectedFolderRead();
  if (!node || folder.empty()) return;
  auto *drag = new QDrag(form.Tree());
  drag->setMimeData(DragData(DragSource::Tree, {folder}));
  drag->setPixmap(DragPixmap(form.Tree(), node->icon(0), TFolderTree::NodeName(node)));
  drag->exec(Qt::CopyAction, Qt::CopyAction);
}

// What a drop target does with drags of ours: whether one may enter it at
// all, whether it may be dropped at a point, and the drop. Paths from another
// program are taken everywhere and open in new tabs.
struct TDropTarget {
  std::function<bool(DragSource)> enters;
  std::function<bool(DragSource, const QPoint &)> takes;
  std::function<void(TBrowserHost &, DragSource, const QPoint &)> drop;
};

bool DropTargetEvent(TBrowserHost &form, const TDropTarget &target, QEvent *event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto *drop = static_cast<QDropEvent *>(event);
  const DragSource source = DropSource(drop);
  const QPoint pos = drop->position().toPoint();
  const bool ours = source != DragSource::Outside &&
                    (type == QEvent::DragEnter ? target.enters(source) : target.takes(source, pos));
  if (ours) {
    AcceptCopy(drop);
    if (type == QEvent::Drop) {
      auto action = target.drop;
      AfterDrop(form, [action, source, pos](TBrowserHost &f) { action(f, source, pos); });
    }
  } else if (HasOutsidePaths(drop)) {
    AcceptCopy(drop);
    if (type == QEvent::Drop) ReceiveFiles(form, drop);
  } else {
    drop->ignore();
  }
  return true;
}

// The drop targets (the tree's and the grid's viewports and the window) and
// the start of a drag of the tree's selected node.
class TDragDropFilter : public QObject {
 public:
  explicit TDragDropFilter(TBrowserHost &form)
      : QObject(form.HostWindow()),
        form_(form),
        tree_(form.Tree()->viewport()),
        grid_(form.Grid()->viewport()),
        window_(form.HostWindow()),
        folderTree_(form.Tree()) {
    TFolderTree *tree = form.Tree();
    TFileGrid *grid = form.Grid();
    treeTarget_ = {TreeAcceptsDrag, [](DragSource s, const QPoint &) { return TreeAcceptsDrag(s); },
                   [tree](TBrowserHost &f, DragSource s, const QPoint &pos) {
                     FolderTreeDragDrop(f, s, tree->NodeAt(pos));
                   }};
    // A grid drag enters anywhere so that its moves over the rows arrive;
    // each row then decides.
    auto rowAt = [grid](const QPoint &pos) {
      int32_t col = -1, row = -1;
      return grid->MouseToCell(pos, col, row) ? row : -1;
    };
    gridTarget_ = {[](DragSource s) { return s == DragSource::Grid; },
                   [grid, rowAt](DragSource s, const QPoint &pos) {
                     return GridAcceptsDrag(grid->List().FileList, s, rowAt(pos));
                   },
                   [rowAt](TBrowserHost &f, DragSource s, const QPoint &pos) {
                     GFileInfoDragDrop(f, s, rowAt(pos));
                   }};
    windowTarget_ = {[](DragSource) { return false; },
                     [](DragSource, const QPoint &) { return false; },
                     [](TBrowserHost &, DragSource, const QPoint &) {}};
  }

 protected:
  // The watched objects are told apart by their addresses alone: while the
  // window is being destroyed its members must not be touched.
  bool eventFilter(QObject *watched, QEvent *event) override {
    if (watched == tree_) return TreeMouse(event) || DropTargetEvent(form_, treeTarget_, event);
    if (watched == grid_) return DropTargetEvent(form_, gridTarget_, event);
    if (watched == window_) return DropTargetEvent(form_, windowTarget_, event);
    return false;
  }

 private:
  // A left press on a node's label arms a drag of that node, which the press
  // has made the selected one; it starts once the mouse has moved far enough.
  // While the button is held the view does not follow the pointer.
  bool TreeMouse(QEvent *event) {
    switch (event->type()) {
      case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        pressPos_ = mouse->position().toPoint();
        QTreeWidgetItem *node = folderTree_->NodeAt(pressPos_);
        pressed_ = mouse->button() == Qt::LeftButton && node &&
                           folderTree_->visualItemRect(node).contains(pressPos_)
                       ? node
                       : nullptr;
        return false;
      }
      case QEvent::MouseMove: {
        if (!pressed_) return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!(mouse->buttons() & Qt::LeftButton)) {
          pressed_ = nullptr;
          return false;
        }
        if ((mouse->position().toPoint() - pressPos_).manhattanLength() >=
            QApplication::startDragDistance()) {
          const bool selected = pressed_ == folderTree_->currentItem();
          pressed_ = nullptr;
          if (selected) StartTreeDrag(form_);
        }
        return true;
      }
      case QEvent::MouseButtonRelease: pressed_ = nullptr; return false;
      default: return false;
    }
  }

  TBrowserHost &form_;
  const QObject *tree_, *grid_, *window_;
  TFolderTree *folderTree_;
  TDropTarget treeTarget_, gridTarget_, windowTarget_;
  QPoint pressPos_;
  const QTreeWidgetItem *pressed_ = nullptr;
};

// The tree's selected node as a drag source: its folder, and where it goes
// in targetFolder.
bool TreeDragPaths(TBrowserHost &form, const std::string &targetFolder, std::string &source,
                   std::string &destination) {
  QTreeWidgetItem *selected = form.Tree()->currentItem();
  source = form.Tree()->SelectedFolderRead();
  if (!selected || source.empty() || targetFolder.empty()) return false;
  destination = TreeFolderDestination(targetFolder, TFolderTree::NodeName(selected),
                                      selected->parent() != nullptr);
  // A folder never goes into itself or below itself.
  return !InsideFolder(destination, source);
}

// The marked entries of the current tab go into destinationFolder.
void StartGridOperation(TBrowserHost &form, const std::string &destinationFolder) {
  const TFileListState &list = form.ListState();
  if (destinationFolder.empty()) return;
  // StartOperation takes the entries from the folder they were listed from.
  if (!MarkedFoldersMayGoTo(list.FileList, list.ListedFolder, destinationFolder)) return;
  StartOperation(list, destinationFolder);
}

}  // namespace

DragSource DropSource(const QDropEvent *event) {
  const QMimeData *data = event->mimeData();
  if (!data || !data->hasFormat(DragMimeType) || !event->source()) return DragSource::Outside;
  const QByteArray tag = data->data(DragMimeType);
  return DragSourceFromTag(std::string(tag.constData(), static_cast<size_t>(tag.size())));
}

std::vector<std::string> DroppedPaths(const QMimeData *data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl &url : data->urls()) {
    if (!url.isLocalFile()) continue;
    // The path's bytes as they were encoded, valid UTF-8 or not.
    const QByteArray path =
        QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!path.isEmpty()) paths.emplace_back(path.constData(), static_cast<size_t>(path.size()));
  }
  return paths;
}

void FolderTreeDragDrop(TBrowserHost &form, DragSource source, QTreeWidgetItem *target) {
  if (!target || target == form.Tree()->currentItem()) return;
  const std::string targetFolder = form.Tree()->NodeToFolder(target);
  if (source == DragSource::Grid) {
    StartGridOperation(form, targetFolder);
  } else if (source == DragSource::Tree) {
    std::string from, to;
    if (TreeDragPaths(form, targetFolder, from, to)) StartFolderOperation(from, to);
  }
}

void TCTrovixDragDrop(TBrowserHost &form, DragSource source, int32_t index) {
  // The new-tab tab stands for no folder yet: nothing goes there.
  const std::string folder = form.TabFolder(index);
  if (folder.empty()) return;
  if (source == DragSource::Grid) {
    StartGridOperation(form, folder);
  } else if (source == DragSource::Tree) {
    std::string from, to;
    if (TreeDragPaths(form, folder, from, to)) StartFolderOperation(from, to);
  }
}

bool GFileInfoDragOver(TBrowserHost &form, DragSource source, int32_t row) {
  return GridAcceptsDrag(form.ListState().FileList, source, row);
}

void GFileInfoDragDrop(TBrowserHost &form, DragSource source, int32_t row) {
  const std::vector<FileEntry> &list = form.ListState().FileList;
  if (!GridAcceptsDrag(list, source, row)) return;
  const std::string folder = form.CurrentFolder();
  if (folder.empty()) return;
  StartGridOperation(form, folder + list[static_cast<size_t>(row - 1)].Name + PathDelim);
}

void ReceiveFilesReceiveFile(TBrowserHost &form, const std::string &path) {
  std::string folder, name;
  if (!SplitDroppedPath(path, folder, name)) return;
  form.ListState().PendingSelectName = name;
  // The tree's change event lists the new tab, which makes the item current.
  form.OpenInNewTab(folder);
  // Not listed (no such folder): the name must not surface in a later listing.
  form.ListState().PendingSelectName.clear();
}

void InstallDragDrop(TBrowserHost &form) {
  auto *filter = new TDragDropFilter(form);
  form.Tree()->viewport()->setAcceptDrops(true);
  form.Tree()->viewport()->installEventFilter(filter);
  form.Grid()->viewport()->setAcceptDrops(true);
  form.Grid()->viewport()->installEventFilter(filter);
  form.HostWindow()->setAcceptDrops(true);
  form.HostWindow()->installEventFilter(filter);

  TBrowserHost *f = &form;
  QObject::connect(form.Grid(), &TFileGrid::dragStartRequested, form.HostWindow(),
                   [f] { StartGridDrag(*f); });
  form.Tabs()->OnDragOver = [](QDropEvent *event, int32_t) {
    return TabsAcceptDrag(DropSource(event)) || HasOutsidePaths(event);
  };
  form.Tabs()->OnDragDrop = [f](QDropEvent *event, int32_t index) {
    const DragSource source = DropSource(event);
    if (TabsAcceptDrag(source)) {
      AcceptCopy(event);
      AfterDrop(*f,
                [source, index](TBrowserHost &target) { TCTrovixDragDrop(target, source, index); });
    } else if (HasOutsidePaths(event)) {
      AcceptCopy(event);
      ReceiveFiles(*f, event);
    }
  };
}

}  // namespace trovix
