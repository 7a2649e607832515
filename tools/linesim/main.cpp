// SPDX-License-Identifier: GPL-3.0-or-later
// ondrix-linesim: plays the modem on a pseudo-terminal linked as COMn in the
// server's program directory, so the server runs without hardware; plays
// scripted calls through that modem and checks what the server answers.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "call.h"
#include "control.h"
#include "modem.h"
#include "player.h"
#include "pty_link.h"

namespace {

using linesim::CallOptions;
using linesim::CallPlayer;
using linesim::Script;
using Millis = CallPlayer::Millis;

volatile std::sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

Millis nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The server has handled the modem's last reply before the ring comes.
constexpr Millis kSettleMs = 500;
// Between two calls the server returns to its idle line.
constexpr Millis kGapMs = 1000;
// A call waits this long for the server to start the line.
constexpr Millis kReadyLimitMs = 120000;

struct Options {
  std::string dir = ".";
  int port = 1;
  std::string log;
  std::string report;
  std::string noise;
  linesim::ModemConfig modem;
  std::vector<std::string> calls;
  CallOptions call;
};

void usage(std::FILE* to) {
  std::fputs(
      "usage: ondrix-linesim [options]\n"
      "       ondrix-linesim call NAME [--dir DIR] [--port N] [call options]\n"
      "The first form runs the simulated modem; the second makes a call arrive on a\n"
      "simulator that is already running (on port N of DIR; DIR defaults to the\n"
      "directory of this program, where scripts/run.sh starts it), prints the\n"
      "dialogue and exits 0 when the server answered every step as expected,\n"
      "1 when not (saying where), 2 on a usage error or when no simulator runs.\n"
      "\n"
      "Options:\n"
      "  --dir DIR        program directory of the server (default: .)\n"
      "  --port N         link the line as COM<N> in DIR (default: 1)\n"
      "  --model TEXT     model line answered to ati3 (default: QV-M7)\n"
      "  --start CMD      start command answered OK (default: at#sy1=40)\n"
      "  --setup CMD      set-up command answered OK (default: atu3v1q0\\v2#ps2=1)\n"
      "  --ok CMD         one more command answered OK (repeatable)\n"
      "  --no-echo        do not echo what the server sends\n"
      "  --silent         never answer (the server's replies time out)\n"
      "  --log FILE       append every byte received from the server to FILE\n"
      "  --noise FILE     send FILE's bytes, once, as soon as the server has started\n"
      "                   the line (line noise before any call)\n"
      "  --call NAME      play this call once the server has started the line\n"
      "                   (repeatable; calls follow each other)\n"
      "  --report FILE    append each call's verdict to FILE\n"
      "Call options:\n"
      "  --melody FILE    a melody the operator offers: FILE holds its element\n"
      "                   text (\"<MEL=...>\"); repeatable, in the order offered\n"
      "  --image FILE     an offered image: FILE holds its element text\n"
      "                   (\"<IMAGE>...</IMAGE>\"); repeatable, in order\n"
      "  --sub TEXT       connected subaddress (the voice call's message, or the\n"
      "                   service another data call asks for)\n"
      "  --calling N[/S]  the caller's number and subaddress\n"
      "  --number N       the number the operator dials in the dial call\n"
      "                   (default: 0312345678)\n"
      "  --away SECONDS   how long the unplug call keeps the device away (default: 3)\n"
      "  --refusals N     hang-ups the modem refuses in the hang-up calls, 1 to 4\n"
      "                   (default: 1; 4: every try, so the server starts the modem anew)\n"
      "Calls:\n"
      "  terminal    a terminal logs in, uploads a mail, takes every offered page\n"
      "  voice       a voice call carrying a message in its subaddress\n"
      "  unanswered  a ring for nobody: the server must not answer\n"
      "  other       a data ring for another service: must not be answered\n"
      "  lost        the carrier drops in the middle of an upload\n"
      "  dial        the operator dials with the keypad (\"atdv\" and the number)\n"
      "              and stops the ringing dial with the cut key (\"at\")\n"
      "  answer      a voice ring without message: the operator answers with the\n"
      "              call key and hangs up with the cut key (\"+++\", then \"ath\")\n"
      "  unplug      the device is removed while the server waits for calls and\n"
      "              returned (a new pseudo-terminal behind the same COM<N> link);\n"
      "              the server must send its start command again, unprompted,\n"
      "              within 30 s\n"
      "  hangup-error   a voice call whose hang-up the modem answers \"ERROR\";\n"
      "              the server must try again (escape, \"ath\") and, after three\n"
      "              refused tries, send its start command\n"
      "  hangup-silent  the same with no answer at all to the hang-up\n"
      "A pseudo-terminal has no modem control lines, so the server's DTR drop\n"
      "before a new try cannot be seen here; it pauses a second instead.\n"
      "The running simulator stops on SIGINT or SIGTERM and removes its COM<N> link;\n"
      "its exit status is 1 when a call of --call failed or was never played.\n",
      to);
}

bool parseNumber(const std::string& v, int& out) {
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != '\0' || n < 1 || n > 99) return false;
  out = static_cast<int>(n);
  return true;
}

