// SPDX-License-Identifier: GPL-3.0-or-later
// ondrix-linesim: plays the modem on a pseudo-terminal linked as COMn in the
// server's program directory, so the server runs without hardware; plays
// scripted calls through that modem and checks what the server answers.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "call_client.h"
#include "control.h"
#include "options.h"
#include "pty_link.h"
#include "simulator.h"
#include "startup.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    linesim::usage(stdout);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "call") == 0) return linesim::callClient(argc - 1, argv + 1);

  linesim::Options opt;
  std::string error;
  if (!linesim::parse(argc, argv, opt, error)) {
    if (!error.empty()) std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    linesim::usage(stderr);
    return 2;
  }

  // First: every other step needs the folder.
  if (!linesim::makeFolder(opt.dir, error)) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 1;
  }

  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  linesim::PtyLink pty;
  if (!pty.create(error)) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 1;
  }
  const std::string controlPath = linesim::controlPath(opt.dir, opt.port);
  const int control = linesim::listenControl(controlPath, error);
  if (control < 0) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 1;
  }
  linesim::Simulator sim(opt, pty, control);
  if (!sim.openLog()) {
    error = linesim::startFailure(linesim::StartFailure::Log, opt.log, errno);
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 1;
  }
  if (!sim.queueOwnCalls()) return 2;
  // Last: from here on whatever the server sends is answered.
  if (!pty.link(opt.dir, opt.port, error)) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    ::close(control);
    ::unlink(controlPath.c_str());
    return 1;
  }
  std::printf("ondrix-linesim: modem \"%s\" on %s -> %s; calls: %s\n", opt.modem.model.c_str(),
              pty.linkPath().c_str(), pty.slavePath().c_str(), controlPath.c_str());
  std::fflush(stdout);

  const int status = sim.run(stopRequested);
  ::close(control);
  ::unlink(controlPath.c_str());
  pty.removeLink();
  return status;
}