// SPDX-License-Identifier: GPL-3.0-or-later
// The `call` form: sends one request to the control socket, prints the
// transcript as it comes and exits with the verdict.
#include "call_client.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "call.h"
#include "control.h"
#include "options.h"

namespace linesim {

namespace {

// The directory this program lives in: where scripts/run.sh starts the
// simulator, so `call` finds it without being told.
std::string ownDirectory(const char* argv0) {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string path = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string(argv0);
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

}  // namespace

// `ondrix-linesim call NAME ...`: plays one call through the running simulator.
int callClient(int argc, char** argv) {
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  const std::string name = argv[1];
  std::string dir = ownDirectory(argv[0]);
  int port = 1;
  CallOptions options;
  std::string error;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const int taken = parseCallOption(argc, argv, i, options, error);
    if (taken > 0) continue;
    if (taken == 0 && a == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (taken == 0 && a == "--port" && i + 1 < argc && parseNumber(argv[i + 1], port)) {
      ++i;
    } else {
      std::fprintf(stderr, "ondrix-linesim: %s\n",
                   error.empty() ? ("bad argument " + a).c_str() : error.c_str());
      return 2;
    }
  }
  Script check;
  if (!makeCall(name, options, check, error)) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 2;
  }
  // A simulator started a moment ago, in the background on the line before,
  // may not listen yet: it gets a short while.
  int fd = -1;
  for (int tries = 0; (fd = connectControl(controlPath(dir, port), error)) < 0 && tries < 20;
       ++tries) {
    ::usleep(100 * 1000);
  }
  if (fd < 0) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 2;
  }
  sendAll(fd, encodeRequest(name, options));
  std::string in;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    in.append(buf, static_cast<std::size_t>(n));
    for (std::size_t eol; (eol = in.find('\n')) != std::string::npos; in.erase(0, eol + 1)) {
      const std::string line = in.substr(0, eol);
      if (line.rfind("| ", 0) == 0) {
        std::printf("%s\n", line.c_str() + 2);
        std::fflush(stdout);
      } else if (line == "= passed") {
        ::close(fd);
        return 0;
      } else if (line == "= failed") {
        ::close(fd);
        return 1;
      }
    }
  }
  ::close(fd);
  std::fprintf(stderr, "ondrix-linesim: the simulator went away before the call ended\n");
  return 1;
}

}  // namespace linesim
