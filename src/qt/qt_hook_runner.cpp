// SPDX-License-Identifier: GPL-3.0-or-later
// The new-mail hook's runner: at most a few at once, the rest queued in
// order; each one's stderr kept only as a short tail, its stdout dropped.
// The file is checked through the descriptor that is then executed, so what
// was checked is what runs, whatever is renamed in between.
#include "qt/qt_hook_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "qt/child_start.h"
#include "qt/qt_files.h"
#include "qt/qt_text.h"
#include "records/new_mail_hook.h"

namespace ondrix {
namespace {

// A hook that floods stderr keeps only this much of its end.
constexpr qsizetype kErrorTailBytes = 4096;
// As the kernel's own limit on links followed in one path.
constexpr int kMostLinks = 40;

bool ourOrRoot(uid_t owner) { return owner == ::geteuid() || owner == 0; }

bool inOurGroups(gid_t group) {
  if (group == ::getegid()) return true;
  gid_t groups[256];
  const int n = ::getgroups(256, groups);
  for (int i = 0; i < n; ++i) {
    if (groups[i] == group) return true;
  }
  return false;
}

bool executableByUs(const struct stat& file) {
  if (::geteuid() == 0) return (file.st_mode & 0111) != 0;
  if (file.st_uid == ::geteuid()) return (file.st_mode & S_IXUSR) != 0;
  if (inOurGroups(file.st_gid)) return (file.st_mode & S_IXGRP) != 0;
  return (file.st_mode & S_IXOTH) != 0;
}

struct Checked {
  HookFileFacts facts;
  child::Fd program;  // the checked file, when it is one
};

// Walks the path one name at a time from the root, following links as the
// kernel would, and notes every folder it passes through: one another
// account could write to could have led the walk anywhere. A sticky folder
// of root's (/tmp) keeps each entry to its owner and counts as closed.
Checked check(const QString& path) {
  Checked out;
  out.facts.folderOwnedByUs = true;
  const auto note = [&out](const struct stat& folder) {
    out.facts.folderOwnedByUs = out.facts.folderOwnedByUs && ourOrRoot(folder.st_uid);
    const bool rootSticky = folder.st_uid == 0 && (folder.st_mode & S_ISVTX) != 0;
    out.facts.folderMode |= (folder.st_mode & 07777) & (rootSticky ? ~0022U : ~0U);
  };
  std::vector<std::string> rest;  // the names still to walk, the next one last
  const auto push = [&rest](const std::string& names) {
    std::size_t end = names.size();
    while (end > 0) {
      const std::size_t slash = names.rfind('/', end - 1);
      const std::size_t from = slash == std::string::npos ? 0 : slash + 1;
      if (end > from) rest.push_back(names.substr(from, end - from));
      if (slash == std::string::npos) break;
      end = slash;
    }
  };
  const auto root = [] { return child::Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)); };
  push(QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString());
  child::Fd folder = root();
  struct stat seen {};
  if (!folder || ::fstat(folder.get(), &seen) != 0) return out;
  note(seen);
  int links = 0;
  while (!rest.empty()) {
    const std::string name = std::move(rest.back());
    rest.pop_back();
    if (name == ".") continue;
    child::Fd next(::openat(folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!next || ::fstat(next.get(), &seen) != 0) return out;
    if (S_ISLNK(seen.st_mode)) {
      char target[PATH_MAX];
      const ssize_t n = ::readlinkat(next.get(), "", target, sizeof target);
      if (++links > kMostLinks || n <= 0 || n == sizeof target) return out;
      push(std::string(target, static_cast<std::size_t>(n)));
      if (target[0] == '/') folder = root();
      continue;
    }
    if (rest.empty() && S_ISREG(seen.st_mode)) {
      out.facts.exists = true;
      out.facts.executable = executableByUs(seen);
      out.facts.mode = seen.st_mode & 07777;
      out.facts.ownedByUs = ourOrRoot(seen.st_uid);
      out.program = std::move(next);
      return out;
    }
    if (!S_ISDIR(seen.st_mode)) return out;
    note(seen);
    folder = std::move(next);
  }
  return out;
}

// The archived message, or /dev/null. Opened without waiting: a FIFO put in
// its place gets /dev/null too.
child::Fd standardInput(const QString& file) {
  if (!file.isEmpty()) {
    child::Fd fd(
        ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat seen {};
    if (fd && ::fstat(fd.get(), &seen) == 0 && S_ISREG(seen.st_mode) &&
        ::fcntl(fd.get(), F_SETFL, 0) == 0) {
      return fd;
    }
  }
  return child::Fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
}

}  // namespace

struct QtHookRunner::Run {
  pid_t keeper = -1;
  bool reaped = false;
  bool timedOut = false;
  bool hookOver = false;
  child::Fd report, error;
  std::unique_ptr<QSocketNotifier> reportNotifier, errorNotifier;
  QByteArray reportBytes, errorTail;
  QTimer limit;

  void readError() {
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(error.get(), buffer, sizeof buffer)) > 0) {
      errorTail.append(buffer, n);
      if (errorTail.size() > kErrorTailBytes) errorTail = errorTail.right(kErrorTailBytes);
    }
    // At its end the pipe stays readable: no more wake-ups for it.
    if (n == 0 && errorNotifier) errorNotifier->setEnabled(false);
  }
};

