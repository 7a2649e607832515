// SPDX-License-Identifier: GPL-3.0-or-later
// The durability worker: one thread, first in first out, and the window
// thread's side that waits for it without blocking.
#include "qt/durable_queue.h"

namespace ondrix {

DurableQueue::DurableQueue() : worker_([this] { work(); }) {}

DurableQueue::~DurableQueue() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  worker_.join();
}

void DurableQueue::enqueue(std::function<bool()> step) {
  {
    const std::lock_guard lock(mutex_);
    items_.push_back({std::move(step), {}});
  }
  wake_.notify_one();
}

void DurableQueue::afterDone(std::function<void(bool)> then) {
  if (!busy()) {
    then(true);
    return;
  }
  {
    const std::lock_guard lock(mutex_);
    items_.push_back({{}, std::move(then)});
  }
  wake_.notify_one();
}

bool DurableQueue::busy() const {
  const std::lock_guard lock(mutex_);
  return running_ || !items_.empty() || !done_.empty();
}

void DurableQueue::drain() {
  std::unique_lock lock(mutex_);
  idle_.wait(lock, [this] { return !running_ && items_.empty(); });
}

void DurableQueue::finish() {
  drain();
  deliver();
}

void DurableQueue::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !items_.empty(); });
    // Stopping still does every step asked for: each one is a record's way
    // to the disk.
    if (items_.empty()) return;
    Item item = std::move(items_.front());
    items_.pop_front();
    bool ok = true;
    if (item.step) {
      running_ = true;
      lock.unlock();
      ok = item.step();
      lock.lock();
      running_ = false;
    }
    const bool told = done_.empty();
    if (!ok) {
      failedSinceIdle_ = true;
      done_.push_back({{}, false});
    } else if (item.then) {
      done_.push_back({std::move(item.then), !failedSinceIdle_});
    }
    // What was asked for after the queue ran dry is told of again.
    if (items_.empty()) failedSinceIdle_ = false;
    // One call from the event loop takes every `then` due by then.
    if (told && !done_.empty() && !stopping_) {
      QMetaObject::invokeMethod(this, &DurableQueue::deliver, Qt::QueuedConnection);
    }
    if (items_.empty()) idle_.notify_all();
  }
}

void DurableQueue::deliver() {
  for (;;) {
    Done next;
    {
      const std::lock_guard lock(mutex_);
      if (done_.empty()) return;
      next = std::move(done_.front());
      done_.pop_front();
    }
    if (next.then) {
      next.then(next.durable);
    } else if (onFailure_) {
      onFailure_();
    }
  }
}

DurableReplies::DurableReplies(SerialLine& line, DurableQueue& queue) : line_(line), queue_(queue) {
  line_.setOnComm([this] { notify(); });
}

void DurableReplies::close() {
  ++session_;
  line_.close();
}

void DurableReplies::write(const Text& text) {
  if (text.empty()) return;
  queue_.afterDone([this, text, session = session_](bool durable) {
    // Behind a failed step the reply would tell of what the disk may not
    // hold: it is dropped, and the terminal hears no success.
    if (durable && session == session_) line_.write(text);
  });
}

void DurableNotices::notify(const DesktopNotice& notice) {
  queue_.afterDone([this, notice](bool durable) {
    if (durable) notifier_.notify(notice);
  });
}

DurableHooks::DurableHooks(HookRunner& hooks, DurableQueue& queue) : hooks_(hooks), queue_(queue) {
  hooks_.setOnEnded([this](const HookEnd& end) { ended(end); });
}

void DurableHooks::run(const HookCall& call) {
  queue_.afterDone([this, call](bool durable) {
    // Every call still ends in one report.
    if (durable) {
      hooks_.run(call);
    } else {
      ended({HookEnd::How::NotStarted, 0, {}});
    }
  });
}

IdleDiskTimer::IdleDiskTimer(DurableQueue& queue) : queue_(queue) {
  timer_.setOnTick([this] {
    if (waiting_) return;
    waiting_ = true;
    queue_.afterDone([this](bool) {
      waiting_ = false;
      // Stopped meanwhile: the tick is no longer wanted.
      if (interval() > 0) tick();
    });
  });
}

}  // namespace ondrix