// Options shared by both forms; `i` is advanced past a value taken.
// Returns 1 when taken, 0 when not an option of these, -1 on a bad value.
int parseCallOption(int argc, char** argv, int& i, CallOptions& o, std::string& error) {
  const std::string a = argv[i];
  if (a != "--melody" && a != "--image" && a != "--sub" && a != "--calling" && a != "--number" &&
      a != "--away" && a != "--refusals") {
    return 0;
  }
  if (i + 1 >= argc) return -1;
  const std::string v = argv[++i];
  if (a == "--sub") {
    o.subaddress = v;
  } else if (a == "--number") {
    o.dialNumber = v;
  } else if (a == "--away") {
    char* end = nullptr;
    const double seconds = std::strtod(v.c_str(), &end);
    if (v.empty() || *end != '\0' || seconds < 0 || seconds > 3600) return -1;
    o.awayMs = static_cast<int>(seconds * 1000);
  } else if (a == "--refusals") {
    if (!parseNumber(v, o.refusals)) return -1;
  } else if (a == "--calling") {
    const std::size_t slash = v.find('/');
    o.callingId = v.substr(0, slash);
    if (slash != std::string::npos) o.callingSub = v.substr(slash + 1);
  } else {
    std::string element;
    if (!linesim::readElement(v, element, error)) return -1;
    (a == "--melody" ? o.offer.melodies : o.offer.images).push_back(element);
  }
  return 1;
}

bool parse(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const int taken = parseCallOption(argc, argv, i, o.call, error);
    if (taken < 0) return false;
    if (taken > 0) continue;
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--dir") {
      if (!value(o.dir)) return false;
    } else if (a == "--port") {
      if (!value(v) || !parseNumber(v, o.port)) return false;
    } else if (a == "--model") {
      if (!value(o.modem.model)) return false;
    } else if (a == "--start") {
      if (!value(o.modem.startCommand)) return false;
    } else if (a == "--setup") {
      if (!value(o.modem.setupCommand)) return false;
    } else if (a == "--ok") {
      if (!value(v)) return false;
      o.modem.extraOk.push_back(v);
    } else if (a == "--no-echo") {
      o.modem.echo = false;
    } else if (a == "--silent") {
      o.modem.silent = true;
    } else if (a == "--log") {
      if (!value(o.log)) return false;
    } else if (a == "--report") {
      if (!value(o.report)) return false;
    } else if (a == "--noise") {
      if (!value(v)) return false;
      std::ifstream in(v, std::ios::binary);
      if (!in) {
        error = "cannot read " + v;
        return false;
      }
      o.noise.assign(std::istreambuf_iterator<char>(in), {});
    } else if (a == "--call") {
      if (!value(v)) return false;
      o.calls.push_back(v);
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

// Writes as much of `pending` as the line takes now; the rest waits.
void flushOut(int fd, std::string& pending) {
  while (!pending.empty()) {
    const ssize_t n = ::write(fd, pending.data(), pending.size());
    if (n <= 0) return;  // full (EAGAIN) or gone; retried on the next turn
    pending.erase(0, static_cast<std::size_t>(n));
  }
}

void sendAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (fd >= 0 && done < text.size()) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return;  // the client went away; the call plays on regardless
    done += static_cast<std::size_t>(n);
  }
}

