// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// TFolderWatch: tells when folders that are on screen (the listed folder, the
// expanded tree nodes) are changed by any program, so they can be read again.
// Changes are taken together: the first change of a quiet spell starts a
// short wait, and everything changed until it ends is reported at once, so a
// burst of thousands of files costs a few reads, not thousands.
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace trovix {

class TFolderWatch : public QObject {
  Q_OBJECT
 public:
  explicit TFolderWatch(QObject *parent = nullptr);
  // Watches exactly these folders (paths ending with PathDelim) from now on.
  void SetFolders(const std::vector<std::string> &folders);
  std::vector<std::string> Folders() const;
  // How long changes are gathered before they are reported.
  int CoalesceMs = 300;
  // The folders changed during one wait.
  std::function<void(const std::set<std::string> &changed)> OnChanged;

 private:
  QFileSystemWatcher watcher_;
  QTimer wait_;
  std::set<std::string> changed_;
};

}  // namespace trovix
