// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated port after its last user: what a killed server left behind
// reaches nobody who opens the port next, whatever its account.
#include "pty_link.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace linesim {
namespace {

// An ordinary account for the next opener when the test runs as root.
constexpr uid_t kNobody = 65534;

// A server that opens the port, takes it for itself and waits to be killed.
pid_t holdPort(const std::string& link, int master) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0 || ::ioctl(fd, TIOCEXCL) != 0 || ::write(fd, "!", 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  // Until it has the port, the master reports a hang-up, not its byte.
  char c = 0;
  for (int i = 0; i < 500; ++i, ::usleep(10000)) {
    if (::read(master, &c, 1) == 1) return pid;
  }
  return -1;
}

// How the next opener finds the port: "" when as never opened, else what
// was left (its open refused, its exclusive mode, or bytes to read).
std::string nextOpener(const std::string& link) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(9);
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) ::_exit(1);
    int exclusive = 0;
    if (::ioctl(fd, TIOCGEXCL, &exclusive) != 0 || exclusive) ::_exit(2);
    pollfd p{fd, POLLIN, 0};
    ::_exit(::poll(&p, 1, 300) == 0 ? 0 : 3);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const char* what[] = {"", "refused", "exclusive", "bytes to read"};
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return code >= 0 && code <= 3 ? what[code] : "no opener ran";
}

struct LastUserRow {
  const char* fault;
  std::string unread;      // the modem said it, the server never read it
  std::string afterClose;  // the modem said it while nobody had the port open
};

void PrintTo(const LastUserRow& row, std::ostream* os) { *os << row.fault; }

class LastClose : public ::testing::TestWithParam<LastUserRow> {};

TEST_P(LastClose, NextOpenerFindsThePortAsNeverOpened) {
  const LastUserRow& row = GetParam();
  char dir[] = "/tmp/ondrix-pty-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  ::chmod(dir, 0755);
  PtyLink pty;
  std::string error;
  ASSERT_TRUE(pty.create(error) && pty.link(dir, 1, error)) << error;
  ::chmod(pty.slavePath().c_str(), 0666);

  const pid_t server = holdPort(pty.linkPath(), pty.masterFd());
  ASSERT_GT(server, 0);
  std::string said = row.unread;
  pty.send(said);
  std::string leftOver;
  EXPECT_FALSE(pty.followLastClose(leftOver)) << "the port is still open";
  ::kill(server, SIGKILL);
  ::waitpid(server, nullptr, 0);
  EXPECT_TRUE(pty.followLastClose(leftOver));
  said = row.afterClose;
  pty.send(said);
  ::chmod(pty.slavePath().c_str(), 0666);

  EXPECT_EQ(nextOpener(pty.linkPath()), "") << row.fault;
  pty.removeLink();
  ::rmdir(dir);
}

INSTANTIATE_TEST_SUITE_P(
    KilledServer, LastClose,
    ::testing::Values(LastUserRow{"exclusive mode of the killed server", "", ""},
                      LastUserRow{"a ring the killed server never read", "\r\nRING\r\n", ""},
                      LastUserRow{"a ring sent while nobody had the port open", "",
                                  "\r\nRING\r\n"}));

}  // namespace
}  // namespace linesim
