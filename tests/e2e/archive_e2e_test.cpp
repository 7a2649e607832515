// SPDX-License-Identifier: GPL-3.0-or-later
// The archive with the real server: an older store is archived once at the
// first start, then each call's record follows it into Maildir/new.
#include <sys/stat.h>

#include <algorithm>

#include "server_run.h"
#include "store/base64.h"

namespace {

using namespace ondrix_e2e;
using ::testing::HasSubstr;

// Slot 1 a voice message, slot 2 an older mail with melody and picture.
const std::string kOlderStore =
    " 0 \r\n 2 \r\n 5 \r\n 0 \r\n"
    "\"0311112222*7\",\"CALL ME\",\"12/06 09:31\",\"\",\"\"\r\n"
    "\"0311112222\",\"before the archive\",\"12/06 09:30\",\"<MEL=T120>C\","
    "\"RE9UAAgACDxCpYGlmUI8\"\r\n";

// The messages of new/, in the order this server delivered them (its count
// of deliveries, "Q<n>", in each name).
std::vector<std::string> delivered(const fs::path& maildir) {
  std::vector<std::pair<long, std::string>> found;
  for (const auto& entry : fs::directory_iterator(maildir / "new")) {
    const std::string name = entry.path().filename().string();
    const auto q = name.find('Q');
    found.emplace_back(q == std::string::npos ? -1 : std::stol(name.substr(q + 1)),
                       readFile(entry.path()));
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& f : found) out.push_back(f.second);
  return out;
}

// Base64 as the message's parts carry it, 76 characters a line.
std::string base64Lines(const std::string& bytes) {
  const ondrix::Text encoded = ondrix::encodeBase64(ondrix::Bytes(bytes.begin(), bytes.end()));
  std::string out;
  for (std::size_t i = 0; i < encoded.size(); i += 76) {
    const auto line = encoded.substr(i, 76);
    out += std::string(line.begin(), line.end()) + "\n";
  }
  return out;
}

int modeOf(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

TEST_F(ServerRun, AnOlderStoreIsArchivedOnceThenEachCallFollows) {
  writeFile(dir_ / "amp.dat", kOlderStore);
  startModem(1, {"--call", "terminal", "--report", report()});
  ASSERT_EQ(runServer("click StartBtn\nwaitfor 20000 Text3 TAVIXメールあり\n" +
                      callJudged("terminal") + "wait 300\nclose\n"),
            0);
  stopModem();

  const fs::path maildir = dir_ / "Maildir";
  std::vector<std::string> messages = delivered(maildir);
  ASSERT_EQ(messages.size(), 3u);
  // Oldest first: the store's slot 2, its slot 1, then the call's mail.
  EXPECT_THAT(messages[0], HasSubstr(" 06 Dec "));
  EXPECT_THAT(messages[0], HasSubstr(" 09:30:00 "));
  EXPECT_THAT(messages[0], HasSubstr("\nFrom: 0311112222 <0311112222@caller.invalid>\n"));
  EXPECT_THAT(messages[0], HasSubstr("filename=\"melody.mmd\""));
  EXPECT_THAT(messages[0], HasSubstr("filename=\"Image.bmp\""));
  EXPECT_THAT(messages[1], HasSubstr(" 09:31:00 "));
  EXPECT_THAT(messages[1], HasSubstr("\nX-Ondrix-Kind: voice\n"));
  EXPECT_THAT(messages[2], HasSubstr("\nFrom: 0123456789 <0123456789@caller.invalid>\n"));
  EXPECT_THAT(messages[2], HasSubstr("\nX-Ondrix-Kind: mail\n"));
  // The attachments are the working files' bytes.
  for (const char* file : {"melody.mmd", "Image.bmp"}) {
    EXPECT_THAT(messages[2], HasSubstr("filename=\"" + std::string(file) +
                                       "\"\nContent-Transfer-Encoding: base64\n\n" +
                                       base64Lines(readFile(dir_ / file))))
        << file;
  }
  for (const char* folder : {"", "tmp", "new", "cur"}) {
    EXPECT_EQ(modeOf(maildir / folder), 0700) << folder;
  }
  EXPECT_TRUE(fs::is_empty(maildir / "tmp"));

  // A second start imports nothing: the store's records are in already.
  ASSERT_EQ(runServer("wait 300\nclose\n"), 0);
  EXPECT_EQ(delivered(maildir).size(), 3u);
}

}  // namespace
