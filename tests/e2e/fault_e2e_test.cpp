// SPDX-License-Identifier: GPL-3.0-or-later
// Faults of the line and of the disk, with the real server and the simulated
// modem. After each the server has not crashed, the operator can go on, and
// the mail stored before the fault is still in "amp.dat", byte for byte.
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <iterator>
#include <random>

#include "server_run.h"

namespace {

using namespace ondrix_e2e;
using ::testing::EndsWith;
using ::testing::StartsWith;

const std::string kEarlierMail =
    "\"0311112222\",\"before the fault\",\"12/06 09:30\",\"<MEL=T120>C\",\"RE9UAAgACDxCpYGlmUI8\"";
// The simulated terminal's mail in the store, around its time stamp.
const std::string kUploadedHead = "\"0123456789\",\"a<b> x&;y \x83\x65\x83\x58\x83\x67\",\"";
const std::string kUploadedTail = "\",\"<MEL=T120L8O4CDEFGAB>\",\"RE9UAAgACDxCpYGlmUI8\"";
const std::string kPortError = "ポートは使用中か無効です。";
const std::string kAsNobody = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (std::size_t eol; (eol = text.find("\r\n", from)) != std::string::npos; from = eol + 2) {
    out.push_back(text.substr(from, eol - from));
  }
  return out;
}

std::vector<std::string> words(const std::string& s) {
  std::istringstream in(s);
  return {std::istream_iterator<std::string>(in), {}};
}

class Fault : public ServerRun {
 protected:
  void SetUp() override {
    ServerRun::SetUp();
    writeFile(dir_ / "amp.dat", " 0 \r\n 1 \r\n 5 \r\n 0 \r\n" + kEarlierMail + "\r\n");
  }

  // The earlier mail is in the store file; after an upload, as slot 2
  // below the terminal's mail.
  static void expectStore(const fs::path& file, bool uploaded) {
    const std::vector<std::string> l = lines(readFile(file));
    ASSERT_GE(l.size(), uploaded ? 6u : 5u) << file;
    if (uploaded) {
      EXPECT_THAT(l[4], StartsWith(kUploadedHead));
      EXPECT_THAT(l[4], EndsWith(kUploadedTail));
    }
    EXPECT_EQ(l[uploaded ? 5 : 4], kEarlierMail);
  }

  // Waits until the simulator has received `text` from the server.
  bool modemReceived(const std::string& text) {
    return waitUntil([&] { return readFile(log()).find(text) != std::string::npos; });
  }
};

TEST_F(Fault, DeviceVanishesInTheMiddleOfACall) {
  startModem(1, {"--call", "terminal"});
  // Killed once the mail is stored, while the terminal still takes pages. Its
  // port then names a device that is gone, as an unplugged modem's would: left
  // as it is, the link would name the dead pseudo-terminal's number, which the
  // next one opened anywhere on the machine gets.
  const std::string gone = (dir_ / "gone-1").string() + " " + link_.string();
  const int status = runServer("click StartBtn\nwaitfor 20000 Text3 テスト\nrun /bin/kill -KILL " +
                               std::to_string(modem_) + "\nrun /bin/ln -sfn " + gone +
                               "\nwaitfor 5000 Text3 通信終了\n" + dumpText("Text3", "text3") +
                               "click StopBtn\n" + dumpEnabled("StartBtn", "start") +
                               "click StartBtn\n" + dumpText("MessageBox", "message") +
                               "close MessageBox\n" + dumpEnabled("StopBtn", "stop") + "close\n");
  ASSERT_EQ(status, 0);
  EXPECT_EQ(waitFor(modem_, 2000ms), 128 + SIGKILL);
  modem_ = 0;

  // Ended as a carrier drop; the server would open the port again by itself.
  EXPECT_EQ(shown("text3"),
            "通信終了\nTAVIXメールあり\nポートが切断されました。再接続を試みます\n");
  EXPECT_EQ(shown("start"), "1");
  EXPECT_EQ(shown("message"), kPortError);  // the device is gone
  EXPECT_EQ(shown("stop"), "0");
  expectStore(dir_ / "amp.dat", true);
}

