// SPDX-License-Identifier: GPL-3.0-or-later
// The line's own recovery: the decisions, tick by tick, and what Form1 does
// for each. Nothing here acts on a line whose calls go well.
#include "engine/line_recovery.h"

#include <algorithm>

#include "modem/modem_words.h"
#include "state/form1.h"
#include "state/status_texts.h"

namespace ondrix {

namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;

// Commands whose reply the console waits for. The own-number query stays
// pending after its reply by design; only its countdown says it still waits.
bool waitsForReply(PC pending, std::int16_t replyTimer) {
  switch (pending) {
    case PC::StartPending:
    case PC::ModeChangePending:
    case PC::PaRegisterQuery:
    case PC::PaRegistering:
    case PC::PaDeleteQuery:
    case PC::PaDeletePending:
    case PC::UserFuncPending:
    case PC::CommandPending:
      return true;
    case PC::OwnNumberQuery:
      return replyTimer > 0;
    default:
      return false;  // menus wait for a key; a dial is the operator's
  }
}

RecoveryAction nextTry(LineWatch& w) {
  w.refused = false;
  w.stepTicks = 0;
  if (w.tries >= kHangupTries) {
    w.step = OnHookStep::Watching;
    w.tries = 0;
    return RecoveryAction::Restart;
  }
  ++w.tries;
  w.step = OnHookStep::DtrLow;
  return RecoveryAction::PutOnHook;
}

RecoveryAction escapeStep(LineWatch& w, const LineView& v) {
  switch (w.step) {
    case OnHookStep::Watching:
      // The escape waits for "+++OK", the hang-up for its "OK".
      if (v.pending != PC::NoPending && v.pending != PC::HangupPending) return RecoveryAction::None;
      if (!w.refused && w.sameTicks < kConfirmTicks) return RecoveryAction::None;
      return nextTry(w);
    case OnHookStep::DtrLow:
      if (++w.stepTicks < kDtrLowTicks) return RecoveryAction::None;
      w.step = OnHookStep::Escaped;
      w.stepTicks = 0;
      return RecoveryAction::Escape;
    case OnHookStep::Escaped:
      if (v.pending == PC::HangupPending) {
        // "+++OK" came, and the hang-up went out with it.
        w.step = OnHookStep::HangupSent;
        w.stepTicks = 0;
        return RecoveryAction::None;
      }
      if (++w.stepTicks < kGuardTicks) return RecoveryAction::None;
      w.step = OnHookStep::HangupSent;
      w.stepTicks = 0;
      return RecoveryAction::HangUp;
    case OnHookStep::HangupSent:
      if (!w.refused && ++w.stepTicks < kConfirmTicks) return RecoveryAction::None;
      return nextTry(w);
  }
  return RecoveryAction::None;
}

}  // namespace

RecoveryAction nextRecoveryAction(LineWatch& w, const LineView& v) {
  if (v.line == LS::Stopped || v.line == LS::Searching) {
    w = {};
    return RecoveryAction::None;
  }
  if (w.reopening) {
    if (v.portOpen) {
      w = {};  // the operator opened it meanwhile
      return RecoveryAction::None;
    }
    if (++w.reopenTicks < kReopenTicks) return RecoveryAction::None;
    w.reopenTicks = 0;
    return RecoveryAction::Reopen;
  }

  if (v.line == w.state && v.pending == w.pending) {
    ++w.sameTicks;
  } else {
    w.state = v.line;
    w.pending = v.pending;
    w.sameTicks = 0;
  }
  w.quietTicks = v.input ? 0 : w.quietTicks + 1;

  if (w.bringUp != BringUp::None) {
    // A ring, a call: the modem works, and a later failure starts the
    // retries afresh, as after both commands were answered.
    if (v.line != LS::Idle) {
      w.bringUp = BringUp::None;
      w.retryWait = 0;
      w.retryTold = false;
    }
    if (w.bringUp == BringUp::Failed && v.pending == PC::NoPending &&
        ++w.retryTicks >= w.retryWait) {
      w.retryTicks = 0;
      w.retryWait = std::min(2 * w.retryWait, kRetryLongestTicks);
      w.bringUp = BringUp::StartSent;
      return RecoveryAction::Retry;
    }
  }

  if (isEscape(v.line)) return escapeStep(w, v);
  // Out of the escape states the hang-up is over, one way or another.
  w.step = OnHookStep::Watching;
  w.stepTicks = 0;
  w.tries = 0;
  w.refused = false;
  w.retrying = false;

  if (isOnline(v.line)) {
    // The operator's own call and a terminal still sending are never cut.
    if (v.operatorCall || v.escapeArmed || w.quietTicks < kStuckTicks) return RecoveryAction::None;
    w.quietTicks = 0;
    return RecoveryAction::EndCall;
  }
  const bool waiting = (v.line == LS::Idle && waitsForReply(v.pending, v.replyTimer)) ||
                       (isRinging(v.line) && v.answered);
  if (!waiting || w.sameTicks < kStuckTicks) return RecoveryAction::None;
  w.sameTicks = 0;
  // An answered call may have left the modem off the hook.
  return isRinging(v.line) ? nextTry(w) : RecoveryAction::Restart;
}

void bringUpReply(LineWatch& w, LineEventCode event) {
  const bool failed = event == LineEventCode::Error || event == LineEventCode::ReplyTimeout;
  if (w.bringUp == BringUp::StartSent && event == LineEventCode::Ok) {
    w.bringUp = BringUp::SetupSent;
  } else if (w.bringUp == BringUp::SetupSent && event == LineEventCode::Ok) {
    w.bringUp = BringUp::None;
    w.retryWait = 0;
  } else if ((w.bringUp == BringUp::StartSent || w.bringUp == BringUp::SetupSent) && failed) {
    w.bringUp = BringUp::Failed;
    w.retryTicks = 0;
    if (w.retryWait == 0) w.retryWait = kRetryFirstTicks;
  }
}

