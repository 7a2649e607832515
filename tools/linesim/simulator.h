// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The running simulator's loop: the modem on the pseudo-terminal, the calls
// queued by --call and by clients of the control socket, one at a time, and
// the device removed and returned when a call says so.
#include <csignal>
#include <deque>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "modem.h"
#include "options.h"
#include "player.h"
#include "pty_link.h"

namespace linesim {

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
  CallPlayer::Millis since = 0;
  bool toldWaiting = false;
};

// One line of the simulator's own output, flushed at once.
void printLine(const std::string& line);

class Simulator {
 public:
  using Millis = CallPlayer::Millis;

  Simulator(Options& opt, PtyLink& pty, int control)
      : opt_(opt), pty_(pty), control_(control), modem_(opt.modem) {}

  bool openLog();
  bool queueOwnCalls();
  // Runs until `stop` is set; 0 when every call of --call passed.
  int run(const volatile std::sig_atomic_t& stop);

 private:
  int pollTimeout() const;
  void fromServer(const std::string& in);
  void turn();
  void followPort();
  void followDevice();
  void finishCall(const std::string& why);
  void verdict(const std::string& name, const std::shared_ptr<Client>& client, bool passed,
               const std::string& failure);
  void say(const std::shared_ptr<Client>& client, const std::string& line);
  void record(const std::string& text);
  void accept();
  void fromClient(int fd);
  void dropClient(int fd);

  Options& opt_;
  PtyLink& pty_;
  int control_;
  Modem modem_;
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

}  // namespace linesim
