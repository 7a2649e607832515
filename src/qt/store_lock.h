// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One server per store: a lock file in the folder that holds the mail store,
// and a local socket through which a second start asks the running server to
// bring its window to the front.
#include <QLockFile>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;

namespace ondrix {

class StoreLock {
 public:
  // The lock file's name in the folder.
  static inline const QString kFileName = QStringLiteral("ondrix-server.lock");

  enum class Outcome {
    Taken,          // this server holds the folder (a dead holder's lock is taken over)
    HeldByAnother,  // a running server holds it
    Unavailable,    // no lock could be made or read: the server runs without one
  };

  explicit StoreLock(const QString& folder);
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  ~StoreLock();

  // Tries once; a lock whose process is gone is taken over. The lock file is
  // the owner's alone whatever the umask.
  Outcome take();
  // Gives the folder up as the end of the program does; for an end that
  // skips the destructors.
  void release();
  // The lock taken was left by a server that died without ending.
  bool tookOverDeadHolder() const { return tookOver_; }

  // The reply to a request; `untilEnd` holds the connection open until the
  // process ends, so the client learns when the server has gone.
  struct Reply {
    std::string bytes;
    bool untilEnd = false;
  };
  // A request's bytes (not empty) to the reply; set by the server before it
  // listens.
  using Answer = std::function<Reply(const std::string& request)>;
  // While the lock is held: a second start's empty request raises `window`,
  // any other is given to `answer`. False, with a line on standard error,
  // when no channel could be made.
  bool listenForSecondStarts(QWidget& window, Answer answer = {});
  // From a second start: asks the server holding the folder to show its
  // window. False when none answered.
  bool askHolderToShowItself() const;
  // From a start with a request: the reply of the server holding the
  // folder, read until it closes the connection (a server asked to end
  // closes it only as it ends); nothing when none could be reached within
  // `waitMs` (a server still starting is waited for).
  std::optional<std::string> ask(const std::string& request, int waitMs) const;

  // The socket's path for `folder`: the same for every path that leads to
  // the folder.
  static QString channelPath(const QString& folder);

 private:
  void acceptRequests();
  void readRequest(int fd);
  void showWindow();
  struct Client;

  QString folder_;
  QLockFile lock_;
  int listener_ = -1;
  QString listening_;  // the socket's path while listening
  std::unique_ptr<QSocketNotifier> notifier_;
  QPointer<QWidget> window_;
  Answer answer_;
  std::vector<std::unique_ptr<Client>> clients_;
  // Connections whose reply went out, held open until the process ends:
  // their client waits for the server's end.
  std::vector<int> heldOpen_;
  bool tookOver_ = false;
};

}  // namespace ondrix
