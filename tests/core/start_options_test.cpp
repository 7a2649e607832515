// SPDX-License-Identifier: GPL-3.0-or-later
// The command line, read before Qt, and the requests over a folder's channel.
#include "service/start_options.h"

#include <gtest/gtest.h>

namespace ondrix {
namespace {

using R = StartRequest;

TEST(StartOptions, ReadsOursAndPassesOverQts) {
  struct Case {
    std::vector<const char*> args;
    bool start;
    std::optional<std::string> dir;
    R request;
    std::vector<std::string> files;
    std::string platform;
    bool refused;
  } const cases[] = {
      {{}, false, {}, R::None, {}, "", false},
      {{"--start", "--dir", "/d/line 1"}, true, "/d/line 1", R::None, {}, "", false},
      {{"--dir=x"}, false, "x", R::None, {}, "", false},
      {{"--offer", "a.mmd", "b c.bmp", "--start"},
       true,
       {},
       R::Offer,
       {"a.mmd", "b c.bmp"},
       "",
       false},
      {{"--offer", "--", "-x.mmd"}, false, {}, R::Offer, {"-x.mmd"}, "", false},
      {{"--withdraw"}, false, {}, R::Withdraw, {}, "", false},
      {{"--offered", "--dir", "d"}, false, "d", R::Offered, {}, "", false},
      {{"--quit"}, false, {}, R::Quit, {}, "", false},
      {{"-platform", "offscreen", "--style=fusion", "-reverse", "--start"},
       true,
       {},
       R::None,
       {},
       "offscreen",
       false},
      {{"--platform=xcb"}, false, {}, R::None, {}, "xcb", false},
      {{"--bogus"}, false, {}, R::None, {}, "", true},
      {{"-start"}, false, {}, R::None, {}, "", true},
      {{"--start=1"}, false, {}, R::None, {}, "", true},
      {{"stray"}, false, {}, R::None, {}, "", true},
      {{"--offer"}, false, {}, R::Offer, {}, "", true},
      {{"--offer", "a.mmd", "--quit"}, false, {}, R::Quit, {"a.mmd"}, "", true},
      {{"--dir"}, false, {}, R::None, {}, "", true},
      {{"--dir", ""}, false, "", R::None, {}, "", true},
      {{"--dir", "a", "--dir", "b"}, false, "a", R::None, {}, "", true},
      {{"--start", "--quit"}, true, {}, R::Quit, {}, "", true},
      {{"-platform"}, false, {}, R::None, {}, "", true},
  };
  for (const Case& c : cases) {
    std::vector<const char*> argv{"ondrix-server"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    std::string line;
    for (const char* a : c.args) line += std::string(a) + " ";
    SCOPED_TRACE(line);
    const StartOptions o = parseStartOptions(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(!o.error.empty(), c.refused) << o.error;
    if (c.refused) continue;
    EXPECT_EQ(o.startLine, c.start);
    EXPECT_EQ(o.dir, c.dir);
    EXPECT_EQ(o.request, c.request);
    EXPECT_EQ(o.files, c.files);
    EXPECT_EQ(o.platform, c.platform);
  }
  const char* help[] = {"s", "-h", "--version"};
  const StartOptions o = parseStartOptions(3, help);
  EXPECT_TRUE(o.help && o.version && o.error.empty());
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