Text Form1::recoveryNotice(CallFault fault) {
  switch (fault) {
    case CallFault::DeviceLost:
      return Text(status::kPortLost);
    case CallFault::HangupRecovered:
      return Text(status::kHangupRetried);
    case CallFault::HangupRestarted:
      return Text(status::kHangupRestarted);
    case CallFault::NoInput:
      return Text(status::kNoInputEnded);
    case CallFault::NoReply:
      return Text(status::kNoReplyReset);
    default:
      return {};  // the operator did it, or another call took over
  }
}

void Form1::watchLine() {
  const bool open = MSComm1.isOpen();
  const bool operatorCall = currentCall.open && (currentCall.kind == CallKind::Answer ||
                                                 currentCall.kind == CallKind::Dial);
  const LineView view{LineState,
                      PendingCmd,
                      ReplyTimer,
                      open,
                      open && MSComm1.pendingInput() > 0,
                      operatorCall,
                      currentCall.open && currentCall.answered,
                      Timer2.interval() > 0};
  switch (nextRecoveryAction(lineWatch, view)) {
    case RecoveryAction::None:
      return;
    case RecoveryAction::Reopen:
      if (!MSComm1.selectPort(leadingNumber(ComNo.text)) || !MSComm1.reopen()) return;
      // Whatever the old device left unread is no answer from this one.
      RxBuffer.clear();
      RxLineCount = 0;
      noteStatus(Text(status::kPortBack), Text(status::kPortLost));
      lineWatch = {};
      startLineItself();
      return;
    case RecoveryAction::PutOnHook:
      if (isRinging(LineState)) {
        // Answered long ago and never connected: hang up as after a call.
        currentCall.fault = CallFault::NoReply;
        LineState = LineState == LS::RingingVoice ? LS::EscapeVoice : LS::EscapeData;
        PendingCmd = PC::NoPending;
      }
      // The line stays as it is for the second DTR is down: a late "OK"
      // still ends the call the ordinary way.
      if (MSComm1.setDataTerminalReady(false)) hangupRetried();
      return;
    case RecoveryAction::Escape:
      hangupRetried();
      MSComm1.setDataTerminalReady(true);
      MSComm1.write(Text(modem::kEscape));
      // "+++OK" brings the hang-up; a "NO CARRIER" ends the call.
      PendingCmd = PC::NoPending;
      ReplyTimer = 0;
      return;
    case RecoveryAction::HangUp:
      MSComm1.write(Text(modem::kHangUp) + CR);
      ReplyTimer = kModemReplyTicks;
      RxLineCount = 0;
      PendingCmd = PC::HangupPending;
      return;
    case RecoveryAction::Restart:
      MSComm1.setDataTerminalReady(true);
      callEnded(isEscape(LineState) ? CallFault::HangupRestarted : CallFault::NoReply);
      Timer2.setInterval(0);
      startLineItself();
      return;
    case RecoveryAction::Retry:
      StartBtn_Click();
      return;
    case RecoveryAction::EndCall:
      currentCall.fault = CallFault::NoInput;
      noteStatus(Text(status::kNoInputEnding));
      Timer2.setInterval(kEscapeGuardMs);
      return;
  }
}

void Form1::lineLost() {
  // Only a line that was working is brought back; a search moves on by itself.
  if (MSComm1.isOpen() || Timer1.interval() == 0 || LineState == LS::Stopped ||
      LineState == LS::Searching) {
    return;
  }
  callEnded(CallFault::DeviceLost);
  Timer2.setInterval(0);
  LineState = LS::Idle;
  PendingCmd = PC::NoPending;
  ReplyTimer = 0;
  lineWatch = {};
  lineWatch.reopening = true;
  noteStatus(Text(status::kPortLost), Text(status::kPortBack));
}

void Form1::hangupRefused() { lineWatch.refused = true; }

void Form1::startLineItself() {
  StartBtn_Click();
  lineWatch.bringUp = BringUp::StartSent;
}

void Form1::lineStartReplied(LineEventCode event) {
  const BringUp before = lineWatch.bringUp;
  bringUpReply(lineWatch, event);
  if (lineWatch.bringUp == BringUp::Failed && before != BringUp::Failed) {
    lineWatch.retryTold = true;
    noteStatus(Text(status::kModemRetrying), Text(status::kModemAnswered));
  } else if (lineWatch.bringUp == BringUp::None && before == BringUp::SetupSent &&
             lineWatch.retryTold) {
    lineWatch.retryTold = false;
    noteStatus(Text(status::kModemAnswered), Text(status::kModemRetrying));
  }
}

void Form1::startUnattended() {
  if (MSComm1.selectPort(leadingNumber(ComNo.text)) && MSComm1.open()) {
    portOpened();
    startLineItself();
    return;
  }
  // Nobody is there to read a message box: the port is opened as soon as
  // it can be, as for a device that went away.
  portOpened();
  LineState = LS::Idle;
  PendingCmd = PC::NoPending;
  lineWatch = {};
  lineWatch.reopening = true;
  noteStatus(Text(status::kPortAwaited));
}

void Form1::hangupRetried() {
  if (lineWatch.retrying) return;
  lineWatch.retrying = true;
  // A call answered and never connected keeps saying why it was hung up.
  if (currentCall.fault != CallFault::NoReply) currentCall.fault = CallFault::HangupRecovered;
  noteStatus(Text(status::kHangupRetrying));
}

void Form1::lineStopped() {
  callEnded(CallFault::Stopped);
  lineWatch = {};
}

}  // namespace ondrix
