// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The disk's slow steps (syncs and the renames behind them) on a thread of
// their own, in the order they were asked for, and what waits for them on
// the window's thread: the replies, hooks and notices that name a record.
#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/hook_runner.h"
#include "platform/notifier.h"
#include "platform/serial_line.h"
#include "qt/qt_timer.h"

namespace ondrix {

class DurableQueue : public QObject {
  Q_OBJECT

 public:
  DurableQueue();
  // Every step asked for is done before the worker ends; what waits for
  // them is not called any more.
  ~DurableQueue() override;
  DurableQueue(const DurableQueue&) = delete;
  DurableQueue& operator=(const DurableQueue&) = delete;

  // Runs `step` on the worker once every step before it is done; false from
  // it counts as a failure.
  void enqueue(std::function<bool()> step);
  // Calls `then` on this thread once every step asked for before it is
  // done: at once when none is pending, else from the event loop, in the
  // order asked. `durable` is false when a step failed since the worker
  // last ran out of steps: what waits behind it may tell of it.
  void afterDone(std::function<void(bool durable)> then);
  // Something asked for is not done, or its `then` not yet called.
  bool busy() const;
  // Waits until the worker has done every step asked for; calls nothing.
  void drain();
  // drain(), then calls the `then`s due: for the server's end and for
  // tests, never from inside the core.
  void finish();
  // Called on this thread, once per failed step.
  void setOnFailure(std::function<void()> handler) { onFailure_ = std::move(handler); }

 private:
  struct Item {
    std::function<bool()> step;      // a slow step, or
    std::function<void(bool)> then;  // what waits for the steps before
  };
  struct Done {
    std::function<void(bool)> then;  // empty: a failure to report
    bool durable = true;
  };
  void work();
  void deliver();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  std::deque<Item> items_;
  std::deque<Done> done_;
  bool running_ = false;  // the worker is inside a step
  bool failedSinceIdle_ = false;
  bool stopping_ = false;
  std::function<void()> onFailure_;
  std::thread worker_;
};

// A serial line whose writes go out only once everything the disk was asked
// to keep before them is durable: a caller is never told of a record that a
// power cut can still take. A write behind a failed step is dropped, so the
// terminal hears no success.
class DurableReplies : public SerialLine {
 public:
  DurableReplies(SerialLine& line, DurableQueue& queue);

  bool selectPort(std::int16_t port) override { return line_.selectPort(port); }
  bool open() override { return line_.open(); }
  bool isOpen() const override { return line_.isOpen(); }
  bool reopen() override { return line_.reopen(); }
  void close() override;
  int pendingInput() override { return line_.pendingInput(); }
  Text readAll() override { return line_.readAll(); }
  void write(const Text& text) override;
  bool carrierDetect() const override { return line_.carrierDetect(); }
  bool setDataTerminalReady(bool on) override { return line_.setDataTerminalReady(on); }
  CommEvent commEvent() const override { return line_.commEvent(); }

 private:
  SerialLine& line_;
  DurableQueue& queue_;
  // Counts closes: what was held for a session never reaches the next.
  unsigned session_ = 0;
};

// The desktop's notices and the new-mail hooks, each started only once what
// the disk was asked to keep before it is durable: a notice or a hook names
// a record that is there. A hook behind a failed step is not started.
class DurableNotices : public Notifier {
 public:
  DurableNotices(Notifier& notifier, DurableQueue& queue) : notifier_(notifier), queue_(queue) {}
  void notify(const DesktopNotice& notice) override;

 private:
  Notifier& notifier_;
  DurableQueue& queue_;
};

class DurableHooks : public HookRunner {
 public:
  DurableHooks(HookRunner& hooks, DurableQueue& queue);
  HookFileFacts inspect(const Text& path) override { return hooks_.inspect(path); }
  void run(const HookCall& call) override;

 private:
  HookRunner& hooks_;
  DurableQueue& queue_;
};

// The records' timer: a tick is taken only once the disk has done every
// step asked for before it, so a catch-up never piles up steps that a
// reply would then wait behind.
class IdleDiskTimer : public Timer {
 public:
  explicit IdleDiskTimer(DurableQueue& queue);
  void setInterval(int milliseconds) override { timer_.setInterval(milliseconds); }
  int interval() const override { return timer_.interval(); }

 private:
  QtTimer timer_;
  DurableQueue& queue_;
  bool waiting_ = false;
};

}  // namespace ondrix