QtHookRunner::QtHookRunner(QtFiles& files, int timeLimitMs, int atOnce)
    : files_(files), timeLimitMs_(timeLimitMs), atOnce_(atOnce) {}

QtHookRunner::~QtHookRunner() {
  // Each keeper ends its hook and everything the hook left, on its own.
  for (const auto& run : runs_) {
    if (!run->reaped) ::kill(run->keeper, SIGTERM);
  }
}

HookFileFacts QtHookRunner::inspect(const Text& path) {
  return check(files_.nativePath(path)).facts;
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
  const auto notStarted = [this] {
    // Reported from the event loop, as every other end is.
    QTimer::singleShot(0, &context_, [this] {
      --running_;
      ended({HookEnd::How::NotStarted, 0, {}});
      startWaiting();
    });
  };
  const QString program = files_.nativePath(call.program);
  // Checked again at its start: what was checked is what runs.
  Checked checked = check(program);
  child::Pipe report, error;
  if (hookVerdict(checked.facts) != HookVerdict::Run || !report.make() || !error.make()) {
    return notStarted();
  }
  const child::Fd input =
      standardInput(call.standardInput.empty() ? QString() : files_.nativePath(call.standardInput));
  const child::Fd output(::open("/dev/null", O_WRONLY | O_CLOEXEC));
  child::Launch launch;
  launch.program = checked.program.get();
  launch.argv.push_back(QFile::encodeName(program).toStdString());
  for (std::size_t i = 0; i < call.arguments.size(); ++i) {
    const QString argument =
        i == 0 ? files_.nativePath(call.arguments[0]) : toQString(call.arguments[i]);
    launch.argv.push_back(QFile::encodeName(argument).toStdString());
  }
  launch.workingDirectory = QFile::encodeName(toQString(call.workingDirectory)).toStdString();
  launch.input = input.get();
  launch.output = output.get();
  launch.error = error.write.get();
  const pid_t keeper = child::startKept(launch, report.write.get());
  if (keeper < 0) return notStarted();

  auto& run = *runs_.emplace_back(std::make_unique<Run>());
  run.keeper = keeper;
  run.report = std::move(report.read);
  run.error = std::move(error.read);
  run.errorNotifier = std::make_unique<QSocketNotifier>(run.error.get(), QSocketNotifier::Read);
  QObject::connect(run.errorNotifier.get(), &QSocketNotifier::activated, &context_,
                   [&run] { run.readError(); });
  run.reportNotifier = std::make_unique<QSocketNotifier>(run.report.get(), QSocketNotifier::Read);
  QObject::connect(run.reportNotifier.get(), &QSocketNotifier::activated, &context_, [this, &run] {
    char buffer[64];
    ssize_t n;
    while ((n = ::read(run.report.get(), buffer, sizeof buffer)) > 0)
      run.reportBytes.append(buffer, n);
    // The first record is the hook's end; the keeper may linger after it.
    if (!run.hookOver && run.reportBytes.size() >= qsizetype(sizeof(child::Report))) {
      child::Report record;
      std::memcpy(&record, run.reportBytes.constData(), sizeof record);
      HookEnd end{HookEnd::How::Exited, record.value, {}};
      if (record.kind == child::Report::NotStarted) {
        end = {HookEnd::How::NotStarted, 0, {}};
      } else if (run.timedOut) {
        end.how = HookEnd::How::TimedOut;
      } else if (record.kind == child::Report::Killed) {
        end.how = HookEnd::How::Crashed;
      }
      hookEnded(run, end);
    }
    if (n == 0) {  // the keeper is gone, and all it kept
      run.reportNotifier->setEnabled(false);
      if (!run.hookOver) hookEnded(run, {HookEnd::How::Crashed, SIGKILL, {}});
      reap(run);
    }
  });
  run.limit.setSingleShot(true);
  QObject::connect(&run.limit, &QTimer::timeout, &context_, [&run] {
    run.timedOut = !run.hookOver;
    if (!run.reaped) ::kill(run.keeper, SIGTERM);
  });
  run.limit.start(timeLimitMs_);
}

void QtHookRunner::hookEnded(Run& run, const HookEnd& end) {
  run.hookOver = true;
  run.readError();
  run.errorNotifier.reset();
  run.error = child::Fd();
  HookEnd told = end;
  told.errorTail = toText(QString::fromUtf8(run.errorTail));
  --running_;
  ended(told);
  startWaiting();
}

void QtHookRunner::reap(Run& run) {
  const pid_t done = ::waitpid(run.keeper, nullptr, WNOHANG);
  if (done == 0) {
    // The keeper closed its pipe on its way out: it ends in a moment.
    QTimer::singleShot(10, &context_, [this, &run] { reap(run); });
    return;
  }
  run.reaped = true;
  QTimer::singleShot(0, &context_, [this, &run] {
    runs_.remove_if([&run](const std::unique_ptr<Run>& r) { return r.get() == &run; });
  });
}

}  // namespace ondrix
