// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/folder_watch_ui.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>

#include "foundation/file_system.h"
#include "foundation/worker_pool_ui.h"

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
  wanted_ = wanted;
  QStringList drop;
  for (const QString &path : watcher_.directories())
    if (!wanted.contains(path)) drop << path;
  if (!drop.isEmpty()) watcher_.removePaths(drop);
  for (auto it = probing_.begin(); it != probing_.end();) {
    if (wanted.contains(it->first)) {
      ++it;
    } else {
      it->second->Cancel();
      it = probing_.erase(it);
    }
  }
  const QStringList watched = watcher_.directories();
  for (const QString &path : wanted) {
    if (watched.contains(path) || probing_.count(path)) continue;
    const QByteArray bytes = QFile::encodeName(path);
    const std::string name(bytes.constData(), static_cast<size_t>(bytes.size()));
    probing_[path] =
        AsyncRunner().Run([name](const TWorkerJob &) { FsFolderExists(name); },
                          [this, path] {
                            probing_.erase(path);
                            // A folder that cannot be watched stays unwatched.
                            if (wanted_.contains(path) && !watcher_.directories().contains(path))
                              watcher_.addPath(path);
                          });
  }
  // Those that answer at once are watched now, the others when they answer.
  QElapsedTimer clock;
  clock.start();
  std::vector<TJobHandle> jobs;
  for (const auto &[path, job] : probing_) jobs.push_back(job);
  for (const TJobHandle &job : jobs) {
    const qint64 left = std::max<qint64>(0, ProbeMs - clock.elapsed());
    if (job->WaitFinished(std::chrono::milliseconds(left))) TWorkerPool::Deliver(job);
  }
}

TFolderWatch::~TFolderWatch() {
  for (auto &[path, job] : probing_) job->Cancel();
}

std::vector<std::string> TFolderWatch::Folders() const {
  std::vector<std::string> folders;
  for (const QString &path : watcher_.directories()) folders.push_back(FromWatchPath(path));
  return folders;
}

}  // namespace trovix
