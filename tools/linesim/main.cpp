// ondrix-linesim: plays the modem on a pseudo-terminal linked as COMn in the
// server's program directory, so the server runs without hardware.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "modem.h"
#include "pty_link.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

struct Options {
  std::string dir = ".";
  int port = 1;
  std::string log;
  linesim::ModemConfig modem;
};

void usage(std::FILE* to) {
  std::fputs(
      "usage: ondrix-linesim [options]\n"
      "  --dir DIR        program directory of the server (default: .)\n"
      "  --port N         link the line as COM<N> in DIR (default: 1)\n"
      "  --model TEXT     model line answered to ati3 (default: QV-M7)\n"
      "  --start CMD      start command answered OK (default: at#sy1=40)\n"
      "  --setup CMD      set-up command answered OK (default: atu3v1q0\\v2#ps2=1)\n"
      "  --ok CMD         one more command answered OK (repeatable)\n"
      "  --no-echo        do not echo what the server sends\n"
      "  --silent         never answer (the server's replies time out)\n"
      "  --log FILE       append every byte received from the server to FILE\n"
      "Stops on SIGINT or SIGTERM and removes the COM<N> link.\n",
      to);
}

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--dir") {
      if (!value(o.dir)) return false;
    } else if (a == "--port") {
      if (!value(v)) return false;
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (*end != '\0' || n < 1 || n > 99) return false;
      o.port = static_cast<int>(n);
    } else if (a == "--model") {
      if (!value(o.modem.model)) return false;
    } else if (a == "--start") {
      if (!value(o.modem.startCommand)) return false;
    } else if (a == "--setup") {
      if (!value(o.modem.setupCommand)) return false;
    } else if (a == "--ok") {
      if (!value(v)) return false;
      o.modem.extraOk.push_back(v);
    } else if (a == "--no-echo") {
      o.modem.echo = false;
    } else if (a == "--silent") {
      o.modem.silent = true;
    } else if (a == "--log") {
      if (!value(o.log)) return false;
    } else {
      return false;
    }
  }
  return true;
}

// Writes as much of `pending` as the line takes now; the rest waits.
void flushOut(int fd, std::string& pending) {
  while (!pending.empty()) {
    const ssize_t n = ::write(fd, pending.data(), pending.size());
    if (n <= 0) return;  // full (EAGAIN) or gone; retried on the next turn
    pending.erase(0, static_cast<std::size_t>(n));
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options opt;
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    usage(stdout);
    return 0;
  }
  if (!parse(argc, argv, opt)) {
    usage(stderr);
    return 2;
  }

  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  linesim::PtyLink pty;
  std::string error;
  if (!pty.create(opt.dir, opt.port, error)) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 1;
  }
  std::ofstream log;
  if (!opt.log.empty()) {
    log.open(opt.log, std::ios::binary | std::ios::app);
    if (!log) {
      std::fprintf(stderr, "ondrix-linesim: cannot write %s\n", opt.log.c_str());
      return 1;
    }
  }
  std::printf("ondrix-linesim: modem \"%s\" on %s -> %s\n", opt.modem.model.c_str(),
              pty.linkPath().c_str(), pty.slavePath().c_str());
  std::fflush(stdout);

  linesim::Modem modem(opt.modem);
  std::string pending;
  char buf[4096];
  while (!stopRequested) {
    pollfd pfd{pty.masterFd(), static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
    const int r = ::poll(&pfd, 1, 200);
    if (r < 0) {
      if (errno == EINTR) continue;
      std::perror("ondrix-linesim: poll");
      break;
    }
    if (r > 0 && (pfd.revents & POLLIN)) {
      const ssize_t n = ::read(pty.masterFd(), buf, sizeof buf);
      if (n > 0) {
        const std::string in(buf, static_cast<std::size_t>(n));
        if (log.is_open()) {
          log.write(in.data(), static_cast<std::streamsize>(in.size()));
          log.flush();
        }
        pending += modem.receive(in);
      }
    }
    flushOut(pty.masterFd(), pending);
  }
  pty.removeLink();
  return 0;
}
