// SPDX-License-Identifier: GPL-3.0-or-later
// The window timers over QTimer, ticking on the event loop.
#include "qt/qt_timer.h"

namespace ondrix {

QtTimer::QtTimer(QObject* parent) : QObject(parent) {
  // The escape guard must leave the modem its full silence before "+++";
  // a coarse timer may fire a few percent early.
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
}

void QtTimer::setInterval(int milliseconds) {
  interval_ = milliseconds > 0 ? milliseconds : 0;
  if (interval_ == 0) {
    timer_.stop();
  } else {
    timer_.start(interval_);
  }
}

}  // namespace ondrix
