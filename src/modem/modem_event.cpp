// SPDX-License-Identifier: GPL-3.0-or-later
// The single judge of modem replies, ring outcomes and call ends.
#include "modem/modem_words.h"
#include "state/form1.h"
#include "state/status_texts.h"

namespace ondrix {

namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;
using LE = LineEventCode;

bool isFailure(LE e) { return e == LE::Error || e == LE::ReplyTimeout; }

// The reply line just before the "OK"; nullptr when none was collected, so
// that a bare "OK" is judged as a reply that does not match.
const Text* lastReplyLine(const Form1Members& m) {
  if (m.RxLineCount < 1 || m.RxLineCount > kMaxRxLines) return nullptr;
  return &m.RxLines[static_cast<std::size_t>(m.RxLineCount - 1)];
}

bool lastReplyIs(const Form1Members& m, TextView expected) {
  const Text* last = lastReplyLine(m);
  return last != nullptr && *last == expected;
}

// A call that rang out unanswered (or lost its carrier while ringing).
void missedCallNotice(Form1& f, TextView heading) {
  f.showStatusLine(heading);
  f.appendCallerLine();
  f.statusCaretToEnd();
  f.LineState = LS::Idle;
  f.PendingCmd = PC::NoPending;
  f.callEnded();
}

// The line is back to Idle after a connection; say what kind of call ended.
void endOfCall(Form1& f) {
  // An escape armed just before the drop must not send "+++" to the idle
  // modem afterwards.
  f.Timer2.setInterval(0);
  f.ReplyTimer = 0;
  f.LineState = LS::Idle;
  f.PendingCmd = PC::NoPending;
  const TextView shown = f.Text3.text;
  const bool voiceMessage = f.CallerStage != CallerStageCode::Unknown;
  if (voiceMessage || shown.starts_with(status::kTalking)) {
    f.showStatusLine(status::kTalkEnd);
    if (voiceMessage) f.appendStatusLine(status::kVoiceMailLeft);
  } else if (f.MailReceived > 0 || shown.starts_with(status::kCommunicating)) {
    f.showStatusLine(status::kCommunicationEnd);
    if (f.MailReceived > 0) f.appendStatusLine(status::kTerminalMailLeft);
  }
  // The record of this call did not reach the program directory.
  if ((voiceMessage || f.MailReceived > 0) && f.storeDirectory != f.AppDir) {
    f.appendStatusLine(f.storeDirectory ? Text(status::kStoreMovedTo) + *f.storeDirectory
                                        : Text(status::kStoreNotSaved));
  }
  f.callEnded();
}

// PA entries 1..3 whose list value is "0" are free to register; the simple
// entry is always offered.
void registrationList(Form1& f) {
  f.showStatusLine(status::kPaRegisterTitle);
  f.appendStatusLine(status::kPaEntries[0]);
  if (f.RxLines[2] == modem::kPaEntryFree) f.appendStatusLine(status::kPaEntries[1]);
  if (f.RxLines[3] == modem::kPaEntryFree) f.appendStatusLine(status::kPaEntries[2]);
  if (f.RxLines[4] == modem::kPaEntryFree) f.appendStatusLine(status::kPaEntries[3]);
  f.statusCaretToEnd();
  f.PendingCmd = PC::PaRegisterSelect;
}

// The simple entry and PA entries 1..3 whose list value is "1" can be deleted.
void deletionList(Form1& f) {
  bool any = false;
  for (std::size_t i = 1; i <= 4; ++i) any = any || f.RxLines[i] == modem::kPaEntryUsed;
  if (!any) {
    f.showStatusLine(status::kPaNoneRegistered);
    f.PendingCmd = PC::NoPending;
    return;
  }
  f.showStatusLine(status::kPaDeleteTitle);
  for (std::size_t i = 1; i <= 4; ++i) {
    if (f.RxLines[i] == modem::kPaEntryUsed) f.appendStatusLine(status::kPaEntries[i - 1]);
  }
  f.statusCaretToEnd();
  f.PendingCmd = PC::PaDeleteSelect;
}

}  // namespace

