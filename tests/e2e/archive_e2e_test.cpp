// SPDX-License-Identifier: GPL-3.0-or-later
// The archive with the real server: an older store is archived once at the
// first start, oldest first, and the call's mail follows it.
#include <map>

#include "server_run.h"
#include "store/base64.h"

namespace {

using namespace ondrix_e2e;
using ::testing::HasSubstr;

// The messages of Maildir/new in the order delivered ("Q<n>" in each name).
std::vector<std::string> archived(const fs::path& maildir) {
  std::map<long, std::string> found;
  for (const auto& e : fs::directory_iterator(maildir / "new")) {
    found[std::stol(e.path().filename().string().substr(e.path().filename().string().find('Q') +
                                                        1))] = readFile(e.path());
  }
  std::vector<std::string> out;
  for (auto& [q, m] : found) out.push_back(m);
  return out;
}

// As the message's parts carry it: 76 characters a line.
std::string base64(const std::string& bytes) {
  const auto t = ondrix::encodeBase64(ondrix::Bytes(bytes.begin(), bytes.end()));
  std::string out;
  for (std::size_t i = 0; i < t.size(); i += 76) {
    out += std::string(t.begin() + i, t.begin() + std::min(t.size(), i + 76)) + "\n";
  }
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
  for (const char* file : {"melody.mmd", "Image.bmp"}) {
    EXPECT_THAT(m[2], HasSubstr(std::string(file) + "\"\nContent-Transfer-Encoding: base64\n\n" +
                                base64(readFile(dir_ / file))));
  }
  EXPECT_TRUE(fs::is_empty(dir_ / "Maildir" / "tmp"));

  ASSERT_EQ(runServer("wait 300\nclose\n"), 0);  // the Maildir exists: nothing again
  EXPECT_EQ(archived(dir_ / "Maildir").size(), 3u);
}

}  // namespace