void printLine(const std::string& line) {
  std::printf("ondrix-linesim: %s\n", line.c_str());
  std::fflush(stdout);
}

// A client of the control socket. Its request is read whole before the call
// is queued; the transcript and the verdict go back to it.
struct Client {
  int fd = -1;
  std::string in;
  bool queued = false;
};

struct QueuedCall {
  Script script;
  std::shared_ptr<Client> client;  // null for a call given with --call
  Millis since = 0;
  bool toldWaiting = false;
};

class Simulator {
 public:
  Simulator(Options& opt, linesim::PtyLink& pty, int control)
      : opt_(opt), pty_(pty), control_(control), modem_(opt.modem) {}

  bool openLog() {
    if (opt_.log.empty()) return true;
    log_.open(opt_.log, std::ios::binary | std::ios::app);
    return static_cast<bool>(log_);
  }

  bool queueOwnCalls() {
    opt_.call.startCommand = opt_.modem.startCommand;
    for (const std::string& name : opt_.calls) {
      Script script;
      std::string error;
      if (!linesim::makeCall(name, opt_.call, script, error)) {
        std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
        return false;
      }
      queue_.push_back({std::move(script), nullptr, nowMs(), false});
    }
    return true;
  }

  int run() {
    char buf[4096];
    while (!stopRequested) {
      std::vector<pollfd> fds;
      fds.push_back(
          {pty_.masterFd(), static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT)), 0});
      fds.push_back({control_, POLLIN, 0});
      for (const auto& c : clients_) fds.push_back({c->fd, POLLIN, 0});
      const int r = ::poll(fds.data(), fds.size(), pollTimeout());
      if (r < 0) {
        if (errno == EINTR) continue;
        std::perror("ondrix-linesim: poll");
        break;
      }
      if (fds[0].revents & POLLIN) {
        const ssize_t n = ::read(pty_.masterFd(), buf, sizeof buf);
        if (n > 0) fromServer(std::string(buf, static_cast<std::size_t>(n)));
      }
      if (fds[1].revents & POLLIN) accept();
      for (std::size_t i = 2; i < fds.size(); ++i) {
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) fromClient(fds[i].fd);
      }
      turn();
      flushOut(pty_.masterFd(), out_);
    }
    // What the server sent before the stop is logged, answered or not.
    for (ssize_t n; (n = ::read(pty_.masterFd(), buf, sizeof buf)) > 0;) {
      if (log_.is_open()) log_.write(buf, n);
    }
    log_.flush();
    if (player_ && player_->running()) {
      finishCall("the simulator was stopped during the call");
    }
    for (const QueuedCall& q : queue_) {
      if (!q.client) {
        ++failures_;
        record(q.script.name + " not played: the simulator was stopped first\n");
        printLine("call \"" + q.script.name + "\" was never played");
      } else {
        sendAll(q.client->fd, "| the simulator was stopped\n= failed\n");
      }
    }
    for (const auto& c : clients_) ::close(c->fd);
    return failures_ == 0 ? 0 : 1;
  }

 private:
  int pollTimeout() const {
    Millis wait = 200;
    if (player_ && player_->running()) wait = player_->nextDeadline() - nowMs();
    if (!queue_.empty()) wait = std::min<Millis>(wait, 50);
    return static_cast<int>(std::clamp<Millis>(wait, 0, 200));
  }

  void fromServer(const std::string& in) {
    if (log_.is_open()) {
      log_.write(in.data(), static_cast<std::streamsize>(in.size()));
      log_.flush();
    }
    // Time passes before the bytes are heard, as the player's own tests
    // play it: a step whose time ran out while this process was not
    // scheduled ends first (a quiet step is not failed by a reply that came
    // after it).
    const Millis now = nowMs();
    if (player_ && player_->running()) out_ += player_->tick(now);
    if (player_ && player_->running()) {
      out_ += player_->receive(in, now);
    } else {
      out_ += modem_.receive(in);
    }
  }

  // Deadlines of the call in play, and the start of the next one.
  void turn() {
    const Millis now = nowMs();
    if (!noiseSent_ && modem_.lineStarted()) {
      noiseSent_ = true;
      out_ += opt_.noise;
    }
    if (player_ && player_->running()) out_ += player_->tick(now);
    followDevice();
    if (player_ && player_->finished() && !reported_) finishCall({});
    if ((player_ && player_->running()) || queue_.empty()) return;

    QueuedCall& next = queue_.front();
    if (!modem_.lineStarted()) {
      if (now - next.since > kReadyLimitMs) {
        const std::string name = next.script.name;
        auto client = next.client;
        queue_.pop_front();
        const std::string failure =
            "call \"" + name + "\" failed: the server never started the line";
        say(client, failure);
        verdict(name, client, false, failure);
        return;
      }
      if (!next.toldWaiting) {
        next.toldWaiting = true;
        say(next.client,
            "waiting for the server to start the line (開始 or 自動検索 in its window)");
      }
      return;
    }
    if (startedAt_ < 0) startedAt_ = now;
    if (now < startedAt_ + kSettleMs || now < lastEnd_ + kGapMs) return;

    auto client = next.client;
    player_ = std::make_unique<CallPlayer>(
        std::move(next.script), [this, client](const std::string& line) { say(client, line); });
    playerClient_ = client;
    reported_ = false;
    queue_.pop_front();
    out_ += player_->start(now);
    followDevice();
  }

  // Removes or returns the device when the call in play says so.
  void followDevice() {
    if (!player_) return;
    if (player_->takeUnplug()) {
      out_.clear();
      pty_.unplug();
      printLine("the device is removed: " + pty_.linkPath() + " points at nothing");
    }
    if (player_->takeReplug()) {
      std::string error;
      if (!pty_.replug(error)) {
        printLine("cannot return the device: " + error);
        return;
      }
      // A new device knows nothing of the server's earlier start.
      modem_ = linesim::Modem(opt_.modem);
      startedAt_ = -1;
      printLine("the device is back: " + pty_.linkPath() + " -> " + pty_.slavePath());
    }
  }

  void finishCall(const std::string& why) {
    reported_ = true;
    lastEnd_ = nowMs();
    if (!why.empty()) {
      const std::string failure = "call \"" + player_->name() + "\" failed: " + why;
      say(playerClient_, failure);
      verdict(player_->name(), playerClient_, false, failure);
    } else {
      verdict(player_->name(), playerClient_, player_->passed(), player_->failure());
    }
    if (playerClient_) dropClient(playerClient_->fd);
    playerClient_.reset();
  }

  void verdict(const std::string& name, const std::shared_ptr<Client>& client, bool passed,
               const std::string& failure) {
    if (!passed && !client) ++failures_;
    if (!client) record(passed ? name + " passed\n" : failure + "\n");
    if (client) sendAll(client->fd, passed ? "= passed\n" : "= failed\n");
  }

  void say(const std::shared_ptr<Client>& client, const std::string& line) {
    printLine(line);
    if (client) sendAll(client->fd, "| " + line + "\n");
  }

  void record(const std::string& text) {
    if (opt_.report.empty()) return;
    std::ofstream out(opt_.report, std::ios::binary | std::ios::app);
    out << text;
  }

  void accept() {
    const int fd = ::accept4(control_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    auto c = std::make_shared<Client>();
    c->fd = fd;
    clients_.push_back(c);
  }

  void fromClient(int fd) {
    auto it =
        std::find_if(clients_.begin(), clients_.end(), [fd](const auto& c) { return c->fd == fd; });
    if (it == clients_.end()) return;
    const std::shared_ptr<Client> c = *it;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) {
      if (n < 0 && errno == EAGAIN) return;
      // Gone: a call it asked for and that has not begun is dropped.
      queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                  [&](const QueuedCall& q) { return q.client == c; }),
                   queue_.end());
      if (playerClient_ == c) playerClient_.reset();
      dropClient(fd);
      return;
    }
    if (c->queued) return;  // one call per connection
    c->in.append(buf, static_cast<std::size_t>(n));
    if (c->in.find("\n\n") == std::string::npos) return;
    std::string name;
    std::string error;
    CallOptions options;
    Script script;
    const bool decoded = linesim::decodeRequest(c->in, name, options, error);
    options.startCommand = opt_.modem.startCommand;
    if (!decoded || !linesim::makeCall(name, options, script, error)) {
      sendAll(fd, "| " + error + "\n= failed\n");
      dropClient(fd);
      return;
    }
    c->queued = true;
    printLine("call \"" + name + "\" asked for on the control socket");
    queue_.push_back({std::move(script), c, nowMs(), false});
  }

  void dropClient(int fd) {
    auto it =
        std::find_if(clients_.begin(), clients_.end(), [fd](const auto& c) { return c->fd == fd; });
    if (it == clients_.end()) return;
    ::close(fd);
    (*it)->fd = -1;
    clients_.erase(it);
  }

  Options& opt_;
  linesim::PtyLink& pty_;
  int control_;
  linesim::Modem modem_;
  std::ofstream log_;
  std::string out_;
  std::vector<std::shared_ptr<Client>> clients_;
  std::deque<QueuedCall> queue_;
  std::unique_ptr<CallPlayer> player_;
  std::shared_ptr<Client> playerClient_;
  bool reported_ = true;
  bool noiseSent_ = false;
  Millis startedAt_ = -1;
  Millis lastEnd_ = 0;
  int failures_ = 0;
};

