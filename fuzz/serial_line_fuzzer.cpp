// SPDX-License-Identifier: GPL-3.0-or-later
// Anyone who can dial the server can send it any bytes. This target plays a
// fuzz input into a started server through the fake line, a few bytes at a
// time, with carrier changes, quiet ticks, the escape timer and the
// operator's buttons in between, and checks that no handler is slow, that the
// shared state stays within its bounds and that the store file written at
// exit gives back every record held in memory.
//
// Input: byte 0 picks the starting state and whether content is offered;
// the rest is a list of steps separated by 0xFF. A step's first byte says
// what happens (see Step below), the rest of the step is its data.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "form1_harness.h"
#include "fuzz_input.h"
#include "store/base64.h"
#include "store/mail_store_file.h"

namespace ondrix::fuzz {
namespace {

// A tick is 100 ms; a handler may take half of it under the sanitizers.
// ONDRIX_FUZZ_TICK_LIMIT_MS lowers it when hunting for slow inputs by hand.
double tickLimitMs = 50;
// Bounds on the work of one input, which is the sum of its ticks: a tick
// with a long buffer on-line scans all of it, so hundreds of one-character
// reads after a flood would make one input run for seconds without any tick
// being slow. Reads into a short buffer are not limited.
constexpr int kMaxFloodsPerInput = 2;
constexpr std::size_t kLongBuffer = 2048;
constexpr int kMaxReadsIntoLongBuffer = 32;

// Slowest handler that was not found slow twice, over the whole run.
double worstHandlerMs = 0;
// Inputs played twice because one handler was slow the first time.
long replays = 0;

enum class Start { CommandMode, OnlineData, OnlineVoice };

enum Step : std::uint8_t {
  kRead = 0,          // the data arrives in one read, one tick
  kSplitRead = 1,     // the data arrives in reads of (b >> 3) + 1 characters
  kQuiet = 2,         // 2 * ((b >> 3) + 1) quiet ticks, then the data in one read
  kCarrierEvent = 3,  // carrier becomes (b >> 3) & 1 with its notification
  kEscapeTimer = 4,   // the escape timer fires (when armed), then the data
  kFlood = 5,         // the data repeated past the input cap, in one read
  kOperator = 6,      // a button of the console ((b >> 3) % 8), see operatorAction
  kCarrierLevel = 7,  // carrier becomes (b >> 3) & 1 without a notification
};

// 8 x 2 pixels, as a terminal would show it.
const Bytes kOfferedImage = {'D', 'O', 'T', 0, 8, 0, 2, 0xFF, 0x81};

class Session {
 public:
  Session(std::uint8_t setup, TickClock& clock) : clock_(clock) {
    Form1& f = h.form;
    f.Form_Load();
    if ((setup / 3) % 2 == 0) {
      f.MelodyPool[0] = u"<MEL=T120,C4D4E4>";
      f.MelodyPool[1] = u"<MEL=O1,G4>";
      f.MelodyPool[2] = u"<MEL=O2,A8>";
      f.MelodyCount = 3;
      f.ImagePool[0] = u"<IMAGE>" + encodeBase64(kOfferedImage) + u"</IMAGE>";
      f.ImagePool[1] = f.ImagePool[0];
      f.ImageCount = 2;
    }
    // Started, and both the start and the set-up command answered.
    handler("start", [&] { f.StartBtn_Click(); });
    read(u"OK\r\n");
    read(u"OK\r\n");
    switch (static_cast<Start>(setup % 3)) {
      case Start::CommandMode:
        break;
      case Start::OnlineData:
        h.fakes.serial.setCarrier(true);
        f.LineState = LineStateCode::OnlineData;
        break;
      case Start::OnlineVoice:
        h.fakes.serial.setCarrier(true);
        f.LineState = LineStateCode::OnlineVoice;
        f.CallerStage = CallerStageCode::Answered;
        break;
    }
  }

  void step(ByteView s) {
    if (s.empty()) {
      tick();
      return;
    }
    const std::uint8_t b = s[0];
    const std::uint8_t arg = b >> 3;
    const Text data = textOf(s.substr(1));
    switch (static_cast<Step>(b & 7)) {
      case kRead:
        read(data);
        break;
      case kSplitRead:
        for (std::size_t at = 0; at < data.size(); at += arg + 1u) read(data.substr(at, arg + 1u));
        break;
      case kQuiet:
        for (int i = 0; i < 2 * (arg + 1); ++i) tick();
        read(data);
        break;
      case kCarrierEvent:
        // The line reports carrier changes only while the port is open.
        if (h.fakes.serial.isOpen()) {
          handler("carrier change", [&] { h.fakes.serial.raiseCarrierChange(arg & 1); });
        }
        read(data);
        break;
      case kEscapeTimer:
        handler("escape timer", [&] { h.fakes.timer2.fire(); });
        read(data);
        break;
      case kFlood:
        if (++floods_ <= kMaxFloodsPerInput) {
          const Text unit = data.empty() ? Text(u"OK\r") : data;
          Text flood;
          while (flood.size() <= kRxBufferLimit) flood += unit;
          read(flood);
        }
        break;
      case kOperator:
        operatorAction(arg, data);
        break;
      case kCarrierLevel:
        h.fakes.serial.setCarrier(arg & 1);
        read(data);
        break;
    }
  }

