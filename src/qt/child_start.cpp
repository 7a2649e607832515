// SPDX-License-Identifier: GPL-3.0-or-later
// Fork and exec by hand: the window's thread only forks, and everything
// after the fork is a system call, so no lock another thread held can stall
// the child, and nothing the parent does waits for it.
#include "qt/child_start.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTimer>
#include <cerrno>

extern char** environ;

namespace ondrix::child {

Fd::Fd(int fd) : fd_(fd) {
  if (fd_ >= 0 && fd_ < 3) {
    fd_ = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
  }
}

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

int Fd::release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

bool Pipe::make() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  read = Fd(ends[0]);
  write = Fd(ends[1]);
  ::fcntl(read.get(), F_SETFL, O_NONBLOCK);
  return read && write;
}

namespace {

// The argument vectors as execve takes them, built before the fork.
struct Vectors {
  std::vector<char*> program;
  std::vector<std::vector<char*>> attempts;

  explicit Vectors(const Launch& launch) {
    program = pointers(launch.argv);
    for (const Attempt& attempt : launch.attempts) attempts.push_back(pointers(attempt.argv));
  }
  static std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (const std::string& s : strings) out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
  }
};

void tell(int report, Report::Kind kind, int value) {
  const Report record{kind, value};
  [[maybe_unused]] const auto n = ::write(report, &record, sizeof record);
}

// Every signal back to its default; all of them stay blocked.
void defaultSignals() {
  struct sigaction none {};
  none.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) {
    if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &none, nullptr);
  }
}

// Closes every descriptor but those in `keep` (-1 entries ignored).
void closeAllBut(int (&keep)[5]) {
  // Ascending, by insertion: no library call after the fork.
  for (int i = 1; i < 5; ++i) {
    for (int j = i; j > 0 && keep[j - 1] > keep[j]; --j) {
      const int t = keep[j];
      keep[j] = keep[j - 1];
      keep[j - 1] = t;
    }
  }
  unsigned from = 3;
  for (int fd : keep) {
    if (fd < static_cast<int>(from)) continue;
    if (static_cast<unsigned>(fd) > from) ::close_range(from, static_cast<unsigned>(fd) - 1, 0);
    from = static_cast<unsigned>(fd) + 1;
  }
  if (::close_range(from, ~0U, 0) != 0) {
    // A kernel without close_range: one at a time, up to the limit.
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t last = limit.rlim_cur == RLIM_INFINITY ? 65536 : limit.rlim_cur;
    for (rlim_t fd = 3; fd < last; ++fd) {
      bool kept = false;
      for (int k : keep) kept = kept || k == static_cast<int>(fd);
      if (!kept) ::close(static_cast<int>(fd));
    }
  }
}

// In the forked child: standard descriptors, folder, signals, then the
// program. Never returns.
[[noreturn]] void execute(const Launch& launch, Vectors& vectors, int report) {
  const int standard[3] = {launch.input, launch.output, launch.error};
  for (int i = 0; i < 3; ++i) {
    if (standard[i] >= 0) ::dup2(standard[i], i);
  }
  if (!launch.workingDirectory.empty() && ::chdir(launch.workingDirectory.c_str()) != 0) {
    tell(report, Report::NotStarted, errno);
    ::_exit(127);
  }
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  if (launch.program >= 0) {
    ::fexecve(launch.program, vectors.program.data(), environ);
    // A script's interpreter reads it through /dev/fd/N, which close-on-exec
    // would have closed by then: the script alone keeps its own descriptor.
    if (errno == ENOENT && ::fcntl(launch.program, F_SETFD, 0) == 0) {
      ::fexecve(launch.program, vectors.program.data(), environ);
    }
  } else {
    for (std::size_t i = 0; i < launch.attempts.size(); ++i) {
      ::execve(launch.attempts[i].path.c_str(), vectors.attempts[i].data(), environ);
    }
  }
  tell(report, Report::NotStarted, errno);
  ::_exit(127);
}

