// SPDX-License-Identifier: GPL-3.0-or-later
// The server left alone on the simulated modem: a device that goes and
// comes back, a hang-up the modem refuses, and the journal of the calls.
// Nobody presses a key after the first 開始.
#include <sys/stat.h>

#include <regex>

#include "notify_listener.h"
#include "server_run.h"

namespace {

using namespace ondrix_e2e;
using ::testing::HasSubstr;

class Unattended : public ServerRun {
 protected:
  std::string report() const { return (dir_ / "report").string(); }

  // Runs the server with the script, allowing for calls that take a while.
  int runServerFor(const std::string& script) { return waitFor(startServer(script), 90000ms); }

  // Waits until the simulator has reported the call `name` (calls end in
  // order), so that it is stopped only once its last call is over.
  bool reported(const std::string& name) {
    for (int i = 0; i < 600; ++i, std::this_thread::sleep_for(100ms)) {
      if (readFile(report()).find(name + " ") != std::string::npos) return true;
    }
    return false;
  }

  // The journal, each line from its kind to its outcome: the time stamp
  // (its form checked) and the length (a few seconds) cut off.
  std::string journal() const {
    const std::regex line(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d\t(.*)\t\d\d?\n)");
    return std::regex_replace(readFile(dir_ / "calls.log"), line, "$1\n");
  }
};

// The device goes away and returns: as it was, with its COMn link taken
// away meanwhile (nothing may be opened in its place), or with a modem that
// answers nothing for 20 s after its device is back (the start is tried
// until it answers). Nobody presses a key after 開始.
class DeviceReturns : public Unattended,
                      public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(DeviceReturns, AndTheNextCallIsAnswered) {
  std::vector<std::string> args{"--away", "2",        "--call",   "unplug",
                                "--call", "terminal", "--report", report()};
  args.insert(args.end(), GetParam().begin(), GetParam().end());
  startModem(1, args);
  ASSERT_EQ(
      waitFor(startServer("click StartBtn\nwaitfor 20000 Text3 ポートが切断されました\n" +
                          dumpText("Text3", "gone") + "waitfor 120000 Text3 TAVIXメールあり\n" +
                          dumpText("Text3", "after") + "close\n"),
              180000ms),
      0);
  EXPECT_TRUE(reported("terminal"));
  stopModem();
  // The unplug call passes only when the start command came again (and, for
  // the late modem, was answered within a minute of the modem's waking).
  EXPECT_EQ(readFile(report()), "unplug passed\nterminal passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("gone"), "ポートが切断されました。再接続を試みます\n");
  EXPECT_EQ(shown("after"), "通信終了\nTAVIXメールあり\n");
}

INSTANTIATE_TEST_SUITE_P(Unattended, DeviceReturns,
                         ::testing::Values(std::vector<std::string>{},
                                           std::vector<std::string>{"--unlink"},
                                           std::vector<std::string>{"--boot-delay", "20"}));

TEST_F(Unattended, RefusedHangUpIsTriedAgainAndTheNextCallAnswered) {
  startModem(1, {"--call", "hangup-error", "--call", "voice", "--report", report()});
  ASSERT_EQ(runServerFor("click StartBtn\nwaitfor 30000 Text3 切断を確認できず、再試行しました\n" +
                         dumpText("Text3", "recovered") +
                         "waitfor 30000 Text3 CALL ME\nwaitfor 30000 Text3 通話終了\nclose\n"),
            0);
  EXPECT_TRUE(reported("voice"));
  stopModem();
  EXPECT_EQ(readFile(report()), "hangup-error passed\nvoice passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("recovered"), "通話終了\nAメールプラスあり\n切断を確認できず、再試行しました\n");
  EXPECT_EQ(journal(),
            "voice\t0123456789*12\tCALL ME 5PM\tvoice message 1; hang-up refused, recovered\n"
            "voice\t0123456789*12\tCALL ME 5PM\tvoice message 1\n");
}

// Appended across two runs of the server, one line per call.
TEST_F(Unattended, JournalHasALinePerCallAcrossRestarts) {
  startModem(1, {"--call", "terminal", "--call", "other", "--call", "lost", "--report", report()});
  ASSERT_EQ(runServerFor("click StartBtn\nwaitfor 30000 Text3 データ着信あり\n"
                         "waitfor 30000 Text3 通信終了\nclose\n"),
            0);
  EXPECT_TRUE(reported("lost"));
  stopModem();
  startModem(1, {"--call", "voice", "--report", report()});
  ASSERT_EQ(runServerFor("click StartBtn\nwaitfor 30000 Text3 Aメールプラスあり\nclose\n"), 0);
  EXPECT_TRUE(reported("voice"));
  stopModem();
  ASSERT_EQ(readFile(report()), "terminal passed\nother passed\nlost passed\nvoice passed\n")
      << readFile(modemOutput());

  EXPECT_EQ(journal(),
            "terminal\t0123456789\tCONTENTSPP-X01\tmail 1\n"
            "other\t0123456789\tCONTENTSPP-X02\tnot answered\n"
            "terminal\t0123456789\tCONTENTSPP-X01\tcarrier lost\n"
            "voice\t0123456789*12\tCALL ME 5PM\tvoice message 1\n");
}

// Started with --start, nobody at the keys: the line is started with the
// bytes of 開始 (the simulator checks them), and a second start with --start
// ends quietly. Killed, the server is started again the same way: it takes
// over the dead server's lock, says so in the journal, starts the line within
// 10 s and has kept the mail it acknowledged before it died.
TEST_F(Unattended, StartedWithoutAPersonAndAgainAfterAKill) {
  EXPECT_EQ(waitFor(startServer("", {}, {}, {"--stat"}), 5000ms), 2) << "an unknown option";
  startModem(1, {"--call", "terminal", "--call", "voice", "--report", report()});
  const pid_t first =
      startServer("waitfor 60000 Text3 TAVIXメールあり\nwait 600000\n", {}, {}, {"--start"});
  ASSERT_TRUE(reported("terminal"));
  const pid_t second = startServer("", {}, {}, {"--start"});
  EXPECT_EQ(waitFor(second, 20000ms), 3);
  ::kill(first, SIGKILL);
  EXPECT_EQ(waitFor(first, 5000ms), 128 + SIGKILL);
  const std::string mails = readFile(dir_ / "amp.dat");

  const auto restart = std::chrono::steady_clock::now();
  const pid_t again =
      startServer("waitfor 60000 Text3 Aメールプラスあり\nclose\n", {}, {}, {"--start"});
  EXPECT_TRUE(reported("voice"));
  EXPECT_LT(std::chrono::steady_clock::now() - restart, 30s);
  EXPECT_EQ(waitFor(again, 30000ms), 0);
  stopModem();
  EXPECT_EQ(readFile(report()), "terminal passed\nvoice passed\n") << readFile(modemOutput());
  EXPECT_NE(mails.find("\"0123456789\""), std::string::npos) << "the acknowledged mail was lost";
  EXPECT_EQ(journal(),
            "terminal\t0123456789\tCONTENTSPP-X01\tmail 1\n"
            "server\t-\t-\trestarted after an unclean end\n"
            "voice\t0123456789*12\tCALL ME 5PM\tvoice message 1\n");
}

// A bus that never answers (or answers the greeting only) costs the notice and
// nothing else, with and without a display; SIGTERM, or a logout that takes
// the display away, ends the server at once, and the next start finds it clean.
struct Silence {
  bool display, greets, logout;
};

class SilentBus : public Unattended, public ::testing::WithParamInterface<Silence> {};

TEST_P(SilentBus, CostsTheNoticeAndNothingElse) {
  std::vector<std::string> env{silentBus()};
  if (GetParam().display) {
    const std::vector<std::string> display = startDisplay();
    if (display.empty()) GTEST_SKIP() << "no display could be started";
    env.insert(env.end(), display.begin(), display.end());
  }
  startModem(1);
  const pid_t server = startServer("click StartBtn\nwait 600000\n", {}, env);
  // Kept open to the end: a bus that hangs up is no silent one.
  const int greeted = GetParam().greets ? ::accept(silentBus_, nullptr, nullptr) : -1;
  if (greeted >= 0) {
    EXPECT_EQ(::write(greeted, "OK 0123456789abcdef0123456789abcdef\r\n", 37), 37);
  }
  std::this_thread::sleep_for(10s);
  const pid_t caller =
      spawn({(kBinDir / "ondrix-linesim").string(), "call", "voice", "--dir", dir_.string()}, {},
            dir_ / "call.out");
  EXPECT_EQ(waitFor(caller, 60000ms), 0) << readFile(dir_ / "call.out");
  ::kill(GetParam().logout ? display_ : server, SIGTERM);
  EXPECT_EQ(waitFor(server, 5000ms), 0) << "the server did not end within 5 s";
  EXPECT_EQ(runServerFor("close\n"), 0);
  EXPECT_EQ(journal(), "voice\t0123456789*12\tCALL ME 5PM\tvoice message 1\n");
  ::close(greeted);
}

INSTANTIATE_TEST_SUITE_P(Unattended, SilentBus,
                         ::testing::Values(Silence{false, false, false}, Silence{true, true, false},
                                           Silence{true, false, true}));

// Each record goes to the operator's new-mail program with the archived
// message, its kind and the caller; its failure is one status line after
// the call's end. The session bus points nowhere, and the calls go on.
TEST_F(Unattended, NewMailHookRunsForEachRecord) {
  putHook(
      "#!/bin/sh\nprintf '%s|%s|%s|%s\\n' \"$1\" \"$2\" \"$3\" \"$(pwd)\" >> hook.log\n"
      "cat \"$1\" >> forwarded\necho 'relay refused' >&2\nexit 75\n");
  startModem(1, {"--call", "voice", "--call", "terminal", "--report", report()});
  const pid_t server = startServer(
      "click StartBtn\nwaitfor 60000 Text3 TAVIXメールあり\n"
      "waitfor 30000 Text3 new-mail\n" +
          dumpText("Text3", "box") + "close\n",
      {}, {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus"});
  ASSERT_EQ(waitFor(server, 90000ms), 0);
  EXPECT_TRUE(reported("terminal"));
  stopModem();
  EXPECT_EQ(readFile(report()), "voice passed\nterminal passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("box"),
            "通信終了\nTAVIXメールあり\nnew-mail が終了コード 75 で終わりました：relay refused\n");
  const std::regex line(R"((.*)\|(mail|voice)\|([^|]*)\|(.*)\n)");
  const std::string log = readFile(dir_ / "hook.log");
  std::vector<std::string> runs;
  for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it) {
    EXPECT_EQ((*it)[1].str().rfind((dir_ / "Maildir/new/").string(), 0), 0u) << (*it)[1];
    EXPECT_EQ((*it)[4].str(), dir_.string());
    runs.push_back((*it)[2].str() + " " + (*it)[3].str());
  }
  EXPECT_EQ(runs, (std::vector<std::string>{"voice 0123456789*12", "mail 0123456789"})) << log;
  const std::string forwarded = readFile(dir_ / "forwarded");
  ASSERT_NE(forwarded.find("X-Ondrix-Kind: mail"), std::string::npos) << forwarded;
  EXPECT_LT(forwarded.find("X-Ondrix-Kind: voice"), forwarded.find("X-Ondrix-Kind: mail"));
}

// A hook that writes to and reads from every descriptor it could have been
// left finds none of the server's, and the next call is answered.
TEST_F(Unattended, AHookFindsNoDescriptorOfTheServers) {
  putHook(readFile(kBinDir / "ondrix-fd-probe"));
  startModem(1, {"--call", "voice", "--call", "terminal", "--report", report()});
  ASSERT_EQ(runServerFor("click StartBtn\nwaitfor 60000 Text3 TAVIXメールあり\nclose\n"), 0);
  EXPECT_TRUE(reported("terminal"));
  stopModem();
  EXPECT_EQ(readFile(report()), "voice passed\nterminal passed\n") << readFile(modemOutput());
  ASSERT_TRUE(fs::exists(dir_ / "open-descriptors"));
  EXPECT_EQ(readFile(dir_ / "open-descriptors"), "");
}

// Without a screen, under a service manager: it is told when the server is
// ready, the line's condition and a keep-alive that stops while the event
// loop hangs (a program the script waits for), so its watchdog would end
// the server; standard error, the journal's stream, carries the fault.
TEST_F(Unattended, TheServiceManagerAndTheJournalHearTheServer) {
  const std::string socket = "@ondrix-e2e-" + std::to_string(::getpid());
  NotifyListener manager(socket);
  brokenPorts({1});
  const fs::path err = dir_ / "stderr";
  writeFile(err, "");
  struct stat file {};
  ::stat(err.c_str(), &file);
  const pid_t server = startServer(
      "waitfor 20000 Text3 ポートを開けません\nwait 1000\nrun /bin/sleep 3\nwait 1000\nclose\n", {},
      {"NOTIFY_SOCKET=" + socket, "WATCHDOG_USEC=400000",
       "JOURNAL_STREAM=" + std::to_string(file.st_dev) + ":" + std::to_string(file.st_ino)},
      {"--start"}, err);
  std::string said;
  std::vector<std::chrono::steady_clock::time_point> pings;
  int status = -1;
  ASSERT_TRUE(waitUntil([&] {
    for (std::string d = manager.next(); !d.empty(); said += d, d = manager.next()) {
      if (d.find("WATCHDOG=1") != std::string::npos)
        pings.push_back(std::chrono::steady_clock::now());
    }
    return ::waitpid(server, &status, WNOHANG) == server;
  }));
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(said.starts_with("READY=1\nSTATUS=ポートがありません。開けるまで待っています\n"))
      << said;
  std::chrono::steady_clock::duration longest{};
  for (std::size_t i = 1; i < pings.size(); ++i)
    longest = std::max(longest, pings[i] - pings[i - 1]);
  EXPECT_GT(longest, 2500ms);  // none while the loop hangs
  ASSERT_GT(pings.size(), 2u);
  EXPECT_LT(pings.back() - pings[pings.size() - 2], 1000ms);  // and again after
  EXPECT_THAT(readFile(err),
              ::testing::HasSubstr("<3>ポートを開けません。開けるまで再試行します\n"));
}

// Two lines side by side, each server started as the template unit starts
// it (--start --dir FOLDER), each call kept in its own line's folder.
TEST_F(Unattended, TwoLinesEachKeepTheirOwnCalls) {
  const fs::path lines[] = {dir_ / "data" / "line1", dir_ / "data" / "line2"};
  pid_t modems[2], servers[2];
  std::string printed;
  for (int i = 0; i < 2; ++i) {
    // The first word with a folder makes it; nobody serves it yet.
    EXPECT_EQ(command({"--dir", lines[i].string(), "--offered"}, printed), 1) << printed;
    modems[i] = startModem(1, {}, lines[i]);
    servers[i] = startServer("", {}, {}, {"--start", "--dir", lines[i].string()});
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(command({"--dir", lines[i].string(), "--offered"}, printed), 0) << printed;
    EXPECT_EQ(call(lines[i], {"terminal"}), 0) << readFile(lines[i] / "call.out");
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(command({"--dir", lines[i].string(), "--quit"}, printed), 0) << printed;
    EXPECT_EQ(waitFor(servers[i], 5000ms), 0);
    ::kill(modems[i], SIGTERM);
    EXPECT_EQ(waitFor(modems[i], 5000ms), 0);
    EXPECT_THAT(readFile(lines[i] / "calls.log"), HasSubstr("\tterminal\t")) << "line " << i + 1;
    for (const fs::path& made : {lines[i], lines[i].parent_path()}) {
      EXPECT_EQ(fs::status(made).permissions() & fs::perms::all, fs::perms::owner_all) << made;
    }
  }
  EXPECT_FALSE(fs::exists(dir_ / "calls.log")) << "a line's call went to the program's folder";
}

}  // namespace
