// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's loop: moves bytes between the pseudo-terminal, the modem
// or the call in play, and the clients of the control socket.
#include "simulator.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include "control.h"

namespace linesim {

namespace {

using Millis = CallPlayer::Millis;

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

}  // namespace

void printLine(const std::string& line) {
  std::printf("ondrix-linesim: %s\n", line.c_str());
  std::fflush(stdout);
}

bool Simulator::openLog() {
  if (opt_.log.empty()) return true;
  log_.open(opt_.log, std::ios::binary | std::ios::app);
  return static_cast<bool>(log_);
}

bool Simulator::queueOwnCalls() {
  opt_.call.startCommand = opt_.modem.startCommand;
  for (const std::string& name : opt_.calls) {
    Script script;
    std::string error;
    if (!makeCall(name, opt_.call, script, error)) {
      std::fprintf(stderr, "ondrix-linesim: %s\n", error.c_str());
      return false;
    }
    queue_.push_back({std::move(script), nullptr, nowMs(), false});
  }
  return true;
}

int Simulator::run(const volatile std::sig_atomic_t& stop) {
  char buf[4096];
  while (!stop) {
    // A master nobody has open reports a hang-up at every poll: until the
    // port is opened, its watch says when.
    std::vector<pollfd> fds;
    fds.push_back({pty_.inUse() ? pty_.masterFd() : -1,
                   static_cast<short>(POLLIN | (out_.empty() ? 0 : POLLOUT)), 0});
    fds.push_back({pty_.watchFd(), POLLIN, 0});
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
    followPort();
    if (fds[2].revents & POLLIN) accept();
    for (std::size_t i = 3; i < fds.size(); ++i) {
      if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) fromClient(fds[i].fd);
    }
    turn();
    pty_.send(out_);
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
int Simulator::pollTimeout() const {
  Millis wait = 200;
  if (player_ && player_->running()) wait = player_->nextDeadline() - nowMs();
  if (!queue_.empty()) wait = std::min<Millis>(wait, 50);
  return static_cast<int>(std::clamp<Millis>(wait, 0, 200));
}

void Simulator::fromServer(const std::string& in) {
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
void Simulator::turn() {
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
      const std::string failure = "call \"" + name + "\" failed: the server never started the line";
      say(client, failure);
      verdict(name, client, false, failure);
      return;
    }
    if (!next.toldWaiting) {
      next.toldWaiting = true;
      say(next.client, "waiting for the server to start the line (開始 or 自動検索 in its window)");
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

// The port's last close: what the server sent last is still heard, and the
// line waits to be started again by whoever opens the port next.
void Simulator::followPort() {
  std::string leftOver;
  const bool closed = pty_.followLastClose(leftOver);
  if (!leftOver.empty()) fromServer(leftOver);
  if (!closed) return;
  out_.clear();
  modem_ = Modem(opt_.modem);
  startedAt_ = -1;
  printLine("the port's last user closed it: " + pty_.linkPath() + " now leads to " +
            pty_.slavePath() + ", a line never opened");
}

// Removes or returns the device when the call in play says so.
void Simulator::followDevice() {
  if (!player_) return;
  if (player_->takeUnplug()) {
    out_.clear();
    const bool withLink = player_->linkRemoved();
    pty_.unplug(withLink);
    printLine("the device is removed: " + pty_.linkPath() +
              (withLink ? " is gone with it" : " points at nothing"));
  }
  if (player_->takeReplug()) {
    std::string error;
    if (!pty_.replug(error)) {
      printLine("cannot return the device: " + error);
      return;
    }
    // A new device knows nothing of the server's earlier start.
    modem_ = Modem(opt_.modem);
    startedAt_ = -1;
    printLine("the device is back: " + pty_.linkPath() + " -> " + pty_.slavePath());
  }
}

void Simulator::finishCall(const std::string& why) {
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

void Simulator::verdict(const std::string& name, const std::shared_ptr<Client>& client, bool passed,
                        const std::string& failure) {
  if (!passed && !client) ++failures_;
  if (!client) record(passed ? name + " passed\n" : failure + "\n");
  if (client) sendAll(client->fd, passed ? "= passed\n" : "= failed\n");
}

void Simulator::say(const std::shared_ptr<Client>& client, const std::string& line) {
  printLine(line);
  if (client) sendAll(client->fd, "| " + line + "\n");
}

void Simulator::record(const std::string& text) {
  if (opt_.report.empty()) return;
  std::ofstream out(opt_.report, std::ios::binary | std::ios::app);
  out << text;
}

void Simulator::accept() {
  const int fd = ::accept4(control_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
  if (fd < 0) return;
  auto c = std::make_shared<Client>();
  c->fd = fd;
  clients_.push_back(c);
}

void Simulator::fromClient(int fd) {
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
  const bool decoded = decodeRequest(c->in, name, options, error);
  options.startCommand = opt_.modem.startCommand;
  if (!decoded || !makeCall(name, options, script, error)) {
    sendAll(fd, "| " + error + "\n= failed\n");
    dropClient(fd);
    return;
  }
  c->queued = true;
  printLine("call \"" + name + "\" asked for on the control socket");
  queue_.push_back({std::move(script), c, nowMs(), false});
}

void Simulator::dropClient(int fd) {
  auto it =
      std::find_if(clients_.begin(), clients_.end(), [fd](const auto& c) { return c->fd == fd; });
  if (it == clients_.end()) return;
  ::close(fd);
  (*it)->fd = -1;
  clients_.erase(it);
}

}  // namespace linesim