  // The program ends: the store is written, and reading it back must give
  // every record as it was held (a '"' comes back as the quote written
  // instead of it).
  void finish() {
    Form1& f = h.form;
    // The window goes away with the port closed and the line as it was.
    clock_.time("unload", [&] { f.Form_Unload(); });
    auto loaded = std::make_unique<MailStoreArrays>();
    LoadMailStore(h.fakes.files, f.AppDir + u"\\amp.dat", *loaded);
    const auto quoteSafe = [](Text t) {
      for (auto& c : t) {
        if (c == u'"') c = u'\u201D';
      }
      return t;
    };
    for (int i = 1; i <= kMailSlots; ++i) {
      check(loaded->MailCaller[i] == quoteSafe(f.MailStore.MailCaller[i]), "stored caller");
      check(loaded->MailText[i] == quoteSafe(f.MailStore.MailText[i]), "stored text");
      check(loaded->MailTime[i] == quoteSafe(f.MailStore.MailTime[i]), "stored time");
      check(loaded->MailMelody[i] == quoteSafe(f.MailStore.MailMelody[i]), "stored melody");
      check(loaded->MailImage[i] == quoteSafe(f.MailStore.MailImage[i]), "stored image");
    }
  }

 private:
  // The operator's buttons, each only while the window lets it be pressed.
  void operatorAction(std::uint8_t which, const Text& data) {
    Form1& f = h.form;
    const auto press = [&](const ButtonModel& button, const char* name, auto click) {
      if (button.enabled) handler(name, click);
    };
    switch (which % 8) {
      case 0:
        press(f.StartBtn, "start button", [&] { f.StartBtn_Click(); });
        break;
      case 1:
        press(f.StopBtn, "stop button", [&] { f.StopBtn_Click(); });
        break;
      case 2:
        press(f.ScarchBtn, "search button", [&] { f.ScarchBtn_Click(); });
        break;
      case 3:
        f.Text2.text = data;
        press(f.Command1, "command line", [&] { f.Command1_Click(); });
        break;
      case 4:
        press(f.FuncBtn, "function key", [&] { f.FuncBtn_Click(); });
        break;
      case 5:
        // Keypad keys 0..9, "*", "#", one per data character.
        for (std::size_t i = 0; i < data.size() && i < 8; ++i) {
          handler("keypad", [&] { f.NumBtn_Click(static_cast<std::int16_t>(data[i] % 12)); });
        }
        break;
      case 6:
        switch (data.empty() ? 0 : data[0] % 5) {
          case 0:
            press(f.ConnBtn, "answer key", [&] { f.ConnBtn_Click(); });
            break;
          case 1:
            press(f.CutBtn, "cut key", [&] { f.CutBtn_Click(); });
            break;
          case 2:
            press(f.ReDialBtn, "redial key", [&] { f.ReDialBtn_Click(); });
            break;
          case 3:
            press(f.UpBtn, "browse up", [&] { f.UpBtn_Click(); });
            break;
          case 4:
            press(f.DownBtn, "browse down", [&] { f.DownBtn_Click(); });
            break;
        }
        break;
      case 7: {
        // Which ports have a device behind them (for the search).
        std::set<std::int16_t> ports;
        for (std::int16_t p = 1; p <= 9; ++p) {
          if (data.size() > static_cast<std::size_t>(p - 1) && (data[p - 1] & 1)) ports.insert(p);
        }
        h.fakes.serial.setAvailablePorts(ports);
        break;
      }
    }
    checkState();
  }

  void read(const Text& chunk) {
    if (chunk.empty()) return;
    if (h.form.RxBuffer.size() >= kLongBuffer && ++longReads_ > kMaxReadsIntoLongBuffer) return;
    h.fakes.serial.feed(chunk);
    tick();
  }

  void tick() {
    h.fakes.serial.clearWrites();
    // The poll runs only while its timer does; a chunk that arrives while
    // it is stopped waits in the line for the next start.
    handler("poll tick", [&] { h.fakes.timer1.fire(); });
  }

  template <typename F>
  void handler(const char* name, F&& run) {
    clock_.time(name, run);
    checkState();
  }

  void checkState() {
    const Form1& f = h.form;
    check(f.RxBuffer.size() <= kRxBufferLimit, "RxBuffer within its cap");
    check(f.RxLineCount >= 0 && f.RxLineCount <= kMaxRxLines, "RxLineCount within RxLines");
    check(f.ReplyTimer >= 0, "ReplyTimer not negative");
    check(f.PageIndex >= 0, "PageIndex not negative");
    // Nothing runs the line while the port is closed, so no call may be
    // left waiting for a tick that never comes.
    const bool open = h.fakes.serial.isOpen();
    check(open == (h.fakes.timer1.interval() > 0), "poll runs exactly while the port is open");
    check(open || f.LineState == LineStateCode::Stopped, "a closed port leaves the line stopped");
  }

  TickClock& clock_;
  Harness<> h;
  int floods_ = 0;
  int longReads_ = 0;
};

void printWorstHandler() {
  std::fprintf(stderr,
               "worst handler: %.3f ms (limit %.0f ms), inputs replayed after a slow call: %ld\n",
               worstHandlerMs, tickLimitMs, replays);
}

}  // namespace
}  // namespace ondrix::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* limit = std::getenv("ONDRIX_FUZZ_TICK_LIMIT_MS")) {
    ondrix::fuzz::tickLimitMs = std::atof(limit);
  }
  std::atexit(ondrix::fuzz::printWorstHandler);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ondrix::fuzz;
  if (size == 0) return 0;
  const ByteView input(data, size);
  const auto play = [&](TickClock& clock) {
    Session session(input[0], clock);
    for (const ByteView step : splitParts(input.substr(1))) session.step(step);
    session.finish();
  };
  TickClock first(tickLimitMs);
  play(first);
  if (first.slow()) {
    ++replays;
    TickClock second(tickLimitMs);
    play(second);
    if (second.slow()) {
      first.report();
      second.report();
      std::abort();
    }
    worstHandlerMs = std::max(worstHandlerMs, second.worstMs());
  } else {
    worstHandlerMs = std::max(worstHandlerMs, first.worstMs());
  }
  return 0;
}
