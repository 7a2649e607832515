// SPDX-License-Identifier: GPL-3.0-or-later
// The local date and time, read from the system clock through Qt.
#include "qt/qt_clock.h"

#include <QDateTime>

namespace ondrix {

LocalTime QtClock::now() const {
  const QDateTime t = QDateTime::currentDateTime();
  const QDate d = t.date();
  const QTime h = t.time();
  return {d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second(), t.offsetFromUtc()};
}

}  // namespace ondrix
