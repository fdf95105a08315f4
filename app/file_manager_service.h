// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Trovix on the session bus. The program's own name (kAppId) keeps one Trovix
// per desktop session: a second start hands its folders and files to the
// first and ends. The freedesktop name org.freedesktop.FileManager1, when no
// other program holds it, lets other programs' "Show in folder" open tabs
// here. Both names serve the FileManager1 interface at kFileManagerPath.
#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace trovix {

inline constexpr char kAppId[] = "io.github.trovix.Trovix";
inline constexpr char kFileManagerName[] = "org.freedesktop.FileManager1";
inline constexpr char kFileManagerPath[] = "/org/freedesktop/FileManager1";

// The org.freedesktop.FileManager1 interface. Each call turns its file://
// URLs into places to show; URLs of nothing that exists are skipped with a
// trace line. Calls that arrive before a handler is set are kept for it.
class FileManagerObject : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
 public:
  using ShowHandler = std::function<void(const std::vector<OpenTarget> &targets)>;
  using TraceHandler = std::function<void(const std::string &line)>;

  explicit FileManagerObject(QObject *parent = nullptr) : QObject(parent) {}
  void SetHandlers(ShowHandler show, TraceHandler trace);
  // A line for the debug trace, kept until a trace handler is set.
  void AddTrace(const std::string &line);
  // How long a call waits for the disk to say what its paths are; paths
  // that have not answered by then are shown as they are written.
  int LookMs = 50;

 public slots:
  // Each folder in a tab; a URL of a file shows it in its folder.
  void ShowFolders(const QStringList &uris, const QString &startupId);
  // Each item current in its folder, folders included.
  void ShowItems(const QStringList &uris, const QString &startupId);
  // Trovix has no properties window: the items are shown as by ShowItems.
  void ShowItemProperties(const QStringList &uris, const QString &startupId);

 private:
  void Show(const QStringList &uris, bool items);

  ShowHandler show_;
  TraceHandler trace_;
  std::vector<OpenTarget> pending_;
  std::vector<std::string> pendingTrace_;
};

class FileManagerService {
 public:
  enum class Role {
    Alone,   // no session bus: the program runs without the service
    First,   // this process holds kAppId and serves the interface
    Second,  // another Trovix holds kAppId: hand over and end
  };

  explicit FileManagerService(QDBusConnection connection = QDBusConnection::sessionBus());
  ~FileManagerService();

  // Exports the interface and claims kAppId, then org.freedesktop.FileManager1
  // when it is free.
  Role Start();
  // Whether this process holds org.freedesktop.FileManager1.
  bool ServesFileManager() const { return servesFileManager_; }
  // Second: hands the targets to the running Trovix, in order (no targets
  // just brings its window forward). False with error set when it did not
  // answer.
  bool HandOver(const std::vector<OpenTarget> &targets, std::string &error);
  // First: from now on calls reach show; trace gets what Start found and each
  // call's skipped URLs.
  void Serve(FileManagerObject::ShowHandler show, FileManagerObject::TraceHandler trace);
  FileManagerObject &Object() { return object_; }

 private:
  QDBusConnection bus_;
  FileManagerObject object_;
  bool exported_ = false;
  bool ownsAppId_ = false;
  bool servesFileManager_ = false;
};

}  // namespace trovix
