// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, auto-search and the files written at exit, with the simulated
// modem answering commands.
#include "server_run.h"

namespace {

using namespace ondrix_e2e;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kStartThenSetup =
    "at#sy1=40\r"
    "atu3v1q0\\v2#ps2=1\r";

TEST_F(ServerRun, StartButtonSendsStartThenSetupAndExitWritesStoreAndSettings) {
  startModem(1);
  // Nothing follows the set-up command.
  const int status = runServer(
      "click StartBtn\n"
      "waitfile 10000 received.log #ps2=1\n"
      "wait 1000\n" +
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

// A logout or a service manager stops the program with a signal: it closes
// as if the operator had closed the window, so store and settings are written.
TEST_F(ServerRun, TerminationSignalClosesTheWindowAndWritesTheFiles) {
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) {
    fs::remove(dir_ / "amp.dat");
    fs::remove(dir_ / "brellin.ini");
    fs::remove(dump("ready"));
    // The signal handling is in place before the script runs.
    const pid_t pid = startServer(dumpEnabled("StartBtn", "ready") + "wait 60000\n");
    ASSERT_TRUE(waitUntil([&] { return fs::exists(dump("ready")); })) << "signal " << sig;
    ::kill(pid, sig);
    EXPECT_EQ(waitFor(pid, 10000ms), 0) << "signal " << sig;
    EXPECT_TRUE(fs::exists(dir_ / "amp.dat")) << "signal " << sig;
    EXPECT_TRUE(fs::exists(dir_ / "brellin.ini")) << "signal " << sig;
  }
}

TEST_F(ServerRun, AutoSearchSkipsMissingPortsAndStartsTheServerWhereTheModemAnswers) {
  brokenPorts({1, 2});
  startModem(3);
  const int status = runServer(
      "click ScarchBtn\n"
      "waitfor 8000 Text3 QV-M7が見つかました\n"
      "waitfile 10000 received.log #ps2=1\n" +
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
  // The arguments file appears whole, once the player has run.
  writeFile(player,
            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" \"$0.args\"\n");
  fs::permissions(player, fs::perms::owner_all);
  writeFile(dir_ / "brellin.ini",
            "\"at#sy1=40\"\r\n\"atu3v1q0\\v2#ps2=1\"\r\n1\r\n\"QV-M7\"\r\n"
            "\"\",\"\",\"0\"\r\n\"" +
                player.string() + " --loop\"\r\n");
  writeFile(
      dir_ / "amp.dat",
      " 0 \r\n 1 \r\n 5 \r\n 0 \r\n\"0311112222\",\"hi\",\"12/07 09:30\",\"<MEL=T120>C\",\"\"\r\n");
  ASSERT_EQ(runServer("click DownBtn\nclick NumBtn0\nwaitfile 10000 player.sh.args melody.mmd\n" +
                      dumpText("Text3", "text3") + "close\n"),
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