// Kills every direct child the keeper has; those they leave come to it next.
void killChildren() {
  char path[64] = "/proc/self/task/";
  std::size_t at = 16;
  char digits[16];
  int n = 0;
  for (pid_t self = ::getpid(); self > 0; self /= 10)
    digits[n++] = static_cast<char>('0' + self % 10);
  while (n > 0) path[at++] = digits[--n];
  for (const char* tail = "/children"; *tail != '\0';) path[at++] = *tail++;
  path[at] = '\0';
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  char list[4096];
  const ssize_t got = ::read(fd, list, sizeof list);
  ::close(fd);
  pid_t pid = 0;
  for (ssize_t i = 0; i < got; ++i) {
    if (list[i] >= '0' && list[i] <= '9') {
      pid = pid * 10 + (list[i] - '0');
    } else if (pid > 0) {
      ::kill(pid, SIGKILL);
      pid = 0;
    }
  }
  if (pid > 0) ::kill(pid, SIGKILL);
}

[[noreturn]] void keep(const Launch& launch, Vectors& vectors, int report, pid_t server) {
  defaultSignals();
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != server) ::_exit(0);  // the server ended before the line above
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  int kept[5] = {launch.program, launch.input, launch.output, launch.error, report};
  closeAllBut(kept);
  const pid_t hook = ::fork();
  if (hook == 0) {
    ::setpgid(0, 0);
    execute(launch, vectors, report);
  }
  if (hook < 0) {
    tell(report, Report::NotStarted, errno);
    ::_exit(0);
  }
  ::setpgid(hook, hook);
  for (int fd : {launch.program, launch.input, launch.output, launch.error}) {
    if (fd >= 0) ::close(fd);
  }
  sigset_t wake;
  ::sigemptyset(&wake);
  for (int sig : {SIGCHLD, SIGTERM, SIGINT, SIGHUP}) ::sigaddset(&wake, sig);
  bool hookReaped = false, ending = false;
  for (;;) {
    int status = 0;
    pid_t pid;
    while ((pid = ::waitpid(-1, &status, ending ? 0 : WNOHANG)) > 0) {
      if (pid == hook) {
        hookReaped = true;
        if (WIFEXITED(status)) {
          tell(report, Report::Exited, WEXITSTATUS(status));
        } else {
          tell(report, Report::Killed, WTERMSIG(status));
        }
      }
      if (ending) break;
    }
    if (pid < 0 && errno == ECHILD) ::_exit(0);
    if (!ending) {
      siginfo_t info;
      const int sig = ::sigwaitinfo(&wake, &info);
      ending = sig > 0 && sig != SIGCHLD;
    }
    if (ending) {
      // The group only while its leader is unreaped: its number is ours then.
      if (!hookReaped) ::kill(-hook, SIGKILL);
      killChildren();
    }
  }
}

// Blocks every signal in the forking thread for the fork: the child must
// not run a handler of the server's before it has put them back.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t all;
    ::sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &saved_);
  }
  ~SignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t saved_;
};

}  // namespace

pid_t startKept(const Launch& launch, int report) {
  Vectors vectors(launch);
  const pid_t server = ::getpid();
  const SignalsHeld held;
  const pid_t keeper = ::fork();
  if (keeper == 0) keep(launch, vectors, report, server);
  return keeper;
}

pid_t startDetached(const Launch& launch, int report) {
  Vectors vectors(launch);
  const SignalsHeld held;
  const pid_t first = ::fork();
  if (first != 0) return first;
  defaultSignals();
  ::setsid();
  int kept[5] = {launch.program, launch.input, launch.output, launch.error, report};
  closeAllBut(kept);
  // The program's parent ends at once, so the server has nothing to wait for.
  const pid_t program = ::fork();
  if (program == 0) execute(launch, vectors, report);
  if (program < 0) tell(report, Report::NotStarted, errno);
  ::_exit(0);
}

void reapSoon(pid_t pid) {
  if (::waitpid(pid, nullptr, WNOHANG) == 0) QTimer::singleShot(10, [pid] { reapSoon(pid); });
}

}  // namespace ondrix::child
