// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated port after a killed server (its port closed by the kernel, as a close here does):
// what it left reaches nobody who opens the port next, whatever the account.
#include "pty_link.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace linesim {
namespace {

struct LastUserRow {
  const char* fault;
  std::string unread;      // the modem said it, the server never read it
  std::string afterClose;  // the modem said it while nobody had the port open
};

// How the next opener finds the port: "" when as never opened. Root passes
// an exclusive mode that refuses any other account, so the mode is asked.
std::string nextOpener(const std::string& link) {
  const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  int exclusive = 1;
  pollfd p{fd, POLLIN, 0};
  const bool bytes = ::poll(&p, 1, 300) != 0;
  ::ioctl(fd, TIOCGEXCL, &exclusive);
  ::close(fd);
  return fd < 0 ? "refused" : exclusive ? "exclusive" : bytes ? "bytes to read" : "";
}

class LastClose : public ::testing::TestWithParam<LastUserRow> {};

TEST_P(LastClose, NextOpenerFindsThePortAsNeverOpened) {
  char dir[] = "/tmp/ondrix-pty-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  PtyLink pty;
  std::string error, leftOver, said = GetParam().unread;
  ASSERT_TRUE(pty.create(error) && pty.link(dir, 1, error)) << error;
  const int server = ::open(pty.linkPath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(::ioctl(server, TIOCEXCL), 0);
  pty.send(said);
  ::close(server);
  EXPECT_TRUE(pty.followLastClose(leftOver));
  pty.send(said = GetParam().afterClose);
  EXPECT_EQ(nextOpener(pty.linkPath()), "") << GetParam().fault;
  pty.removeLink();
  ::rmdir(dir);
}

INSTANTIATE_TEST_SUITE_P(KilledServer, LastClose,
                         ::testing::Values(LastUserRow{"its exclusive mode", "", ""},
                                           LastUserRow{"a ring it never read", "RING\r\n", ""},
                                           LastUserRow{"a ring to nobody", "", "RING\r\n"}));

}  // namespace
}  // namespace linesim
