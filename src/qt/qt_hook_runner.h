// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the new-mail hook: an argument vector, no shell, the very file that
// was checked, in a process group of its own under a keeper that ends it
// and all it left behind at the time limit.
#include <sys/types.h>

#include <QObject>
#include <deque>
#include <list>
#include <memory>

#include "platform/hook_runner.h"

namespace ondrix {

class QtFiles;

class QtHookRunner : public HookRunner {
 public:
  static constexpr int kTimeLimitMs = 60'000;
  static constexpr int kAtOnce = 2;

  explicit QtHookRunner(QtFiles& files, int timeLimitMs = kTimeLimitMs, int atOnce = kAtOnce);
  // Whatever still runs is ended with all it started.
  ~QtHookRunner() override;
  QtHookRunner(const QtHookRunner&) = delete;
  QtHookRunner& operator=(const QtHookRunner&) = delete;

  HookFileFacts inspect(const Text& path) override;
  void run(const HookCall& call) override;

 private:
  struct Run;
  void startWaiting();
  void start(const HookCall& call);
  void hookEnded(Run& run, const HookEnd& end);
  void reap(Run& run);

  QtFiles& files_;
  int timeLimitMs_;
  int atOnce_;
  int running_ = 0;
  std::deque<HookCall> waiting_;
  std::list<std::unique_ptr<Run>> runs_;
  QObject context_;  // of the deferred reports
};

}  // namespace ondrix
