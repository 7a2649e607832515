// SPDX-License-Identifier: GPL-3.0-or-later
// The archive with the real server: an older store is archived once at the
// first start, oldest first, and the call's mail follows it. The parts
// themselves are read back by a mail parser in tests/qt.
#include <map>

#include "server_run.h"

namespace {

using namespace ondrix_e2e;
using ::testing::HasSubstr;

// The messages of Maildir/new and cur in the order delivered ("Q<n>" in each
// name; one process's deliveries).
std::vector<std::string> archived(const fs::path& maildir) {
  std::map<long, std::string> found;
  for (const char* folder : {"new", "cur"}) {
    if (!fs::is_directory(maildir / folder)) continue;
    for (const auto& e : fs::directory_iterator(maildir / folder)) {
      const std::string name = e.path().filename().string();
      found[std::stol(name.substr(name.find('Q') + 1))] = readFile(e.path());
    }
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

// A Maildir nothing can be delivered into (its tmp/ is a file): the call's
// mail waits, through a kill, and is filed once tmp/ is a folder again,
// without a restart; later starts file nothing again.
TEST_F(ServerRun, AnArchiveMadeWritableAgainIsCaughtUpNothingTwice) {
  const fs::path maildir = dir_ / "Maildir";
  fs::create_directories(maildir / "new");
  fs::create_directories(maildir / "cur");
  writeFile(maildir / "tmp", "");
  writeFile(maildir / "ondrix-archived", "ondrix archive ledger 1\n");
  startModem(1, {"--call", "terminal", "--report", report()});
  const std::string refused = "メールの保管庫（Maildir）に書き込めません";
  EXPECT_EQ(runServer("click StartBtn\n" + callJudged("terminal") + "waitfor 20000 Text3 " +
                      refused + "\nrun /bin/sh -c \"kill -KILL $PPID\"\nwait 5000\n"),
            128 + SIGKILL);
  stopModem();
  EXPECT_TRUE(archived(maildir).empty());

  ASSERT_EQ(
      runServer("waitfor 20000 Text3 " + refused + "\nrun /bin/rm " + (maildir / "tmp").string() +
                "\nwaitfor 20000 Text3 保管庫に入っていなかった記録 1 件を保管しました\n"
                "close\n"),
      0);
  ASSERT_EQ(archived(maildir).size(), 1u);
  EXPECT_THAT(archived(maildir)[0], HasSubstr("\nX-Ondrix-Kind: mail\n"));
  EXPECT_THAT(readFile(dir_ / "calls.log"),
              HasSubstr("\tserver\t-\t-\tarchive caught up 1 records\t"));
  ASSERT_EQ(runServer("wait 1000\nclose\n"), 0);
  EXPECT_EQ(archived(maildir).size(), 1u);
}

// A hook still running when the server stops is run again at the next start,
// with the message filed before.
TEST_F(ServerRun, AHookCutOffByAStopRunsAtTheNextStart) {
  writeFile(dir_ / "new-mail",
            "#!/bin/sh\n"
            "if [ ! -e cut ]; then echo x > cut; exec sleep 30; fi\n"
            "printf '%s\\n' \"$1\" \"$2\" \"$3\" > args\n"
            "cat \"$1\" > forwarded\n");
  fs::permissions(dir_ / "new-mail", fs::perms::owner_all);
  startModem(1, {"--call", "terminal", "--report", report()});
  ASSERT_EQ(
      runServer("click StartBtn\n" + callJudged("terminal") + "waitfile 20000 cut x\nclose\n"), 0);
  stopModem();
  EXPECT_FALSE(fs::exists(dir_ / "forwarded"));

  ASSERT_EQ(runServer("waitfile 20000 forwarded Message-ID\nclose\n"), 0);
  const std::vector<std::string> m = archived(dir_ / "Maildir");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(readFile(dir_ / "forwarded"), m[0]);
  const std::string args = readFile(dir_ / "args");
  EXPECT_THAT(args, HasSubstr("/Maildir/"));
  EXPECT_THAT(args, HasSubstr("\nmail\n"));
  // Forwarded once: a third start runs nothing.
  fs::remove(dir_ / "forwarded");
  ASSERT_EQ(runServer("wait 1500\nclose\n"), 0);
  EXPECT_FALSE(fs::exists(dir_ / "forwarded"));
}

}  // namespace
