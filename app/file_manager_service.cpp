// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/file_manager_service.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <optional>

#include "foundation/file_system.h"
#include "foundation/platform.h"
#include "foundation/worker_pool_ui.h"

namespace trovix {

namespace {

std::string Bytes(const QString &text) { return text.toStdString(); }

// The targets of paths (nullopt where nothing exists), looked up on a worker
// for a moment: another program's request for a path on a hung mount never
// holds the window. Without an answer in time each non-empty path is taken
// as it is written, and its tab then says that its folder does not answer.
std::vector<std::optional<OpenTarget>> ResolveTargets(const std::vector<std::string> &paths,
                                                      bool items, int waitMs) {
  using Found = std::vector<std::optional<OpenTarget>>;
  std::optional<Found> found = CallBounded<Found>(
      [paths, items] {
        Found result;
        for (const std::string &path : paths) {
          OpenTarget target;
          const bool ok = items ? TargetForItem(path, target) : TargetForPath(path, target);
          result.push_back(ok ? std::optional<OpenTarget>(target) : std::nullopt);
        }
        return result;
      },
      waitMs);
  if (found) return *found;
  Found unchecked;
  for (const std::string &path : paths)
    unchecked.push_back(path.empty() ? std::nullopt
                                     : std::optional<OpenTarget>(TargetUnchecked(path, items)));
  return unchecked;
}

}  // namespace

// ---- The interface -------------------------------------------------------------

void FileManagerObject::SetHandlers(ShowHandler show, TraceHandler trace) {
  show_ = std::move(show);
  trace_ = std::move(trace);
  if (trace_) {
    for (const std::string &line : pendingTrace_) trace_(line);
    pendingTrace_.clear();
  }
  if (show_ && !pending_.empty()) {
    std::vector<OpenTarget> targets;
    targets.swap(pending_);
    show_(targets);
  }
}

void FileManagerObject::ShowFolders(const QStringList &uris, const QString &) { Show(uris, false); }

void FileManagerObject::ShowItems(const QStringList &uris, const QString &) { Show(uris, true); }

void FileManagerObject::ShowItemProperties(const QStringList &uris, const QString &) {
  Show(uris, true);
}

void FileManagerObject::Show(const QStringList &uris, bool items) {
  std::vector<std::string> arguments, paths;
  for (const QString &uri : uris) {
    // URLs arrive percent-encoded, so any name's bytes survive as ASCII; a
    // bare path is accepted when it is absolute.
    const std::string argument = uri.toUtf8().toStdString();
    arguments.push_back(argument);
    paths.push_back(argument.empty() ||
                            (argument[0] != PathDelim && argument.rfind("file:", 0) != 0)
                        ? std::string()
                        : PathFromArgument(argument, "/"));
  }
  const std::vector<std::optional<OpenTarget>> found = ResolveTargets(paths, items, LookMs);
  std::vector<OpenTarget> targets;
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (found[i])
      targets.push_back(*found[i]);
    else
      AddTrace("FileManager1: nothing to show at " + arguments[i]);
  }
  if (show_)
    show_(targets);
  else
    pending_.insert(pending_.end(), targets.begin(), targets.end());
}

void FileManagerObject::AddTrace(const std::string &line) {
  if (trace_)
    trace_(line);
  else
    pendingTrace_.push_back(line);
}

// ---- The service ---------------------------------------------------------------

FileManagerService::FileManagerService(QDBusConnection connection) : bus_(std::move(connection)) {}

FileManagerService::~FileManagerService() {
  if (!bus_.isConnected()) return;
  if (servesFileManager_) {
    SetShowItemHandler(nullptr);
    bus_.unregisterService(kFileManagerName);
  }
  if (ownsAppId_) bus_.unregisterService(kAppId);
  if (exported_) bus_.unregisterObject(kFileManagerPath);
}

FileManagerService::Role FileManagerService::Start() {
  if (!bus_.isConnected() || !bus_.interface()) {
    object_.AddTrace("No session bus: Trovix runs without its D-Bus service");
    return Role::Alone;
  }
  // The object is there before a name leads calls to it.
  exported_ = bus_.registerObject(kFileManagerPath, &object_, QDBusConnection::ExportAllSlots);
  QDBusConnectionInterface *names = bus_.interface();
  QDBusReply<QDBusConnectionInterface::RegisterServiceReply> own =
      names->registerService(kAppId, QDBusConnectionInterface::DontQueueService,
                             QDBusConnectionInterface::DontAllowReplacement);
  if (!own.isValid()) {
    object_.AddTrace("Session bus refused " + std::string(kAppId) + ": " +
                     Bytes(own.error().message()));
    return Role::Alone;
  }
  if (own.value() != QDBusConnectionInterface::ServiceRegistered) return Role::Second;
  ownsAppId_ = true;

  QDBusReply<QDBusConnectionInterface::RegisterServiceReply> manager =
      names->registerService(kFileManagerName, QDBusConnectionInterface::DontQueueService,
                             QDBusConnectionInterface::DontAllowReplacement);
  servesFileManager_ =
      manager.isValid() && manager.value() == QDBusConnectionInterface::ServiceRegistered;
  if (servesFileManager_) {
    object_.AddTrace("Serving " + std::string(kFileManagerName) + " on the session bus");
  } else {
    QDBusReply<uint> pid = names->servicePid(kFileManagerName);
    std::string owner = pid.isValid() ? " (process " + std::to_string(pid.value()) + ")" : "";
    object_.AddTrace(std::string(kFileManagerName) + " is held by another program" + owner +
                     ": Trovix runs without it");
  }
  return Role::First;
}

bool FileManagerService::HandOver(const std::vector<OpenTarget> &targets, std::string &error) {
  QString startupId = qEnvironmentVariable("XDG_ACTIVATION_TOKEN");
  if (startupId.isEmpty()) startupId = qEnvironmentVariable("DESKTOP_STARTUP_ID");
  auto call = [&](const char *method, const QStringList &uris) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kAppId, kFileManagerPath, kFileManagerName, method);
    message << uris << startupId;
    QDBusMessage reply = bus_.call(message, QDBus::Block, 20000);
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    error = Bytes(reply.errorMessage());
    if (error.empty()) error = "no answer from the running Trovix";
    return false;
  };
  if (targets.empty()) return call("ShowFolders", {});
  for (const OpenTarget &target : targets) {
    QStringList uris{QString::fromStdString(FileUri(TargetPath(target)))};
    if (!call(target.CurrentFile.empty() ? "ShowFolders" : "ShowItems", uris)) return false;
  }
  return true;
}

void FileManagerService::Serve(FileManagerObject::ShowHandler show,
                               FileManagerObject::TraceHandler trace) {
  // While this process is the desktop's file manager, its own "Open File
  // Location" shows the item here directly.
  if (servesFileManager_ && show) {
    SetShowItemHandler([this, show](const std::string &path) {
      const std::optional<OpenTarget> target = ResolveTargets({path}, true, object_.LookMs).front();
      if (!target) return false;
      show({*target});
      return true;
    });
  }
  object_.SetHandlers(std::move(show), std::move(trace));
}

}  // namespace trovix
