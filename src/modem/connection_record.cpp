// SPDX-License-Identifier: GPL-3.0-or-later
// What happens when a ringing call is connected, and the records of the
// mail store that calls leave.
#include <cstdio>

#include "state/form1.h"
#include "state/status_texts.h"
#include "store/mail_store_file.h"

namespace ondrix {

namespace {

// "mm/dd hh:mm" in local time.
Text timeStamp(const LocalTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d %02d:%02d", t.month % 100, t.day % 100, t.hour % 100,
                t.minute % 100);
  return fromUtf8(buf);
}

}  // namespace

bool Form1::addMailRecord(const Text& text, const Text& melody, const Text& image) {
  MailStore.makeRoomAtSlot1();
  MailStore.MailTime[1] = timeStamp(clock_.now());
  MailStore.MailCaller[1] = isReported(CallingSub) ? CallingId + u"*" + CallingSub : CallingId;
  MailStore.MailText[1] = text;
  MailStore.MailMelody[1] = melody;
  MailStore.MailImage[1] = image;
  ++currentCall.records;
  return saveStoreWithFallback();
}

bool Form1::saveStoreWithFallback() {
  if (SaveMailStore(files_, AppDir + kMailStoreFile, MailStore)) {
    storeDirectory = AppDir;
    return true;
  }
  const Text elsewhere = files_.fallbackDirectory();
  if (!elsewhere.empty() && elsewhere != AppDir &&
      SaveMailStore(files_, elsewhere + kMailStoreFile, MailStore)) {
    storeDirectory = elsewhere;
    return true;
  }
  storeDirectory.reset();
  return false;
}

void Form1::HandleConnect() {
  currentCall.connected = true;
  if (LineState == LineStateCode::RingingVoice) {
    LineState = LineStateCode::OnlineVoice;
    PendingCmd = PendingCmdCode::NoPending;
    ReplyTimer = 0;
    if (CallerStage == CallerStageCode::Unknown) {
      showStatusLine(status::kTalking);
      return;
    }
    // The message travelled in the connected subaddress.
    const bool stored = addMailRecord(ConnectedSub, {}, {});
    showStatusLine(MailStore.MailTime[1]);
    appendStatusLine(MailStore.MailCaller[1]);
    appendStatusText(MailStore.MailText[1]);
    statusCaretToStart();
    if (CallerStage == CallerStageCode::Answered) {
      if (stored) {
        MSComm1.write(u"*");
      } else {
        // "*" would tell the caller the message was kept. Without it, and
        // with the call ended at once, the caller's side knows it was not;
        // back at stage 1 a "*" of its own is not answered with "#".
        CallerStage = CallerStageCode::VoiceMessage;
        Timer2.setInterval(kEscapeGuardMs);
      }
    }
    recordStored(RecordKind::Voice);
  } else if (LineState == LineStateCode::RingingData) {
    PendingCmd = PendingCmdCode::NoPending;
    ReplyTimer = 0;
    LineState = LineStateCode::OnlineData;
    showStatusLine(status::kCommunicating);
    MSComm1.write(u"login:");
  }
}

}  // namespace ondrix
