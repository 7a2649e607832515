// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plays a call through the poll loop one tick per step and checks every byte
// the server writes in each tick.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "form1_harness.h"

namespace ondrix {

struct CallStep {
  Text input;  // what arrives before the tick (empty: a quiet tick)
  Text reply;  // everything the server must write in that tick
  // Runs instead of the tick when set (a timer firing, the carrier).
  std::function<void()> event = nullptr;
};

template <typename Form>
void playCall(Harness<Form>& h, const std::vector<CallStep>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    h.fakes.serial.clearWrites();
    if (steps[i].event) {
      steps[i].event();
    } else {
      h.tick(steps[i].input);
    }
    EXPECT_EQ(h.fakes.serial.written(), steps[i].reply)
        << "step " << i << " after " << toUtf8(steps[i].input);
  }
}

}  // namespace ondrix
