// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command line, read before anything needs a display, and the requests a
// start hands to the server that already serves its folder.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ondrix {

// What a start asks of the server serving its folder, or of itself when none
// does.
enum class StartRequest {
  None,      // serve (a second start raises the running server's window)
  Offer,     // --offer FILE...: these files replace the offer of their kind
  Withdraw,  // --withdraw: nothing on offer
  Offered,   // --offered: what is on offer
  Quit,      // --quit: the running server ends as at a close
};

struct StartOptions {
  bool startLine = false;  // --start: the line is started as 開始 would
  bool help = false;
  bool version = false;
  std::optional<std::string> dir;  // --dir: the data folder, as given
  StartRequest request = StartRequest::None;
  std::vector<std::string> files;  // --offer's files, as given
  std::string platform;            // Qt's -platform, when given
  std::string error;               // not empty: the command line is refused
};

// Reads argv, passing over Qt's own options (Qt reads them later).
StartOptions parseStartOptions(int argc, const char* const* argv);

std::string usageLine();
std::string helpText();

// Whether the start has a screen someone may look at: a platform without one
// (offscreen, minimal) or no display for the default one means nobody reads a
// message box. `platformEnv`, `display` and `wayland` are the environment's
// values, null when unset.
bool hasScreen(const StartOptions& options, const char* platformEnv, const char* display,
               const char* wayland);

// The request as it goes over the folder's channel: a verb line, then one
// path a line (UTF-8 or whatever bytes the file system uses). An empty
// request is the oldest one: raise the window.
std::string encodeRequest(StartRequest request, const std::vector<std::string>& files);
// False for a request this server does not know.
bool decodeRequest(std::string_view bytes, StartRequest& request, std::vector<std::string>& files);

// The answer: "ok" or "refused" on the first line, then the lines to print.
std::string encodeReply(bool ok, std::string_view text);
// Nothing when the server answered nothing (an older server, or one that
// ended first).
struct StartReply {
  bool ok = false;
  std::string text;
};
std::optional<StartReply> decodeReply(std::string_view bytes);

}  // namespace ondrix
