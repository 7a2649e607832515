// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt timer: ticks until its interval is 0, and a stop inside a tick.
#include "qt/qt_timer.h"

#include <gmock/gmock.h>

#include "pty_support.h"

namespace ondrix {
namespace {

using testing::pumpFor;
using testing::pumpUntil;

TEST(QtTimerTest, TicksRepeatedlyUntilIntervalZero) {
  QtTimer timer;
  int ticks = 0;
  timer.setOnTick([&] { ++ticks; });
  EXPECT_EQ(timer.interval(), 0);
  pumpFor(60);
  EXPECT_EQ(ticks, 0);  // idle until an interval is set

  timer.setInterval(20);
  EXPECT_EQ(timer.interval(), 20);
  ASSERT_TRUE(pumpUntil([&] { return ticks >= 3; }));

  timer.setInterval(0);
  EXPECT_EQ(timer.interval(), 0);
  const int stoppedAt = ticks;
  pumpFor(80);
  EXPECT_EQ(ticks, stoppedAt);
}

TEST(QtTimerTest, StoppingInsideTheTickMakesAOneShot) {
  QtTimer timer;
  int ticks = 0;
  timer.setOnTick([&] {
    ++ticks;
    timer.setInterval(0);
  });
  timer.setInterval(15);
  ASSERT_TRUE(pumpUntil([&] { return ticks >= 1; }));
  pumpFor(80);
  EXPECT_EQ(ticks, 1);
  // Arming again gives one more tick.
  timer.setInterval(15);
  ASSERT_TRUE(pumpUntil([&] { return ticks >= 2; }));
  pumpFor(80);
  EXPECT_EQ(ticks, 2);
}

}  // namespace
}  // namespace ondrix
