// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the new-mail hook: an argument vector, no shell, stdin /dev/null,
// in a process group of its own that is killed at the time limit.
#include <QObject>
#include <deque>

#include "platform/hook_runner.h"

namespace ondrix {

class QtFiles;

class QtHookRunner : public HookRunner {
 public:
  static constexpr int kTimeLimitMs = 60'000;
  static constexpr int kAtOnce = 2;

  explicit QtHookRunner(QtFiles& files, int timeLimitMs = kTimeLimitMs, int atOnce = kAtOnce);
  // Whatever still runs is killed with its group.
  ~QtHookRunner() override;
  QtHookRunner(const QtHookRunner&) = delete;
  QtHookRunner& operator=(const QtHookRunner&) = delete;

  HookFileFacts inspect(const Text& path) override;
  void run(const HookCall& call) override;

 private:
  void startWaiting();
  void start(const HookCall& call);
  void finish(const HookEnd& end);

  QtFiles& files_;
  int timeLimitMs_;
  int atOnce_;
  int running_ = 0;
  std::deque<HookCall> waiting_;
  QObject processes_;  // parent of the running processes
};

}  // namespace ondrix
