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

void Form1::addMailRecord(const Text& text, const Text& melody, const Text& image) {
  MailStore.makeRoomAtSlot1();
  MailStore.MailTime[1] = timeStamp(clock_.now());
  MailStore.MailCaller[1] = isReported(CallingSub) ? CallingId + u"*" + CallingSub : CallingId;
  MailStore.MailText[1] = text;
  MailStore.MailMelody[1] = melody;
  MailStore.MailImage[1] = image;
  ++currentCall.records;
  saveStoreWithFallback();
}

void Form1::saveStoreWithFallback() {
  if (SaveMailStore(files_, AppDir + kMailStoreFile, MailStore)) {
    storeDirectory = AppDir;
    return;
  }
  const Text elsewhere = files_.fallbackDirectory();
  if (!elsewhere.empty() && elsewhere != AppDir &&
      SaveMailStore(files_, elsewhere + kMailStoreFile, MailStore)) {
    storeDirectory = elsewhere;
  } else {
    storeDirectory.reset();
  }
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
    addMailRecord(ConnectedSub, {}, {});
    showStatusLine(MailStore.MailTime[1]);
    appendStatusLine(MailStore.MailCaller[1]);
    appendStatusText(MailStore.MailText[1]);
    statusCaretToStart();
    if (CallerStage == CallerStageCode::Answered) MSComm1.write(u"*");
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