TEST_F(Fault, ModemNeverAnswers) {
  brokenPorts({2, 3, 4, 5, 6, 7, 8, 9});
  startModem(1, {"--silent"});
  const int status =
      runServer("click StartBtn\nwaitfor 5000 Text3 待受けエラー\n" + dumpText("Text3", "started") +
                "click StopBtn\nclick ScarchBtn\nwaitfor 10000 Text3 が見つかりません\n" +
                dumpText("Text3", "searched") + dumpEnabled("StartBtn", "start") + "close\n");
  ASSERT_EQ(status, 0);
  stopModem();

  EXPECT_EQ(shown("started"), "待受けエラー\n");
  EXPECT_EQ(shown("searched"), "QV-M7が見つかりません\n");
  EXPECT_EQ(shown("start"), "1");
  expectStore(dir_ / "amp.dat", false);
}

// Random bytes in short lines, then lines longer than the input buffer
// holds, one of them cut by a line end only far beyond it; a call follows.
TEST_F(Fault, GarbageAndOverlongLinesThenACall) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 300);
  std::string noise;
  const auto garbage = [&](std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      const char c = static_cast<char>(byte(random));
      noise += (c == '\r' || c == '\n') ? '?' : c;
    }
    noise += "\r\n";
  };
  for (int i = 0; i < 200; ++i) garbage(static_cast<std::size_t>(length(random)));
  garbage(32767);
  garbage(70000);
  writeFile(dir_ / "noise", noise);

  startModem(1, {"--noise", (dir_ / "noise").string(), "--call", "terminal", "--report", report()});
  ASSERT_EQ(runServer("click StartBtn\nwaitfor 20000 Text3 TAVIXメールあり\n" +
                      callJudged("terminal") + "close\n"),
            0);
  stopModem();

  EXPECT_EQ(readFile(report()), "terminal passed\n") << readFile(modemOutput());
  expectStore(dir_ / "amp.dat", true);
}

