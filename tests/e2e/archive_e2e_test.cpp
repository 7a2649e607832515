// SPDX-License-Identifier: GPL-3.0-or-later
// The archive with the real server: an older store is archived once at the
// first start, oldest first, and the call's mail follows it. The parts
// themselves are read back by a mail parser in tests/qt.
#include <map>

#include "server_run.h"

namespace {

using namespace ondrix_e2e;
using ::testing::HasSubstr;

// The messages of Maildir/new in the order delivered ("Q<n>" in each name).
std::vector<std::string> archived(const fs::path& maildir) {
  std::map<long, std::string> found;
  for (const auto& e : fs::directory_iterator(maildir / "new")) {
    const std::string name = e.path().filename().string();
    found[std::stol(name.substr(name.find('Q') + 1))] = readFile(e.path());
  }
  std::vector<std::string> out;
  for (auto& [q, m] : found) out.push_back(m);
  return out;
}

TEST_F(ServerRun, AnOlderStoreIsArchivedOnceThenTheCallsMailFollows) {
  writeFile(
      dir_ / "amp.dat",
      " 0 \r\n 2 \r\n 5 \r\n 0 \r\n\"0311112222*7\",\"CALL ME\",\"12/06 09:31\",\"\",\"\"\r\n"
      "\"0311112222\",\"older\",\"12/06 09:30\",\"<MEL=T120>C\",\"RE9UAAgACDxCpYGlmUI8\"\r\n");
  startModem(1, {"--call", "terminal", "--report", report()});
  ASSERT_EQ(runServer("click StartBtn\nwaitfor 20000 Text3 TAVIXメールあり\n" +
                      callJudged("terminal") + "wait 300\nclose\n"),
            0);
  stopModem();
  const std::vector<std::string> m = archived(dir_ / "Maildir");
  ASSERT_EQ(m.size(), 3u);
  EXPECT_THAT(m[0], HasSubstr(" 06 Dec 20"));
  EXPECT_THAT(m[0], HasSubstr(" 09:30:00 +"));
  EXPECT_THAT(m[1], HasSubstr(" 09:31:00 +"));
  EXPECT_THAT(m[1], HasSubstr("\nFrom: 0311112222*7 <0311112222*7@caller.invalid>\n"));
  EXPECT_THAT(m[1], HasSubstr("\nX-Ondrix-Kind: voice\n"));
  EXPECT_THAT(m[2], HasSubstr("\nX-Ondrix-Kind: mail\n"));
  EXPECT_THAT(m[2], HasSubstr("filename=\"Image.bmp\""));
  EXPECT_TRUE(fs::is_empty(dir_ / "Maildir" / "tmp"));

  ASSERT_EQ(runServer("wait 300\nclose\n"), 0);  // the Maildir exists: nothing again
  EXPECT_EQ(archived(dir_ / "Maildir").size(), 3u);
}

}  // namespace