void Form1::HandleModemEvent() {
  const LE event = LineEvent;
  if (event == LE::None) return;  // nothing to judge

  switch (LineState) {
    case LS::Searching:
      if (event == LE::Ok && lastReplyIs(*this, ModemModel)) {
        showStatusLine(ModemModel + Text(status::kModemFoundAfterModel));
        LineState = LS::Idle;
        PendingCmd = PC::NoPending;
        StartBtn_Click();
      } else if (event == LE::Ok || isFailure(event)) {
        ScarchBtn_Click();  // next port
      }
      return;

    case LS::Idle:
      break;  // judged by the pending command below

    case LS::RingingVoice:
    case LS::RingingData:
      if (event == LE::ReplyTimeout || event == LE::CarrierLost) {
        missedCallNotice(
            *this, LineState == LS::RingingVoice ? status::kMissedVoice : status::kMissedData);
      }
      return;

    case LS::OnlineVoice:
    case LS::OnlineData:
      if (event == LE::CarrierLost) endOfCall(*this);
      return;

    case LS::EscapeVoice:
    case LS::EscapeData:
      if (PendingCmd == PC::NoPending && event == LE::Ok) {
        // The escape was acknowledged: hang up and wait for its "OK".
        MSComm1.write(Text(modem::kHangUp) + CR);
        ReplyTimer = kModemReplyTicks;
        RxLineCount = 0;
        PendingCmd = PC::HangupPending;
      } else if ((PendingCmd == PC::NoPending && event == LE::CarrierLost) ||
                 (PendingCmd == PC::HangupPending && event == LE::Ok)) {
        endOfCall(*this);
      } else if (PendingCmd == PC::HangupPending && event == LE::Error) {
        hangupRefused();
      }
      return;

    case LS::Stopped:
      return;
  }

  // Idle: the reply to the console's command.
  switch (PendingCmd) {
    case PC::StartPending:
      if (event == LE::Ok) {
        MSComm1.write(SetupCommand + CR);
        ReplyTimer = kModemReplyTicks;
        RxLineCount = 0;
      } else if (isFailure(event)) {
        showStatusLine(status::kStartError);
      }
      PendingCmd = PC::NoPending;
      lineStartReplied(event);
      return;

    case PC::NoPending:
      // The set-up command's reply, which only a start of the server's own
      // waits for.
      lineStartReplied(event);
      return;

    case PC::OwnNumberQuery:
      if (event == LE::Ok) {
        // Stays pending: a later "ERROR" or time-out still clears the box.
        showStatusLine(status::kOwnNumberTitle);
        if (const Text* number = lastReplyLine(*this)) appendStatusLine(*number);
      } else if (isFailure(event)) {
        clearStatus();
        PendingCmd = PC::NoPending;
      }
      return;

    case PC::ModeChangePending:
      if (event == LE::Ok) {
        showStatusLine(status::kModeChanged);
      } else if (isFailure(event)) {
        showStatusLine(status::kModeNotChanged);
      } else {
        return;
      }
      PendingCmd = PC::NoPending;
      return;

    case PC::PaRegisterQuery:
      if (event == LE::Ok) {
        registrationList(*this);
      } else if (isFailure(event)) {
        clearStatus();
        PendingCmd = PC::NoPending;
      }
      return;

    case PC::PaRegistering:
      if (event == LE::Ok) {
        showStatusLine(lastReplyIs(*this, modem::kRegistrationFinished)
                           ? status::kPaRegistered
                           : status::kPaRegisterFailed);
      } else if (isFailure(event)) {
        showStatusLine(status::kPaRegisterFailed);
      } else {
        statusCaretToEnd();
      }
      PendingCmd = PC::NoPending;
      return;

    case PC::PaDeleteQuery:
      if (event == LE::Ok) {
        deletionList(*this);
      } else if (isFailure(event)) {
        clearStatus();
        PendingCmd = PC::NoPending;
      }
      return;

    case PC::PaDeletePending:
      if (event == LE::Ok) {
        showStatusLine(status::kPaDeleted);
      } else if (isFailure(event)) {
        showStatusLine(status::kPaDeleteFailed);
      } else {
        statusCaretToEnd();
      }
      PendingCmd = PC::NoPending;
      return;

    case PC::UserFuncPending:
    case PC::CommandPending:
    case PC::Dialing:
      switch (event) {
        case LE::Ok:
          // Entry 0 is the command's echo; the rest is the modem's answer.
          clearStatus();
          for (std::int16_t i = 1; i < RxLineCount && i < kMaxRxLines; ++i) {
            appendStatusLine(RxLines[static_cast<std::size_t>(i)]);
          }
          // A bare "OK" (nothing but the echo, or nothing at all collected, as
          // for a dial, which runs no countdown) still reports the success.
          if (RxLineCount <= 1) showStatusLine(modem::kOk);
          break;
        case LE::Error:
          showStatusLine(modem::kError);
          break;
        case LE::ReplyTimeout:
          showStatusLine(status::kTimeOut);
          break;
        case LE::CarrierLost:
          showStatusLine(modem::kNoCarrier);
          break;
        case LE::None:
          return;
      }
      if (PendingCmd == PC::Dialing) dialEnded(event);
      PendingCmd = PC::NoPending;
      return;

    default:
      // Menus and selections wait for a key, not for the modem.
      return;
  }
}

}  // namespace ondrix
