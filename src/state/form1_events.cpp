// SPDX-License-Identifier: GPL-3.0-or-later
// The call in progress from its first ring to its end, and the records it
// stores: what Form1 tells the consumers beyond the store (RecordEvents).
#include "state/caller_text.h"
#include "state/form1.h"

namespace ondrix {

void Form1::callRang() {
  // A modem repeats its ring line while the phone rings: that is still the
  // same call.
  if (currentCall.open && isRinging(LineState)) return;
  if (currentCall.open) callEnded(CallFault::NewRing);
  currentCall = {};
  currentCall.open = true;
  currentCall.began = clock_.now();
}

void Form1::callDialled(TextView number) {
  if (currentCall.open) callEnded(CallFault::NewRing);
  currentCall = {};
  currentCall.open = true;
  currentCall.kind = CallKind::Dial;
  currentCall.began = clock_.now();
  // A dial typed on the command line may carry its kind ("atdv", "atdt").
  if (!number.empty() &&
      ((number[0] >= u'a' && number[0] <= u'z') || (number[0] >= u'A' && number[0] <= u'Z'))) {
    number.remove_prefix(1);
  }
  currentCall.caller = Text(number);
}

void Form1::dialEnded(LineEventCode event) {
  if (!currentCall.open || currentCall.kind != CallKind::Dial) return;
  // The modem's "OK" to a dial means the call was made.
  if (event == LineEventCode::Ok) currentCall.connected = true;
  callEnded();
}

void Form1::callEnded(CallFault fault) {
  if (!currentCall.open) return;
  currentCall.open = false;
  // The carrier drop that ended the call came from a port that went away.
  if (fault == CallFault::None && !MSComm1.isOpen()) fault = CallFault::DeviceLost;
  if (fault != CallFault::None) currentCall.fault = fault;
  currentCall.ended = clock_.now();
  if (currentCall.kind != CallKind::Dial) {
    currentCall.caller = callerText(CallingId, CallingSub);
    currentCall.calledSub = isReported(ConnectedSub) ? ConnectedSub : Text();
  }
  for (RecordEvents* events : recordEvents_) events->callEnded(currentCall);
  const Text notice = recoveryNotice(currentCall.fault);
  if (!notice.empty()) noteStatus(notice);
  // What was said during the call follows its end notice.
  sayRecordLines();
}

void Form1::serverRestarted() {
  for (RecordEvents* events : recordEvents_) events->serverRestarted(clock_.now());
  sayRecordLines();
}

void Form1::recordStored(RecordKind kind) {
  StoredRecord record;
  record.kind = kind;
  record.received = clock_.now();
  record.caller = callerOfStored(MailStore.MailCaller[1]);
  record.text = MailStore.MailText[1];
  record.melody = MailStore.MailMelody[1];
  record.image = MailStore.MailImage[1];
  // The reply is still in the port's buffer: whatever the consumers write
  // waits for a tick of their own.
  for (RecordEvents* events : recordEvents_)
    events->recordStored(record, MailStore, storeDirectory);
  sayRecordLines();
}

void Form1::sayRecordLines() {
  if (currentCall.open) return;
  for (RecordEvents* events : recordEvents_) {
    for (const Text& line : events->takeLines()) noteStatus(line);
  }
}

}  // namespace ondrix
