// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real server binary, offscreen, against the line simulator on a
// pseudo-terminal. Each test runs in a directory of its own, holding a copy
// of the server (its program directory) and the simulator's COMn link.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace ondrix_e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline const fs::path kBinDir = ONDRIX_BIN_DIR;

inline std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

// Standard output and error go to `output` when one is given.
inline pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const fs::path& output = {}) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  if (!output.empty()) {
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      ::close(fd);
    }
  }
  for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

// Exit status, or -1 when the process had to be killed at the deadline.
inline int waitFor(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Polls `done` until it holds or `limit` has passed; whether it held. For
// what another process does, in its own time.
template <typename Pred>
bool waitUntil(Pred done, std::chrono::milliseconds limit = 20000ms) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// A script line that waits until the simulator has judged the call named
// `call` (passed or failed) in report(), so the server stays up until the
// call is over.
inline std::string callJudged(const std::string& call) {
  return "waitfile 30000 report " + call + "\n";
}

class ServerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ondrix-e2e-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs::copy_file(kBinDir / "ondrix-server-scripted", dir_ / "ondrix-server");
  }

  void TearDown() override {
    stopModem();
    if (display_ > 0 && ::kill(display_, SIGTERM) == 0) waitFor(display_, 5000ms);
    if (silentBus_ >= 0) ::close(silentBus_);
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Ports that exist by name but cannot be opened: links to nowhere.
  void brokenPorts(std::initializer_list<int> ports) {
    for (int n : ports) {
      fs::create_symlink(dir_ / ("gone-" + std::to_string(n)), dir_ / ("COM" + std::to_string(n)));
    }
  }

  // `folder`: a data folder other than the test's (a server's --dir); its
  // simulator is then the caller's to stop.
  pid_t startModem(int port, std::vector<std::string> extra = {}, const fs::path& folder = {}) {
    const fs::path at = folder.empty() ? dir_ : folder;
    std::vector<std::string> argv{(kBinDir / "ondrix-linesim").string(),
                                  "--dir",
                                  at.string(),
                                  "--port",
                                  std::to_string(port),
                                  "--log",
                                  log().string()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    const fs::path link = at / ("COM" + std::to_string(port));
    const pid_t modem = spawn(argv, {}, at / "linesim.out");
    if (folder.empty()) std::tie(link_, modem_) = std::pair(link, modem);
    // The simulator links the port last, once it answers.
    EXPECT_TRUE(waitUntil([&] { return fs::is_symlink(link); }))
        << "the simulator did not link " << link << ": " << readFile(at / "linesim.out");
    return modem;
  }

  void stopModem() {
    if (modem_ <= 0) return;
    ::kill(modem_, SIGTERM);
    EXPECT_EQ(waitFor(modem_, 5000ms), 0);
    modem_ = 0;
    EXPECT_FALSE(fs::is_symlink(link_)) << "the simulator left its link behind";
    EXPECT_FALSE(fs::exists(link_.string() + ".linesim")) << "the simulator left its socket behind";
  }

  // Runs the server with the automation script; returns its exit status.
  int runServer(const std::string& script) {
    writeFile(dir_ / "script", script);
    const pid_t pid =
        spawn({(dir_ / "ondrix-server").string()},
              {"QT_QPA_PLATFORM=offscreen", "ONDRIX_TEST_SCRIPT=" + (dir_ / "script").string()});
    return waitFor(pid, 30000ms);
  }

  // Starts the server with the automation script and returns at once.
  // `prefix` runs it through another program (a change of user); `env` adds
  // to its environment; `args` are the server's own; `output` takes its
  // standard output and error.
  pid_t startServer(const std::string& script, const std::vector<std::string>& prefix = {},
                    std::vector<std::string> env = {}, const std::vector<std::string>& args = {},
                    const fs::path& output = {}) {
    writeFile(dir_ / "script", script);
    std::vector<std::string> argv = prefix;
    argv.push_back((dir_ / "ondrix-server").string());
    argv.insert(argv.end(), args.begin(), args.end());
    env.insert(env.begin(),
               {"QT_QPA_PLATFORM=offscreen", "ONDRIX_TEST_SCRIPT=" + (dir_ / "script").string()});
    return spawn(argv, env, output);
  }

  // The operator's new-mail program beside the store, only its owner's.
  void putHook(const std::string& bytes) {
    writeFile(dir_ / "new-mail", bytes);
    fs::permissions(dir_ / "new-mail", fs::perms::owner_all, fs::perm_options::replace);
  }

  // A display of the test's own (Xvfb), as the environment that puts the
  // server on it; empty when none could be started.
  std::vector<std::string> startDisplay() {
    if (!fs::exists("/usr/bin/Xvfb")) return {};
    display_ = spawn({"/usr/bin/Xvfb", "-displayfd", "1", "-nolisten", "tcp"}, {}, dir_ / "X");
    std::smatch number;
    const std::regex line(R"((?:^|\n)(\d+)\n)");
    std::string said;
    const auto up = [&] { return std::regex_search(said = readFile(dir_ / "X"), number, line); };
    if (!waitUntil(up)) return {};
    return {"QT_QPA_PLATFORM=xcb", "DISPLAY=:" + number[1].str()};
  }

  // A session bus that takes every connection and never says a word: a
  // listening socket nobody reads. Its address, as the environment gives it.
  std::string silentBus() {
    sockaddr_un where{AF_UNIX, {}};
    const std::string path = (dir_ / "bus").string();
    path.copy(where.sun_path, sizeof where.sun_path - 1);
    silentBus_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_TRUE(::bind(silentBus_, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0 &&
                ::listen(silentBus_, 64) == 0);
    return "DBUS_SESSION_BUS_ADDRESS=unix:path=" + path;
  }

  // The server's copy run as a command (no script), by default on a machine
  // with no display at all: its exit status, and what it printed.
  int command(const std::vector<std::string>& args, std::string& printed,
              const std::vector<std::string>& env = {
                  "QT_QPA_PLATFORM=", "DISPLAY=", "WAYLAND_DISPLAY="}) {
    std::vector<std::string> argv{(dir_ / "ondrix-server").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    const int status = waitFor(spawn(argv, env, dir_ / "command.out"), 40000ms);
    printed = readFile(dir_ / "command.out");
    return status;
  }
  // A call of the simulator serving `folder`, played through it: its verdict.
  int call(const fs::path& folder, const std::vector<std::string>& args) {
    std::vector<std::string> argv{(kBinDir / "ondrix-linesim").string(), "call"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.insert(argv.end(), {"--dir", folder.string()});
    return waitFor(spawn(argv, {}, folder / "call.out"), 40000ms);
  }

  fs::path log() const { return dir_ / "received.log"; }
  // Where the simulator puts each call's verdict, given as its --report.
  fs::path report() const { return dir_ / "report"; }
  // What the simulator printed: the dialogue of every call it played.
  fs::path modemOutput() const { return dir_ / "linesim.out"; }
  std::string shown(const char* dumpName) const { return readFile(dir_ / dumpName); }
  fs::path dump(const char* name) const { return dir_ / name; }
  // Script lines that leave what a control shows, or whether it is enabled,
  // in the file `name` of the test's directory.
  std::string dumpText(const char* control, const char* name) const {
    return std::string("dump ") + control + " " + dump(name).string() + "\n";
  }
  std::string dumpEnabled(const char* control, const char* name) const {
    return std::string("enabled ") + control + " " + dump(name).string() + "\n";
  }

  fs::path dir_;
  fs::path link_;
  pid_t modem_ = 0;
  pid_t display_ = 0;
  int silentBus_ = -1;
};

}  // namespace ondrix_e2e
