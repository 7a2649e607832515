// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A window timer over QTimer: ticks on the event loop while its interval is
// above 0.
#include <QObject>
#include <QTimer>

#include "platform/timer.h"

namespace ondrix {

class QtTimer : public QObject, public Timer {
  Q_OBJECT

 public:
  explicit QtTimer(QObject* parent = nullptr);

  void setInterval(int milliseconds) override;
  int interval() const override { return interval_; }

 private:
  QTimer timer_;
  int interval_ = 0;
};

}  // namespace ondrix
