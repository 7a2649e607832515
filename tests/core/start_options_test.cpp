// SPDX-License-Identifier: GPL-3.0-or-later
// The command line, read before Qt, and the requests over a folder's channel.
#include "service/start_options.h"

#include <gtest/gtest.h>

#include <array>

namespace ondrix {
namespace {

using R = StartRequest;

// What the options ask, in a word each: "refused" for a refused line.
std::string asked(const StartOptions& o) {
  if (!o.error.empty()) return "refused";
  std::string d = o.startLine ? "start" : "";
  if (o.dir) d += " dir=" + *o.dir;
  d += std::array{"", " offer", " withdraw", " offered", " quit"}[static_cast<int>(o.request)];
  for (const std::string& f : o.files) d += " [" + f + "]";
  return d + (o.platform.empty() ? "" : " platform=" + o.platform);
}

TEST(StartOptions, ReadsOursAndPassesOverQts) {
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{}, ""},
      {{"--start", "--dir", "/d/line 1"}, "start dir=/d/line 1"},
      {{"--dir=x"}, " dir=x"},
      {{"--offer", "a.mmd", "b c.bmp", "--start"}, "start offer [a.mmd] [b c.bmp]"},
      {{"--offer", "--", "-x.mmd"}, " offer [-x.mmd]"},
      {{"--withdraw"}, " withdraw"},
      {{"--offered", "--dir", "d"}, " dir=d offered"},
      {{"--quit"}, " quit"},
      {{"-platform", "offscreen", "--style=fusion", "-reverse", "--start"},
       "start platform=offscreen"},
      {{"--platform=xcb"}, " platform=xcb"},
      {{"-h", "--version"}, ""},
      {{"--bogus"}, "refused"},
      {{"-start"}, "refused"},
      {{"--start=1"}, "refused"},
      {{"stray"}, "refused"},
      {{"--offer"}, "refused"},
      {{"--offer", "a.mmd", "--quit"}, "refused"},
      {{"--dir"}, "refused"},
      {{"--dir", ""}, "refused"},
      {{"--dir", "a", "--dir", "b"}, "refused"},
      {{"--start", "--quit"}, "refused"},
      {{"-platform"}, "refused"},
  };
  for (const auto& [args, want] : cases) {
    std::vector<const char*> argv{"ondrix-server"};
    argv.insert(argv.end(), args.begin(), args.end());
    const StartOptions o = parseStartOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(asked(o), want) << (args.empty() ? "" : args[0]) << " " << o.error;
    EXPECT_EQ(o.help && o.version, args.size() == 2 && args[0] == std::string("-h"));
  }
}

TEST(StartOptions, ScreenFromPlatformAndDisplay) {
  struct Case {
    const char *option, *env, *display, *wayland;
    bool screen;
  } const cases[] = {
      {"", nullptr, ":0", nullptr, true},         {"", nullptr, nullptr, nullptr, false},
      {"", nullptr, "", nullptr, false},          {"", nullptr, nullptr, "wayland-0", true},
      {"", "offscreen", ":0", nullptr, false},    {"", "minimal", ":0", nullptr, false},
      {"", "xcb", nullptr, "wayland-0", false},   {"", "wayland;xcb", nullptr, "w", true},
      {"offscreen", "xcb", ":0", nullptr, false}, {"xcb", "offscreen", ":0", nullptr, true},
      {"", "eglfs", nullptr, nullptr, true},
  };
  for (const Case& c : cases) {
    StartOptions o;
    o.platform = c.option;
    EXPECT_EQ(hasScreen(o, c.env, c.display, c.wayland), c.screen)
        << c.option << "|" << (c.env ? c.env : "-") << "|" << (c.display ? c.display : "-");
  }
}

// The server takes what the client sends, and nothing torn or unknown.
TEST(StartOptions, RequestsOverTheChannel) {
  const std::vector<std::string> files{"/a b/メロ.mmd", "/c.bmp"};
  R read = R::None;
  std::vector<std::string> got;
  for (const R r : {R::None, R::Offer, R::Withdraw, R::Offered, R::Quit}) {
    const auto sent = r == R::Offer ? files : std::vector<std::string>{};
    ASSERT_TRUE(decodeRequest(encodeRequest(r, sent), read, got));
    EXPECT_EQ(std::pair(read, got), std::pair(r, sent));
  }
  for (const char* bad : {"offer\n", "offer\n/a.mmd", "raise\n", "quit\n/a\n", "withdraw"}) {
    EXPECT_FALSE(decodeRequest(bad, read, got)) << bad;
  }
  EXPECT_FALSE(decodeReply("maybe\n")) << "an older server's silence or another's words";
}

}  // namespace
}  // namespace ondrix
