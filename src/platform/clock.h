// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Local date and time, for time stamps of stored records and of the call
// journal.
namespace ondrix {

struct LocalTime {
  int year = 2000;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;
  int utcOffsetSeconds = 0;  // local time minus UTC, east positive
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime now() const = 0;
};

}  // namespace ondrix