// Nothing of the half-received mail is kept, and the next call is answered.
TEST_F(Fault, CarrierDropsInTheMiddleOfAnUpload) {
  startModem(1, {"--call", "lost", "--call", "terminal", "--report", report()});
  ASSERT_EQ(runServer("click StartBtn\nwaitfor 20000 Text3 通信終了\n" + dumpText("Text3", "lost") +
                      "waitfor 20000 Text3 TAVIXメールあり\n" + callJudged("terminal") + "close\n"),
            0);
  stopModem();

  EXPECT_EQ(readFile(report()), "lost passed\nterminal passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("lost"), "通信終了\n");
  expectStore(dir_ / "amp.dat", true);
}

// A second server in a folder of its own, whose COM1 is the same device.
TEST_F(Fault, SecondServerOnAPortInUseShowsOnlyThePortMessage) {
  startModem(1, {"--call", "terminal", "--report", report()});
  const pid_t first = startServer("click StartBtn\nwaitfor 20000 Text3 TAVIXメールあり\n" +
                                  callJudged("terminal") + dumpText("Text3", "first") + "close\n");
  ASSERT_TRUE(modemReceived("atu3v1q0")) << "the first server did not start the line";

  const fs::path other = dir_ / "other";
  fs::create_directory(other);
  fs::copy_file(dir_ / "ondrix-server", other / "ondrix-server");
  fs::create_symlink(fs::canonical(link_), other / "COM1");
  writeFile(dir_ / "script2", "click StartBtn\n" + dumpText("MessageBox", "message") +
                                  "close MessageBox\n" + dumpText("Text3", "second") +
                                  dumpEnabled("StartBtn", "start") +
                                  dumpEnabled("StopBtn", "stop") + "close\n");
  ASSERT_EQ(waitFor(spawn({(other / "ondrix-server").string()},
                          {"QT_QPA_PLATFORM=offscreen",
                           "ONDRIX_TEST_SCRIPT=" + (dir_ / "script2").string()}),
                    30000ms),
            0);
  EXPECT_EQ(shown("message"), kPortError);
  EXPECT_EQ(shown("second"), "");
  EXPECT_EQ(shown("start"), "1");
  EXPECT_EQ(shown("stop"), "0");

  EXPECT_EQ(waitFor(first, 20000ms), 0);
  stopModem();
  EXPECT_EQ(readFile(report()), "terminal passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("first"), "通信終了\nTAVIXメールあり\n");
  expectStore(dir_ / "amp.dat", true);
}

// A second start in the same folder (the first one took over the lock of a
// server that was killed): refused with a message, it writes no file, and
// the mail the first one stores while the second is up stays in the store,
// whichever of the two ends last.
class SecondStart : public Fault, public ::testing::WithParamInterface<bool> {
 protected:
  // A script line that waits until the test makes the file `name`.
  std::string waitForFile(const char* name) const {
    return "run /usr/bin/timeout 30 /bin/sh -c \"until [ -e " + dump(name).string() +
           " ]; do sleep 0.05; done\"\n";
  }
  void make(const char* name) const { writeFile(dump(name), ""); }
  bool appears(const char* name) const {
    for (int i = 0; i < 1000 && !fs::exists(dump(name)); ++i) std::this_thread::sleep_for(20ms);
    return fs::exists(dump(name));
  }
};

TEST_P(SecondStart, IsRefusedAndTheFirstKeepsItsMail) {
  const bool secondEndsLast = GetParam();
  const fs::path lock = dir_ / "ondrix-server.lock";
  const pid_t killed = startServer("run /usr/bin/touch " + dump("killed-up").string() + "\n");
  ASSERT_TRUE(appears("killed-up"));
  ::kill(killed, SIGKILL);
  waitFor(killed, 5000ms);
  ASSERT_TRUE(fs::exists(lock)) << "a killed server leaves its lock";

  startModem(1, {"--call", "terminal", "--report", report()});
  const pid_t first =
      startServer("run /usr/bin/touch " + dump("first-up").string() + "\n" + waitForFile("go1") +
                  "click StartBtn\n" + "waitfor 20000 Text3 TAVIXメールあり\nwait 1500\n" +
                  dumpText("Text3", "first") + "close\n");
  ASSERT_TRUE(appears("first-up"));
  const pid_t second =
      startServer(dumpText("MessageBox", "message") + waitForFile("go2") + "close\n");
  ASSERT_TRUE(appears("message"));
  const std::string before = readFile(dir_ / "amp.dat");

  if (secondEndsLast) {
    make("go1");
    EXPECT_EQ(waitFor(first, 30000ms), 0);
    make("go2");
    EXPECT_EQ(waitFor(second, 10000ms), 3);
  } else {
    make("go2");
    EXPECT_EQ(waitFor(second, 10000ms), 3);
    EXPECT_EQ(readFile(dir_ / "amp.dat"), before);
    EXPECT_FALSE(fs::exists(dir_ / "brellin.ini")) << "the second start wrote its settings";
    make("go1");
    EXPECT_EQ(waitFor(first, 30000ms), 0);
  }
  stopModem();
  EXPECT_EQ(shown("message"), "このフォルダではサーバーがすでに動いています。\n" + dir_.string());
  EXPECT_EQ(readFile(report()), "terminal passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("first"), "通信終了\nTAVIXメールあり\n");
  expectStore(dir_ / "amp.dat", true);
  EXPECT_FALSE(fs::exists(lock)) << "the lock outlived the server";
}

INSTANTIATE_TEST_SUITE_P(Fault, SecondStart, ::testing::Values(false, true), [](const auto& info) {
  return std::string(info.param ? "SecondEndsLast" : "FirstEndsLast");
});

// The server runs as an unprivileged user (tests run as root, whom no
// permission stops) and makes its own directory read-only during a call.
class ReadOnlyDirectory : public Fault, public ::testing::WithParamInterface<bool> {};

TEST_P(ReadOnlyDirectory, KeepsTheMailAndSaysWhereItWent) {
  if (::geteuid() != 0) GTEST_SKIP() << "runs the server as another user: needs root";
  const bool writableAgainAtExit = GetParam();
  const fs::path out = dir_ / "out";
  const fs::path data = dir_ / "home" / "data";
  fs::create_directories(out);
  fs::create_directories(data);
  for (const auto& p : {dir_, dir_ / "amp.dat", dir_ / "ondrix-server", out, dir_ / "home", data}) {
    ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0) << p;
  }
  startModem(1, {"--call", "terminal", "--report", report()});
  ASSERT_EQ(::chmod(fs::canonical(link_).c_str(), 0666), 0);

  const std::string dir = dir_.string();
  const pid_t server = startServer(
      "click StartBtn\nwaitfor 20000 Text3 通信中\nrun /bin/chmod 555 " + dir +
          "\nwaitfor 20000 Text3 TAVIXメールあり\n" + callJudged("terminal") + "dump Text3 " +
          (out / "text3").string() + "\n" +
          (writableAgainAtExit ? "run /bin/chmod 755 " + dir + "\n" : "") + "close\n",
      words(kAsNobody), {"HOME=" + (dir_ / "home").string(), "XDG_DATA_HOME=" + data.string()});
  const int status = waitFor(server, 30000ms);
  ::chmod(dir_.c_str(), 0755);
  ASSERT_EQ(status, 0);
  stopModem();
  EXPECT_EQ(readFile(report()), "terminal passed\n") << readFile(modemOutput());

  const fs::path savedIn = data / "Ondrix Server";
  EXPECT_EQ(readFile(out / "text3"),
            "通信終了\nTAVIXメールあり\nメールの保存先：" + savedIn.string() + "\n");
  expectStore(savedIn / "amp.dat", true);
  // The archive went with the store (the status box says nothing of it).
  EXPECT_EQ(std::distance(fs::directory_iterator(savedIn / "Maildir" / "new"), {}), 1);
  // Written at exit where it belongs once the directory can be written again.
  expectStore(dir_ / "amp.dat", writableAgainAtExit);
}

INSTANTIATE_TEST_SUITE_P(AtExit, ReadOnlyDirectory, ::testing::Values(false, true),
                         [](const auto& info) {
                           return std::string(info.param ? "WritableAgain" : "StillReadOnly");
                         });

// A full disk under an upload (a file size limit, for any account): not acknowledged, the mail goes
// in with the next save. What power cuts left of replacements goes at the start, and only that.
TEST_F(Fault, FullDiskDuringAnUploadIsNotAcknowledgedThenStored) {
  for (const char* left : {"amp.dat.Ab12Cd", "amp.dat.Ab-12C"}) writeFile(dir_ / left, "x");
  const std::string before = readFile(dir_ / "amp.dat"), ended = "waitfor 9000 Text3 通信終了\n";
  startModem(1);
  const pid_t server = startServer(
      "click StartBtn\nwaitfile 60000 go1 y\n" + ended + dumpText("Text3", "full") +
          "waitfile 60000 go2 y\n" + ended + "close\n",
      {"/usr/bin/prlimit", "--fsize=1024:unlimited"}, {"XDG_DATA_HOME=" + dir_.string()});
  ASSERT_TRUE(modemReceived("atu3v1q0"));
  const rlimit room{RLIM_INFINITY, RLIM_INFINITY};
  for (const auto& [go, full] : {std::pair{"go1", true}, std::pair{"go2", false}}) {
    const pid_t caller =
        spawn({kBinDir / "ondrix-linesim", "call", "terminal", "--dir", dir_}, {}, dir_ / go);
    EXPECT_EQ(waitFor(caller, 30000ms), full ? 1 : 0);
    EXPECT_EQ(readFile(dir_ / "amp.dat") == before, full);
    ASSERT_EQ(::prlimit(server, RLIMIT_FSIZE, &room, nullptr), 0);
    writeFile(dump(go), "y");
  }
  ASSERT_EQ(waitFor(server, 20000ms), 0) << "the server did not outlive the full disk";
  EXPECT_THAT(
      readFile(log()),
      ::testing::HasSubstr("<DISC=6></HEAD><BODY>\x95\xDB\x91\xB6\x82\xC5\x82\xAB\x82"
                           "\xDC\x82\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD</BODY></ATML>ata\r"));
  EXPECT_EQ(shown("full"), "通信終了\nTAVIXメールあり\nメールを保存できません\n");
  const std::vector<std::string> l = lines(readFile(dir_ / "amp.dat"));
  for (std::size_t i : {4, 5})  // at(): a short store fails the test, not the program
    EXPECT_THAT(l.at(i), ::testing::AllOf(StartsWith(kUploadedHead), EndsWith(kUploadedTail)));
  EXPECT_EQ(l.at(6), kEarlierMail);
  EXPECT_FALSE(fs::exists(dir_ / "amp.dat.Ab12Cd"));
  EXPECT_TRUE(fs::exists(dir_ / "amp.dat.Ab-12C"));
}

// Whether the process is writing a new version of `store`.
bool writesIn(pid_t pid, const fs::path& dir, const fs::path& store) {
  std::error_code ec;
  for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
    // The new store is written to an unnamed file (or one named after the
    // store) beside it, then put in its place.
    const std::string target = fs::read_symlink(fd.path(), ec).string();
    if (target.rfind(dir.string() + "/", 0) != 0) continue;
    if (target.find(" (deleted)") != std::string::npos ||
        target.rfind(store.string() + ".", 0) == 0) {
      return true;
    }
  }
  return false;
}

// A large store, saved at exit; the server is killed as soon as it has the
// new file open. The store file is then the old one or the new one, whole.
TEST_F(Fault, KilledWhileSavingLeavesAWholeStore) {
  const std::string image(30000, 'A');
  std::string slots;
  for (int i = 1; i <= 100; ++i) {
    slots += "\"0311112222\",\"mail " + std::to_string(i) +
             "\",\"12/06 09:30\",\"<MEL=T120>C\",\"" + image + "\"\r\n";
  }
  // Read as the same store, but written back with blanks around the numbers.
  const std::string before = "0\r\n100\r\n5\r\n0\r\n" + slots;
  const std::string after = " 0 \r\n 100 \r\n 5 \r\n 0 \r\n" + slots;
  int killedWhileSaving = 0;
  const int rounds = 4;
  for (int round = 0; round < rounds; ++round) {
    writeFile(dir_ / "amp.dat", before);
    const pid_t server = startServer("wait 100\nclose\n");
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (::waitpid(server, &status, WNOHANG) == 0 &&
           std::chrono::steady_clock::now() < deadline) {
      if (writesIn(server, dir_, dir_ / "amp.dat")) {
        ::kill(server, SIGKILL);
        ::waitpid(server, &status, 0);
        ++killedWhileSaving;
        break;
      }
    }
    if (::waitpid(server, &status, WNOHANG) == 0) {
      ::kill(server, SIGKILL);
      ::waitpid(server, &status, 0);
    }
    const std::string now = readFile(dir_ / "amp.dat");
    EXPECT_TRUE(now == before || now == after)
        << "round " << round << ": a store of " << now.size() << " bytes";
  }
  std::printf("killed %d of %d servers while they saved a store of %zu bytes\n", killedWhileSaving,
              rounds, after.size());
  EXPECT_GT(killedWhileSaving, 0);
}

}  // namespace
