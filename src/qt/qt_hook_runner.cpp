// SPDX-License-Identifier: GPL-3.0-or-later
// The new-mail hook's runner: at most a few at once, the rest queued in
// order; each one's stderr kept only as a short tail, its stdout dropped.
#include "qt/qt_hook_runner.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <memory>

#include "qt/qt_files.h"
#include "qt/qt_text.h"

namespace ondrix {
namespace {

// A hook that floods stderr keeps only this much of its end.
constexpr qsizetype kErrorTailBytes = 4096;

struct RunState {
  bool timedOut = false;
  QByteArray errorTail;
};

void killGroup(QProcess* process) {
  const qint64 pid = process->processId();
  // The hook leads its own group: whatever it started goes with it.
  if (pid > 0) ::kill(static_cast<pid_t>(-pid), SIGKILL);
}

}  // namespace

QtHookRunner::QtHookRunner(QtFiles& files, int timeLimitMs, int atOnce)
    : files_(files), timeLimitMs_(timeLimitMs), atOnce_(atOnce) {}

QtHookRunner::~QtHookRunner() {
  for (QProcess* process : processes_.findChildren<QProcess*>()) {
    process->disconnect();
    killGroup(process);
  }
}

HookFileFacts QtHookRunner::inspect(const Text& path) {
  HookFileFacts facts;
  const QString native = files_.nativePath(path);
  struct stat file {};
  if (::stat(QFile::encodeName(native).constData(), &file) != 0 || !S_ISREG(file.st_mode)) {
    return facts;
  }
  facts.exists = true;
  facts.executable = ::access(QFile::encodeName(native).constData(), X_OK) == 0;
  facts.mode = file.st_mode & 07777;
  facts.ownedByUs = file.st_uid == ::geteuid();
  struct stat folder {};
  if (::stat(QFile::encodeName(QFileInfo(native).absolutePath()).constData(), &folder) == 0) {
    facts.folderMode = folder.st_mode & 07777;
    facts.folderOwnedByUs = folder.st_uid == ::geteuid();
  } else {
    facts.folderOwnedByUs = false;
  }
  return facts;
}

void QtHookRunner::run(const HookCall& call) {
  waiting_.push_back(call);
  startWaiting();
}

void QtHookRunner::startWaiting() {
  while (running_ < atOnce_ && !waiting_.empty()) {
    const HookCall call = std::move(waiting_.front());
    waiting_.pop_front();
    start(call);
  }
}

void QtHookRunner::start(const HookCall& call) {
  ++running_;
  auto* process = new QProcess(&processes_);
  auto state = std::make_shared<RunState>();
  process->setProgram(files_.nativePath(call.program));
  QStringList arguments;
  for (const Text& argument : call.arguments) arguments << toQString(argument);
  if (!arguments.isEmpty()) arguments[0] = files_.nativePath(call.arguments.front());
  process->setArguments(arguments);
  process->setWorkingDirectory(toQString(call.workingDirectory));
  process->setStandardInputFile(QProcess::nullDevice());
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setChildProcessModifier([] { ::setpgid(0, 0); });

  QObject::connect(process, &QProcess::readyReadStandardError, process, [process, state] {
    state->errorTail += process->readAllStandardError();
    if (state->errorTail.size() > kErrorTailBytes) {
      state->errorTail = state->errorTail.right(kErrorTailBytes);
    }
  });
  auto* limit = new QTimer(process);
  limit->setSingleShot(true);
  QObject::connect(limit, &QTimer::timeout, process, [process, state] {
    state->timedOut = true;
    killGroup(process);
  });
  QObject::connect(process, &QProcess::finished, process,
                   [this, process, state, limit](int exitCode, QProcess::ExitStatus status) {
                     limit->stop();
                     state->errorTail += process->readAllStandardError();
                     state->errorTail = state->errorTail.right(kErrorTailBytes);
                     HookEnd end;
                     end.how = state->timedOut                 ? HookEnd::How::TimedOut
                               : status == QProcess::CrashExit ? HookEnd::How::Crashed
                                                               : HookEnd::How::Exited;
                     end.exitCode = exitCode;
                     end.errorTail = toText(QString::fromUtf8(state->errorTail));
                     process->deleteLater();
                     finish(end);
                   });
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [this, process, limit](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     limit->stop();
                     process->deleteLater();
                     finish({HookEnd::How::NotStarted, 0, {}});
                   });
  limit->start(timeLimitMs_);
  process->start();
}

void QtHookRunner::finish(const HookEnd& end) {
  --running_;
  ended(end);
  startWaiting();
}

}  // namespace ondrix
