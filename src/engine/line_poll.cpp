// SPDX-License-Identifier: GPL-3.0-or-later
// The poll loop: turns what the modem sends into result lines and events.
#include "modem/modem_words.h"
#include "state/form1.h"
#include "state/status_texts.h"

namespace ondrix {

namespace {

bool isLineEnd(char16_t c) { return c == CR || c == LF; }

}  // namespace

struct Form1::PollTickMemo {
  // The identification ran in this tick and no line has been collected
  // since; it then left RxLineCount and LineState as below.
  bool identified = false;
  std::int16_t identifiedLines = 0;
  LineStateCode identifiedState = LineStateCode::Stopped;
  // The own-number reply was shown in this tick from RxLineCount lines as
  // below; another "OK" with nothing collected since would only show it
  // again, at the cost of copying it (up to a full buffer per line).
  bool ownNumberShown = false;
  std::int16_t ownNumberLines = 0;
};

namespace {

bool awaitingOwnNumber(const Form1Members& m) {
  return m.LineState == LineStateCode::Idle && m.PendingCmd == PendingCmdCode::OwnNumberQuery;
}

}  // namespace

void Form1::Timer1_Timer() {
  watchLine();
  if (!MSComm1.isOpen() || MSComm1.pendingInput() < 1) {
    // Only quiet ticks count, so ReplyTimer measures silence on the line.
    if (ReplyTimer >= 1) {
      --ReplyTimer;
      if (ReplyTimer == 0) {
        LineEvent = LineEventCode::ReplyTimeout;
        HandleModemEvent();
      }
    }
    return;
  }

  RxBuffer += MSComm1.readAll();
  if (RxBuffer.size() > kRxBufferLimit) {
    // Nothing consumes input this old any more; keep the newest so that the
    // 16-bit scan positions stay valid and memory stays bounded.
    RxBuffer.erase(0, RxBuffer.size() - kRxBufferLimit);
  }

  // Lines are cut by advancing `consumed` and the buffer is shortened once,
  // so a buffer full of short lines costs one pass, not one copy per line.
  // The handlers called per line never read RxBuffer; the scanner does, so
  // the buffer is brought up to date before it runs.
  std::size_t consumed = 0;
  Text line;
  PollTickMemo memo;
  for (;;) {
    if (isOnline(LineState)) {
      RxBuffer.erase(0, consumed);
      ScanAtml();
      return;
    }
    if (!cutLine(consumed, line)) break;
    handleResultLine(line, memo);
    // A handler that closed the port or stopped the poll (the end of an
    // auto-search) leaves the rest of this read unhandled: nothing would
    // count a ring down any more. One that opened the next port has emptied
    // the buffer: the rest of the read was the old port's.
    if (!MSComm1.isOpen() || Timer1.interval() == 0 || consumed > RxBuffer.size()) break;
  }
  RxBuffer.erase(0, consumed);
}

bool Form1::cutLine(std::size_t& consumed, Text& line) {
  const std::size_t n = RxBuffer.size();
  std::size_t p = consumed;
  while (p < n && isLineEnd(RxBuffer[p])) ++p;
  std::size_t i = p;
  while (i < n && !isLineEnd(RxBuffer[i])) ++i;
  // A handler called for the previous line may have emptied the buffer (a
  // port opened anew during the tick), leaving `consumed` past its end.
  if (p >= n || i == n) return false;  // no complete line yet
  line.assign(RxBuffer, p, i - p);
  consumed = i + 1;  // the terminator goes; a CR LF leaves its LF for next time
  return true;
}

void Form1::handleResultLine(const Text& line, PollTickMemo& memo) {
  LineEvent = LineEventCode::None;
  switch (modem::classifyResultLine(line)) {
    case modem::ResultKind::EscapeOk:
      if (isEscape(LineState)) {
        LineEvent = LineEventCode::Ok;
        ReplyTimer = 0;
      }
      break;
    case modem::ResultKind::Ok:
      LineEvent = LineEventCode::Ok;
      ReplyTimer = 0;
      break;
    case modem::ResultKind::Error:
      LineEvent = LineEventCode::Error;
      ReplyTimer = 0;
      break;
    case modem::ResultKind::RingVoice:
      startRinging(LineStateCode::RingingVoice);
      ReplyTimer = kRingSilenceTicks;
      showStatusLine(status::kRingVoice);
      break;
    case modem::ResultKind::RingData:
      startRinging(LineStateCode::RingingData);
      ReplyTimer = kRingSilenceTicks;
      showStatusLine(status::kRingData);
      break;
    case modem::ResultKind::NoCarrier:
      LineEvent = LineEventCode::CarrierLost;
      break;
    case modem::ResultKind::Connect:
      HandleConnect();
      break;
    case modem::ResultKind::Other:
      break;
  }

  if (ReplyTimer >= 1 && RxLineCount < kMaxRxLines) {
    RxLines[RxLineCount] = line;
    ++RxLineCount;
    memo.identified = false;
  }

  if (LineEvent != LineEventCode::None) {
    const bool ownNumberOk = LineEvent == LineEventCode::Ok && awaitingOwnNumber(*this);
    if (ownNumberOk && memo.ownNumberShown && memo.ownNumberLines == RxLineCount) return;
    HandleModemEvent();
    if (ownNumberOk && awaitingOwnNumber(*this)) {
      memo.ownNumberShown = true;
      memo.ownNumberLines = RxLineCount;
    }
  } else if (isRinging(LineState) && RxLineCount >= 3) {
    // A line that was not collected leaves everything the identification
    // reads as its last run left it, so another run would show the same
    // caller and answer nothing new, at the cost of a rebuild from up to
    // twenty lines for every line of the read.
    const bool unchanged =
        memo.identified && memo.identifiedLines == RxLineCount && memo.identifiedState == LineState;
    if (!unchanged) {
      IdentifyCaller();
      memo.identified = true;
      memo.identifiedLines = RxLineCount;
      memo.identifiedState = LineState;
    }
  }
}

void Form1::startRinging(LineStateCode ringing) {
  callRang();
  CallingId.clear();
  CallingSub.clear();
  ConnectedId.clear();
  ConnectedSub.clear();
  CallerStage = CallerStageCode::Unknown;
  MailReceived = 0;
  PendingCmd = PendingCmdCode::NoPending;
  RxLineCount = 0;
  LineState = ringing;
}

void Form1::MSComm1_OnComm() {
  if (MSComm1.commEvent() != CommEvent::CarrierDetectChange) return;
  if (!MSComm1.carrierDetect()) {
    LineEvent = LineEventCode::CarrierLost;
    HandleModemEvent();
  } else if (LineState == LineStateCode::Idle) {
    // A carrier without a ring line: treat it as a data call; the reply
    // countdown and the status box are left alone.
    startRinging(LineStateCode::RingingData);
  }
  if (!MSComm1.isOpen()) lineLost();
}

void Form1::Timer2_Timer() {
  MSComm1.write(Text(modem::kEscape));
  Timer2.setInterval(0);  // one shot per arming
  if (LineState == LineStateCode::OnlineVoice) {
    LineState = LineStateCode::EscapeVoice;
    PendingCmd = PendingCmdCode::NoPending;
  } else if (LineState == LineStateCode::OnlineData) {
    LineState = LineStateCode::EscapeData;
    PendingCmd = PendingCmdCode::NoPending;
  }
}

}  // namespace ondrix
