// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Form1 wired to fakes, for driving handlers in tests.
#include "fakes.h"
#include "state/form1.h"

namespace ondrix {

struct FakePlatform {
  FakeSerialLine serial;
  FakeTimer timer1;
  FakeTimer timer2;
  FakeClock clock;
  FakeFiles files;
  FakeDesktop desktop;

  Form1Platform platform() { return {serial, timer1, timer2, clock, files, desktop}; }
};

// Owns the fakes and the form; the fakes are built first.
template <typename Form = Form1>
struct Harness {
  FakePlatform fakes;
  Form form{fakes.platform()};

  Harness() {
    fakes.serial.setOnComm([this] { form.MSComm1_OnComm(); });
    fakes.timer1.setOnTick([this] { form.Timer1_Timer(); });
    fakes.timer2.setOnTick([this] { form.Timer2_Timer(); });
  }
  // Opens the line as if the server had been started on it.
  void openLine() {
    fakes.serial.selectPort(1);
    fakes.serial.open();
    fakes.timer1.setInterval(kPollIntervalMs);
  }
  // One poll tick with the chunk pending (or a quiet tick for an empty one).
  void tick(const Text& chunk = {}) {
    if (!chunk.empty()) fakes.serial.feed(chunk);
    form.Timer1_Timer();
  }
};

}  // namespace ondrix
