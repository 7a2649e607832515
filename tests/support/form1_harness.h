// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A Form1 wired to fakes, for driving handlers in tests; its records go
// down their road (archive, notice, hook) and its calls into the journal.
#include "fake_archive.h"
#include "fakes.h"
#include "journal/call_journal.h"
#include "records/record_road.h"
#include "state/form1.h"

namespace ondrix {

struct FakePlatform {
  FakeSerialLine serial;
  FakeTimer timer1;
  FakeTimer timer2;
  FakeClock clock;
  FakeFiles files;
  FakeDesktop desktop;
  FakeArchive archive;
  FakeNotifier notifier;
  FakeHookRunner hooks;
  FakeTimer recordsTimer;  // the road's own: fire() files the next record
  RecordRoad road{archive, notifier, hooks, files, clock, recordsTimer};
  CallJournal journal{files};

  Form1Platform platform() {
    return {serial, timer1, timer2, clock, files, desktop, {&journal, &road}};
  }
  // Every record the road has to file, filed (as many ticks as it takes).
  void fileRecords() {
    for (int i = 0; i < 1000 && recordsTimer.interval() > 0; ++i) recordsTimer.fire();
  }
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
    fakes.road.setOnLines([this] { form.sayRecordLines(); });
    fakes.road.setOnCaughtUp(
        [this](int count) { fakes.journal.recordsCaughtUp(count, fakes.clock.now()); });
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
