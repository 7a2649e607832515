// SPDX-License-Identifier: GPL-3.0-or-later
// The server left alone on the simulated modem: a device that goes and
// comes back, a hang-up the modem refuses, and the journal of the calls.
// Nobody presses a key after the first 開始.
#include <sys/stat.h>

#include <regex>

#include "server_run.h"

namespace {

using namespace ondrix_e2e;

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

  // The journal's lines, each split at its tabs.
  std::vector<std::vector<std::string>> journal() const {
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(readFile(dir_ / "calls.log"));
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string> fields;
      std::size_t from = 0;
      for (std::size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1) {
        fields.push_back(line.substr(from, tab - from));
      }
      fields.push_back(line.substr(from));
      lines.push_back(fields);
    }
    return lines;
  }
};

TEST_F(Unattended, DeviceReturnsAndTheNextCallIsAnswered) {
  startModem(1, {"--away", "2", "--call", "unplug", "--call", "terminal", "--report", report()});
  ASSERT_EQ(runServerFor("click StartBtn\nwaitfor 20000 Text3 ポートが切断されました\n" +
                         dumpText("Text3", "gone") + "waitfor 60000 Text3 TAVIXメールあり\n" +
                         dumpText("Text3", "after") + "close\n"),
            0);
  EXPECT_TRUE(reported("terminal"));
  stopModem();
  // The unplug call passes only when the start command came again within
  // 30 s of the device's return.
  EXPECT_EQ(readFile(report()), "unplug passed\nterminal passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("gone"), "ポートが切断されました。再接続を試みます\n");
  EXPECT_EQ(shown("after"), "通信終了\nTAVIXメールあり\n");
}

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
  const auto lines = journal();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0][4], "voice message 1; hang-up refused, recovered");
  EXPECT_EQ(lines[1][4], "voice message 1");
}

// Appended across two runs of the server, one line per call, readable by
// the operator alone.
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

  const std::vector<std::vector<std::string>> want = {
      {"terminal", "0123456789", "CONTENTSPP-X01", "mail 1"},
      {"other", "0123456789", "CONTENTSPP-X02", "not answered"},
      {"terminal", "0123456789", "CONTENTSPP-X01", "carrier lost"},
      {"voice", "0123456789*12", "CALL ME 5PM", "voice message 1"},
  };
  const auto lines = journal();
  ASSERT_EQ(lines.size(), want.size()) << readFile(dir_ / "calls.log");
  const std::regex stamp(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)");
  for (std::size_t i = 0; i < want.size(); ++i) {
    ASSERT_EQ(lines[i].size(), 6u) << i;
    EXPECT_TRUE(std::regex_match(lines[i][0], stamp)) << lines[i][0];
    EXPECT_EQ(std::vector<std::string>(lines[i].begin() + 1, lines[i].begin() + 5), want[i]);
    EXPECT_LT(std::stoi(lines[i][5]), 30) << "length of call " << i;
  }
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / "calls.log").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
