// The real server binary, offscreen, against the line simulator on a
// pseudo-terminal. Each test runs in a directory of its own, holding a copy
// of the server (its program directory) and the simulator's COMn link.
#include <gmock/gmock.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path kBinDir = ONDRIX_BIN_DIR;

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary);
  out << bytes;
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  for (const std::string& e : env) ::putenv(const_cast<char*>(e.c_str()));
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

// Exit status, or -1 when the process had to be killed at the deadline.
int waitFor(pid_t pid, std::chrono::milliseconds limit) {
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

class ServerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ondrix-e2e-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    fs::copy_file(kBinDir / "ondrix-server", dir_ / "ondrix-server");
  }

  void TearDown() override {
    stopModem();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  // Ports that exist by name but cannot be opened: links to nowhere.
  void brokenPorts(std::initializer_list<int> ports) {
    for (int n : ports) {
      fs::create_symlink(dir_ / ("gone-" + std::to_string(n)), dir_ / ("COM" + std::to_string(n)));
    }
  }

  void startModem(int port, std::vector<std::string> extra = {}) {
    std::vector<std::string> argv{(kBinDir / "ondrix-linesim").string(),
                                  "--dir",
                                  dir_.string(),
                                  "--port",
                                  std::to_string(port),
                                  "--log",
                                  log().string()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    link_ = dir_ / ("COM" + std::to_string(port));
    modem_ = spawn(argv, {});
    for (int i = 0; i < 150 && !fs::is_symlink(link_); ++i) std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(fs::is_symlink(link_)) << "the simulator did not link " << link_;
  }

  void stopModem() {
    if (modem_ <= 0) return;
    ::kill(modem_, SIGTERM);
    EXPECT_EQ(waitFor(modem_, 5000ms), 0);
    modem_ = 0;
    EXPECT_FALSE(fs::is_symlink(link_)) << "the simulator left its link behind";
  }

  // Runs the server with the automation script; returns its exit status.
  int runServer(const std::string& script) {
    writeFile(dir_ / "script", script);
    const pid_t pid =
        spawn({(dir_ / "ondrix-server").string()},
              {"QT_QPA_PLATFORM=offscreen", "ONDRIX_TEST_SCRIPT=" + (dir_ / "script").string()});
    return waitFor(pid, 30000ms);
  }

  fs::path log() const { return dir_ / "received.log"; }
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
};

const std::string kStartThenSetup =
    "at#sy1=40\r"
    "atu3v1q0\\v2#ps2=1\r";

TEST_F(ServerRun, StartButtonSendsStartThenSetupAndExitWritesStoreAndSettings) {
  startModem(1);
  const int status = runServer(
      "click StartBtn\n"
      "wait 1500\n" +
      dumpText("Text3", "text3") + dumpEnabled("StopBtn", "stop") + "close\n");
  ASSERT_EQ(status, 0);
  stopModem();

  EXPECT_EQ(readFile(log()), kStartThenSetup);
  EXPECT_EQ(shown("text3"), "");  // a successful start shows nothing
  EXPECT_EQ(shown("stop"), "1");
  // Store and settings are written at exit; the settings with the defaults
  // and the port the server ran on.
  EXPECT_TRUE(fs::exists(dir_ / "amp.dat"));
  EXPECT_EQ(readFile(dir_ / "brellin.ini"),
            "\"at#sy1=40\"\r\n"
            "\"atu3v1q0\\v2#ps2=1\"\r\n"
            "1\r\n"
            "\"QV-M7\"\r\n"
            "\"\",\"\",\"0\"\r\n"
            "\"\"\r\n");
}

TEST_F(ServerRun, AutoSearchSkipsMissingPortsAndStartsTheServerWhereTheModemAnswers) {
  brokenPorts({1, 2});
  startModem(3);
  const int status = runServer(
      "click ScarchBtn\n"
      "waitfor 8000 Text3 QV-M7が見つかました\n"
      "wait 1000\n" +
      dumpText("Text3", "text3") + dumpText("ComNo", "comno") + dumpEnabled("StopBtn", "stop") +
      "close\n");
  ASSERT_EQ(status, 0);
  stopModem();

  EXPECT_EQ(shown("text3"), "QV-M7が見つかました\n");
  EXPECT_EQ(shown("stop"), "1");  // the server runs on the port found
  EXPECT_EQ(shown("comno"), "3");
  EXPECT_EQ(readFile(log()), "ati3\r" + kStartThenSetup);
  EXPECT_TRUE(fs::exists(dir_ / "amp.dat"));
  EXPECT_THAT(readFile(dir_ / "brellin.ini"), ::testing::HasSubstr("\r\n3\r\n"));
}

TEST_F(ServerRun, KeyZeroOnAShownMailPlaysItsMelodyWithThePlayerOfTheSettings) {
  const fs::path player = dir_ / "player.sh";
  writeFile(player, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n");
  fs::permissions(player, fs::perms::owner_all);
  writeFile(dir_ / "brellin.ini",
            "\"at#sy1=40\"\r\n\"atu3v1q0\\v2#ps2=1\"\r\n1\r\n\"QV-M7\"\r\n"
            "\"\",\"\",\"0\"\r\n\"" +
                player.string() + " --loop\"\r\n");
  writeFile(
      dir_ / "amp.dat",
      " 0 \r\n 1 \r\n 5 \r\n 0 \r\n\"0311112222\",\"hi\",\"12/07 09:30\",\"<MEL=T120>C\",\"\"\r\n");
  ASSERT_EQ(runServer("click DownBtn\nclick NumBtn0\nwait 500\n" + dumpText("Text3", "text3") +
                      "close\n"),
            0);

  EXPECT_EQ(shown("text3"), "001:12/07 09:30 ♪\n0311112222\nhi");
  EXPECT_EQ(readFile(dir_ / "player.sh.args"), "--loop\n" + (dir_ / "melody.mmd").string() + "\n");
  EXPECT_THAT(readFile(dir_ / "melody.mmd"), ::testing::StartsWith("<MEL=T120>C"));
}

// A modem that answers with another model, and one that never answers (the
// reply countdown runs out): either way every port is tried and the search
// ends in the not-found line with the controls stopped.
struct NoMatch {
  const char* name;
  // Printed by name, so test listings stay short.
  friend void PrintTo(const NoMatch& c, std::ostream* os) { *os << c.name; }
  std::vector<std::string> modemArgs;
};

class SearchWithoutMatch : public ServerRun, public ::testing::WithParamInterface<NoMatch> {};

TEST_P(SearchWithoutMatch, GivesUpAfterPortNine) {
  brokenPorts({2, 3, 4, 5, 6, 7, 8, 9});
  startModem(1, GetParam().modemArgs);
  const int status = runServer(
      "click ScarchBtn\n"
      "waitfor 8000 Text3 が見つかりません\n" +
      dumpText("Text3", "text3") + dumpText("ComNo", "comno") + dumpEnabled("StartBtn", "start") +
      dumpEnabled("StopBtn", "stop") + "close\n");
  ASSERT_EQ(status, 0);
  stopModem();

  EXPECT_EQ(shown("text3"), "QV-M7が見つかりません\n");
  EXPECT_EQ(shown("comno"), "9");
  EXPECT_EQ(readFile(log()), "ati3\r");  // nothing is started on a port without the modem
  EXPECT_EQ(shown("start"), "1");        // the port controls are back in their stopped state
  EXPECT_EQ(shown("stop"), "0");
}

INSTANTIATE_TEST_SUITE_P(Modems, SearchWithoutMatch,
                         ::testing::Values(NoMatch{"AnotherModel", {"--model", "QV-X9"}},
                                           NoMatch{"Silent", {"--silent"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
