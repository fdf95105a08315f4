// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFolderWatch: tells when folders that are on screen (the listed folder, the
// expanded tree nodes) are changed by any program, so they can be read again.
// Changes are taken together: the first change of a quiet spell starts a
// short wait, and everything changed until it ends is reported at once, so a
// burst of thousands of files costs a few reads, not thousands.
//
// Adding a watch looks the folder up, which on a mount that does not answer
// would hold the window: each new folder is looked up on a worker first and
// watched once it has answered, at once when it answers within ProbeMs.
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "foundation/worker_pool.h"

namespace trovix {

class TFolderWatch : public QObject {
  Q_OBJECT
 public:
  explicit TFolderWatch(QObject *parent = nullptr);
  ~TFolderWatch() override;
  // Watches exactly these folders (paths ending with PathDelim) from now on.
  void SetFolders(const std::vector<std::string> &folders);
  std::vector<std::string> Folders() const;
  // How long changes are gathered before they are reported.
  int CoalesceMs = 300;
  // How long SetFolders waits for new folders to answer.
  int ProbeMs = 20;
  // The folders changed during one wait.
  std::function<void(const std::set<std::string> &changed)> OnChanged;

 private:
  QFileSystemWatcher watcher_;
  QTimer wait_;
  std::set<std::string> changed_;
  QStringList wanted_;
  // The new folders being looked up, by watch path.
  std::map<QString, TJobHandle> probing_;
};

}  // namespace trovix
