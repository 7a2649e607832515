// SPDX-License-Identifier: GPL-3.0-or-later
// The command line and the requests over a folder's channel, free of Qt so
// that a wrong option is told before anything needs a display.
#include "service/start_options.h"

#include <algorithm>
#include <array>

namespace ondrix {

namespace {

// Qt's own options, read by QApplication from the same argv; those in the
// first list take the next argument as their value.
constexpr std::array<std::string_view, 15> kQtWithValue = {"platform",
                                                           "platformpluginpath",
                                                           "platformtheme",
                                                           "plugin",
                                                           "qwindowgeometry",
                                                           "qwindowtitle",
                                                           "qwindowicon",
                                                           "display",
                                                           "geometry",
                                                           "title",
                                                           "icon",
                                                           "style",
                                                           "stylesheet",
                                                           "session",
                                                           "name"};
constexpr std::array<std::string_view, 7> kQtFlags = {"reverse", "widgetcount", "nograb", "dograb",
                                                      "sync",    "testability", "visual"};

template <std::size_t N>
bool among(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The request verbs on the channel; None is the empty request.
constexpr std::array<std::pair<StartRequest, std::string_view>, 4> kVerbs = {{
    {StartRequest::Offer, "offer"},
    {StartRequest::Withdraw, "withdraw"},
    {StartRequest::Offered, "offered"},
    {StartRequest::Quit, "quit"},
}};

}  // namespace

std::string usageLine() {
  return "usage: ondrix-server [--start] [--dir FOLDER] "
         "[--offer FILE... | --withdraw | --offered | --quit] [--help] [--version]";
}

std::string helpText() {
  return usageLine() +
         "\n\n"
         "Answers TAVIX terminals on a serial-port modem and keeps their mail.\n\n"
         "  --start          start the line at once, as the 開始 button does\n"
         "  --dir FOLDER     keep the store, settings, COMn links, journal, archive,\n"
         "                   hook and lock in FOLDER (made, private, when missing)\n"
         "  --offer FILE...  offer these melodies (.mmd) and images (.bmp), at most\n"
         "                   ten of each; the files of a kind replace that kind's offer\n"
         "  --withdraw       withdraw every melody and image on offer\n"
         "  --offered        print what is on offer\n"
         "  --quit           end the server serving the folder, as a close does\n"
         "  --help, --version\n\n"
         "--offer, --withdraw, --offered and --quit go to the server serving the\n"
         "folder; with none running, --offer and --withdraw start one.\n"
         "Qt's own options (-platform NAME and the like) are taken as well.\n"
         "Exit status: 0 done, 1 refused or not answered, 2 a wrong command line,\n"
         "3 another server serves the folder.\n";
}

StartOptions parseStartOptions(int argc, const char* const* argv) {
  StartOptions options;
  const auto refuse = [&options](std::string why) {
    if (options.error.empty()) options.error = std::move(why);
  };
  const auto setRequest = [&](StartRequest request, std::string_view name) {
    if (options.request != StartRequest::None && options.request != request) {
      refuse(std::string(name) + " cannot go with another request");
    }
    options.request = request;
  };
  bool optionsEnded = false;  // after "--" every argument is a file to offer
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      // Only --offer takes operands: the files that follow it.
      if (options.request == StartRequest::Offer) {
        options.files.emplace_back(arg);
      } else {
        refuse("unexpected argument " + std::string(arg));
      }
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    // Qt takes both "-name" and "--name".
    std::string_view name = arg.substr(arg[1] == '-' ? 2 : 1);
    std::optional<std::string_view> inlineValue;
    if (const auto eq = name.find('='); eq != std::string_view::npos) {
      inlineValue = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    const auto value = [&]() -> std::optional<std::string> {
      if (inlineValue) return std::string(*inlineValue);
      if (i + 1 < argc) return std::string(argv[++i]);
      refuse(std::string(arg) + " needs a value");
      return std::nullopt;
    };
    const bool ours = arg[1] == '-' || name == "h";
    if (ours && name == "start" && !inlineValue) {
      options.startLine = true;
    } else if (ours && (name == "help" || name == "h") && !inlineValue) {
      options.help = true;
    } else if (ours && name == "version" && !inlineValue) {
      options.version = true;
    } else if (ours && name == "dir") {
      if (auto folder = value()) {
        if (folder->empty()) refuse("--dir needs a folder");
        if (options.dir) refuse("--dir given twice");
        options.dir = std::move(*folder);
      }
    } else if (ours && name == "offer" && !inlineValue) {
      setRequest(StartRequest::Offer, arg);
    } else if (ours && name == "withdraw" && !inlineValue) {
      setRequest(StartRequest::Withdraw, arg);
    } else if (ours && name == "offered" && !inlineValue) {
      setRequest(StartRequest::Offered, arg);
    } else if (ours && name == "quit" && !inlineValue) {
      setRequest(StartRequest::Quit, arg);
    } else if (among(kQtWithValue, name)) {
      if (auto v = value(); v && name == "platform") options.platform = std::move(*v);
    } else if (among(kQtFlags, name) && !inlineValue) {
      // Qt's flag; nothing of ours.
    } else if (name == "qmljsdebugger" && inlineValue) {
      // Qt's, given as -qmljsdebugger=...
    } else {
      refuse("unknown option " + std::string(arg));
    }
  }
  if (options.request == StartRequest::Offer && options.files.empty()) {
    refuse("--offer needs a file (--withdraw withdraws every offer)");
  }
  if (options.startLine &&
      (options.request == StartRequest::Offered || options.request == StartRequest::Quit)) {
    refuse("--start cannot go with --offered or --quit");
  }
  return options;
}

bool hasScreen(const StartOptions& options, const char* platformEnv, const char* display,
               const char* wayland) {
  std::string_view platform = options.platform;
  if (platform.empty() && platformEnv != nullptr) platform = platformEnv;
  // "xcb:arguments", and a list of platforms tried in turn ("wayland;xcb").
  platform = platform.substr(0, platform.find_first_of(":;"));
  const bool x = display != nullptr && *display != '\0';
  const bool w = wayland != nullptr && *wayland != '\0';
  if (platform == "offscreen" || platform == "minimal") return false;
  if (platform == "xcb") return x;
  if (platform.rfind("wayland", 0) == 0) return w;
  if (platform.empty()) return x || w;
  return true;  // a framebuffer or another screen of its own
}

std::string encodeRequest(StartRequest request, const std::vector<std::string>& files) {
  std::string bytes;
  for (const auto& [code, verb] : kVerbs) {
    if (code == request) bytes.append(verb).push_back('\n');
  }
  for (const std::string& file : files) bytes.append(file).push_back('\n');
  return bytes;
}

bool decodeRequest(std::string_view bytes, StartRequest& request, std::vector<std::string>& files) {
  request = StartRequest::None;
  files.clear();
  if (bytes.empty()) return true;
  if (bytes.back() != '\n') return false;  // torn: the client ended before its last line
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t end = bytes.find('\n', at);
    lines.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  const auto verb = std::find_if(kVerbs.begin(), kVerbs.end(),
                                 [&](const auto& v) { return v.second == lines.front(); });
  if (verb == kVerbs.end()) return false;
  request = verb->first;
  for (std::size_t i = 1; i < lines.size(); ++i) files.emplace_back(lines[i]);
  // Only an offer names files, and it names one at least.
  return (request == StartRequest::Offer) == !files.empty();
}

std::string encodeReply(bool ok, std::string_view text) {
  std::string bytes = ok ? "ok\n" : "refused\n";
  bytes.append(text);
  if (!text.empty() && text.back() != '\n') bytes.push_back('\n');
  return bytes;
}

std::optional<StartReply> decodeReply(std::string_view bytes) {
  const std::size_t end = bytes.find('\n');
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view first = bytes.substr(0, end);
  if (first != "ok" && first != "refused") return std::nullopt;
  return StartReply{first == "ok", std::string(bytes.substr(end + 1))};
}

}  // namespace ondrix