// The directory this program lives in: where scripts/run.sh starts the
// simulator, so `call` finds it without being told.
std::string ownDirectory(const char* argv0) {
  char buf[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string path = n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string(argv0);
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// `ondrix-linesim call NAME ...`: plays one call through the running simulator.
int callClient(int argc, char** argv) {
  if (argc < 2) {
    usage(stderr);
    return 2;
  }
  const std::string name = argv[1];
  std::string dir = ownDirectory(argv[0]);
  int port = 1;
  CallOptions options;
  std::string error;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const int taken = parseCallOption(argc, argv, i, options, error);
    if (taken > 0) continue;
    if (taken == 0 && a == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (taken == 0 && a == "--port" && i + 1 < argc && parseNumber(argv[i + 1], port)) {
      ++i;
    } else {
      std::fprintf(stderr, "ondrix-linesim: %s\n",
                   error.empty() ? ("bad argument " + a).c_str() : error.c_str());
      return 2;
    }
  }
  Script check;
  if (!linesim::makeCall(name, options, check, error)) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 2;
  }
  const int fd = linesim::connectControl(linesim::controlPath(dir, port), error);
  if (fd < 0) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 2;
  }
  sendAll(fd, linesim::encodeRequest(name, options));
  std::string in;
  char buf[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    in.append(buf, static_cast<std::size_t>(n));
    for (std::size_t eol; (eol = in.find('\n')) != std::string::npos; in.erase(0, eol + 1)) {
      const std::string line = in.substr(0, eol);
      if (line.rfind("| ", 0) == 0) {
        std::printf("%s\n", line.c_str() + 2);
        std::fflush(stdout);
      } else if (line == "= passed") {
        ::close(fd);
        return 0;
      } else if (line == "= failed") {
        ::close(fd);
        return 1;
      }
    }
  }
  ::close(fd);
  std::fprintf(stderr, "ondrix-linesim: the simulator went away before the call ended\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    usage(stdout);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "call") == 0) return callClient(argc - 1, argv + 1);

  Options opt;
  std::string error;
  if (!parse(argc, argv, opt, error)) {
    if (!error.empty()) std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    usage(stderr);
    return 2;
  }

  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  linesim::PtyLink pty;
  if (!pty.create(error)) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 1;
  }
  const std::string controlPath = linesim::controlPath(opt.dir, opt.port);
  const int control = linesim::listenControl(controlPath, error);
  if (control < 0) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    return 1;
  }
  Simulator sim(opt, pty, control);
  if (!sim.openLog()) {
    std::fprintf(stderr, "ondrix-linesim: cannot write %s\n", opt.log.c_str());
    return 1;
  }
  if (!sim.queueOwnCalls()) return 2;
  // Last: from here on whatever the server sends is answered.
  if (!pty.link(opt.dir, opt.port, error)) {
    std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
    ::close(control);
    ::unlink(controlPath.c_str());
    return 1;
  }
  std::printf("ondrix-linesim: modem \"%s\" on %s -> %s; calls: %s\n", opt.modem.model.c_str(),
              pty.linkPath().c_str(), pty.slavePath().c_str(), controlPath.c_str());
  std::fflush(stdout);

  const int status = sim.run();
  ::close(control);
  ::unlink(controlPath.c_str());
  pty.removeLink();
  return status;
}
