// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A window timer: ticks every `interval` ms on the event-loop thread while
// the interval is above 0.
#include <functional>

namespace ondrix {

class Timer {
 public:
  virtual ~Timer() = default;
  // 0 stops the timer; any other value (re)starts it with that period.
  virtual void setInterval(int milliseconds) = 0;
  virtual int interval() const = 0;

  void setOnTick(std::function<void()> handler) { onTick_ = std::move(handler); }

 protected:
  void tick() {
    if (onTick_) onTick_();
  }

 private:
  std::function<void()> onTick_;
};

}  // namespace ondrix
