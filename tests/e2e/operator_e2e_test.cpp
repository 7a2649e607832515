// SPDX-License-Identifier: GPL-3.0-or-later
// The operator at the keypad, and content the operator put on offer, against
// the simulator's calls: every byte the server sends is checked there; the
// status box and the bytes the modem received are checked here.
#include "server_run.h"

namespace {

using namespace ondrix_e2e;

struct OperatorRun {
  const char* name;
  std::vector<std::string> simulator;  // call options of the simulator
  std::string keys;                    // what the operator does, once the line is started
  std::string text3;                   // the status box at the end
  std::string lastSent;                // the end of what the modem received
  friend void PrintTo(const OperatorRun& r, std::ostream* os) { *os << r.name; }
};

class Operator : public ServerRun, public ::testing::WithParamInterface<OperatorRun> {};

TEST_P(Operator, DrivesTheCallWithTheKeys) {
  const OperatorRun& r = GetParam();
  std::vector<std::string> args{"--report", report()};
  args.insert(args.end(), r.simulator.begin(), r.simulator.end());
  startModem(1, args);
  ASSERT_EQ(runServer("click StartBtn\n" + r.keys + dumpText("Text3", "text3") + "close\n"), 0);
  stopModem();

  const std::string call = r.simulator[1];
  EXPECT_EQ(readFile(report()), call + " passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("text3"), r.text3);
  const std::string sent = readFile(log());
  EXPECT_TRUE(sent.ends_with(r.lastSent)) << sent;
}

INSTANTIATE_TEST_SUITE_P(Keypad, Operator,
                         ::testing::Values(
                             // The operator dials once the simulator has begun the call (half a
                             // second after it answered the set-up command); the dial rings out
                             // until the cut key stops it; the last number then comes back with
                             // the redial key.
                             OperatorRun{
                                 "DialsAndStopsTheDial",
                                 {"--call", "dial", "--number", "0312*#"},
                                 "waitfile 20000 linesim.out call \"dial\"\n"
                                 "click NumBtn0\nclick NumBtn3\nclick NumBtn1\nclick NumBtn2\n"
                                 "click NumBtn10\nclick NumBtn11\nclick ConnBtn\n"
                                 "waitfor 3000 Text3 発信中\nwait 500\nclick CutBtn\n"
                                 "waitfor 5000 Text3 NO CARRIER\n" +
                                     callJudged("dial") + "click ReDialBtn\n",
                                 "0312*#\n",
                                 "atdv0312*#\rat"},
                             // An ordinary voice ring: the operator answers a while after the
                             // caller is shown (the ring is left to the operator for half a
                             // second) and leaves the call as soon as it is connected.
                             OperatorRun{"AnswersAndHangsUp",
                                         {"--call", "answer"},
                                         "waitfor 20000 Text3 0123456789\nwait 800\nclick ConnBtn\n"
                                         "waitfor 5000 Text3 通話中\nclick CutBtn\n"
                                         "waitfor 8000 Text3 通話終了\n" +
                                             callJudged("answer"),
                                         "通話終了\n",
                                         "ata\r+++ath\r"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A small picture: its size and which pixels are dark.
struct Picture {
  int width;
  int height;
  bool (*dark)(int x, int y);
};

std::string le(std::uint32_t v, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i));
  return out;
}

// A 1-bit bitmap file of the picture, rows bottom-up, each padded to four
// bytes; `blackFirst` puts black at colour 0, so dark pixels are 0 bits.
std::string bitmapFile(const Picture& p, bool blackFirst) {
  const int rowSize = ((p.width - 1) / 32 + 1) * 4;
  const std::string white("\xFF\xFF\xFF\x00", 4);
  const std::string black(4, '\0');
  std::string bmp = "BM" + le(62 + rowSize * p.height, 4) + le(0, 4) + le(62, 4) + le(40, 4) +
                    le(p.width, 4) + le(p.height, 4) + le(1, 2) + le(1, 2) + std::string(24, '\0') +
                    (blackFirst ? black + white : white + black);
  for (int y = p.height - 1; y >= 0; --y) {
    std::string row(rowSize, '\0');
    for (int x = 0; x < p.width; ++x) {
      if (p.dark(x, y) != blackFirst) row[x / 8] |= static_cast<char>(0x80 >> (x % 8));
    }
    bmp += row;
  }
  return bmp;
}

std::string base64(const std::string& bytes) {
  static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      v = v << 8 | (i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    const std::size_t chars = std::min<std::size_t>(bytes.size() - i, 3) + 1;
    for (std::size_t k = 0; k < 4; ++k) out += k < chars ? abc[(v >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

// What the terminal receives: "DOT", 0, width, 0, height, then the pixels
// row after row, one bit each, 1 dark, rows not padded.
std::string imageElement(const Picture& p) {
  std::string bits =
      std::string("DOT\0", 4) + static_cast<char>(p.width) + '\0' + static_cast<char>(p.height);
  for (int i = 0; i < p.width * p.height; ++i) {
    if (i % 8 == 0) bits += '\0';
    if (p.dark(i % p.width, i / p.width)) bits.back() |= static_cast<char>(0x80 >> (i % 8));
  }
  return "<IMAGE>" + base64(bits) + "</IMAGE>";
}

// Three melodies and two images dropped on the window; the terminal takes
// the list page and the two delivery pages, every byte checked. The images
// have rows that do not fill whole bytes, and the second has its colours
// the other way round.
TEST_F(ServerRun, DroppedMelodiesAndImagesAreDownloadedPageByPage) {
  const Picture pictures[] = {
      {12, 10, [](int x, int y) { return (x + 2 * y) % 5 == 0 || y == 9; }},
      {33, 8, [](int x, int y) { return x == 4 * y || x == 32 || (x + y) % 7 == 3; }},
  };
  std::vector<std::string> args{"--call", "terminal", "--report", report()};
  std::string script = "drop Text4";
  for (const char* melody : {"<MEL=T90CEG>", "<MEL=T120L4O5C>", "<MEL=T150R8DF>"}) {
    const fs::path file = dir_ / ("tune" + std::to_string(args.size()) + ".mmd");
    writeFile(file, std::string(melody) + "\r\n");
    script += " " + file.string();
    args.insert(args.end(), {"--melody", file.string()});
  }
  script += "\ndrop Image1";
  for (std::size_t i = 0; i < std::size(pictures); ++i) {
    const fs::path bmp = dir_ / ("picture" + std::to_string(i) + ".bmp");
    const fs::path element = dir_ / ("picture" + std::to_string(i) + ".element");
    writeFile(bmp, bitmapFile(pictures[i], i == 1));
    writeFile(element, imageElement(pictures[i]));
    script += " " + bmp.string();
    args.insert(args.end(), {"--image", element.string()});
  }
  startModem(1, args);
  ASSERT_EQ(runServer(script + "\nclick StartBtn\nwaitfor 20000 Text3 TAVIXメールあり\n" +
                      callJudged("terminal") + dumpText("Text3", "text3") + "close\n"),
            0);
  stopModem();
  EXPECT_EQ(readFile(report()), "terminal passed\n") << readFile(modemOutput());
  EXPECT_EQ(shown("text3"), "通信終了\nTAVIXメールあり\n");
}

}  // namespace
