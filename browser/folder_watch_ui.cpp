// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folder_watch_ui.h"

#include <QFile>

#include "foundation/file_system.h"

namespace trovix {

namespace {

QString ToWatchPath(const std::string &folder) {
  std::string path = folder;
  if (path.size() > 1 && path.back() == PathDelim) path.pop_back();
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string FromWatchPath(const QString &path) {
  QByteArray bytes = QFile::encodeName(path);
  std::string folder(bytes.constData(), static_cast<size_t>(bytes.size()));
  if (folder.empty() || folder.back() != PathDelim) folder += PathDelim;
  return folder;
}

}  // namespace

TFolderWatch::TFolderWatch(QObject *parent) : QObject(parent) {
  wait_.setSingleShot(true);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
    changed_.insert(FromWatchPath(path));
    // Not restarted by later changes: a steady stream is reported every wait.
    if (!wait_.isActive()) wait_.start(CoalesceMs);
  });
  connect(&wait_, &QTimer::timeout, this, [this] {
    std::set<std::string> changed;
    changed.swap(changed_);
    if (OnChanged && !changed.empty()) OnChanged(changed);
  });
}

void TFolderWatch::SetFolders(const std::vector<std::string> &folders) {
  QStringList wanted;
  for (const std::string &folder : folders)
    if (!folder.empty()) wanted << ToWatchPath(folder);
  wanted.removeDuplicates();
  QStringList drop;
  for (const QString &path : watcher_.directories())
    if (!wanted.contains(path)) drop << path;
  if (!drop.isEmpty()) watcher_.removePaths(drop);
  QStringList add;
  const QStringList watched = watcher_.directories();
  for (const QString &path : wanted)
    if (!watched.contains(path)) add << path;
  if (!add.isEmpty()) watcher_.addPaths(add);  // a folder that cannot be watched stays unwatched
}

std::vector<std::string> TFolderWatch::Folders() const {
  std::vector<std::string> folders;
  for (const QString &path : watcher_.directories()) folders.push_back(FromWatchPath(path));
  return folders;
}

}  // namespace trovix
