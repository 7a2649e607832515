// SPDX-License-Identifier: GPL-3.0-or-later
// The ATML scanner: while the line is on-line, finds one login word,
// handshake character or complete ATML message in RxBuffer per tick, takes it
// out of the buffer and reacts to it.
#include "engine/atml_body.h"
#include "engine/atml_texts.h"
#include "modem/modem_words.h"
#include "state/form1.h"
#include "state/status_texts.h"
#include "store/codecs.h"

namespace ondrix {

using namespace atml;

namespace {

constexpr int kNoMessage = 0;
constexpr int kMessage = 1;          // an ATML message without body
constexpr int kMessageWithBody = 2;  // carries a mail

bool at(TextView s, std::size_t i, TextView word) { return s.substr(i, word.size()) == word; }

bool isLineEnd(char16_t c) { return c == CR || c == LF; }

}  // namespace

void Form1::ScanAtml() {
  const TextView buf = RxBuffer;
  const std::size_t n = buf.size();
  bool started = false;  // an "<ATML>" was seen in this walk
  std::size_t msgStart = 0;
  bool stopped = false;
  std::size_t msgStop = 0;
  int kind = kNoMessage;
  // Input up to here is thrown away even when no item is found.
  std::size_t discarded = 0;

  const auto token = [&](std::size_t i, std::size_t length) {
    started = stopped = true;
    msgStart = i;
    msgStop = i + length;
  };

  // The modem's notice that the call is gone. It is taken out of the
  // buffer with what stands in front of it, so that it is not read again as
  // a result line once the line is back in command mode.
  const auto carrierLost = [&](std::size_t i) {
    RxBuffer.erase(0, i + modem::kNoCarrier.size());
    LineEvent = LineEventCode::CarrierLost;
    HandleModemEvent();
  };

  for (std::size_t i = 0; i < n;) {
    if (started && !MSComm1.carrierDetect() && at(buf, i, modem::kNoCarrier) && i > 0 &&
        isLineEnd(buf[i - 1]) && i + modem::kNoCarrier.size() < n &&
        isLineEnd(buf[i + modem::kNoCarrier.size()])) {
      // The call dropped in the middle of a message. Without a carrier line
      // (or with a late one) the modem's own result line is the only sign;
      // as a line of its own it is no part of a message, and the half
      // message goes with it.
      carrierLost(i);
      return;
    }
    if (!started) {
      // The terminal's words are only recognised outside a message.
      if (at(buf, i, modem::kNoCarrier) && !MSComm1.carrierDetect()) {
        carrierLost(i);
        return;
      }
      if (buf[i] == u'*' && CallerStage == CallerStageCode::Answered) {
        MSComm1.write(u"#");
        CallerStage = CallerStageCode::HandshakeSent;
        token(i, 1);
        break;
      }
      if (buf[i] == u'#' && CallerStage == CallerStageCode::HandshakeSent) {
        // The escape timer sends "+++" and the hang-up follows.
        Timer2.setInterval(kEscapeGuardMs);
        token(i, 1);
        break;
      }
      if (at(buf, i, u"TAVIXEXE")) {
        MSComm1.write(u"Password:");
        token(i, 8);
        break;
      }
      if (at(buf, i, kAccessCode)) {
        MSComm1.write(Text(u"@atml") + CR);
        token(i, kAccessCode.size());
        break;
      }
    }
    if (at(buf, i, kNextPageBodyOnly)) {
      // Its "<BODY>" does not make it a mail.
      kind = kMessage;
      i += kNextPageBodyOnly.size();
      continue;
    }
    if (at(buf, i, u"<BODY>")) {
      kind = kMessageWithBody;
    } else if (at(buf, i, u"<ATML>")) {
      // A second opening restarts the message.
      started = true;
      msgStart = i;
      kind = kMessage;
    } else if (at(buf, i, u"</ATML>")) {
      if (started) {
        stopped = true;
        msgStop = i + 7;
        break;
      }
      // A closing tag with no opening before it would be found first on
      // every scan and block the rest of the call. It is thrown away with
      // what stands in front of it, and is no item: the walk goes on, so a
      // message behind it is still handled in this tick.
      discarded = i + 7;
      kind = kNoMessage;
      i += 7;
      continue;
    }
    ++i;
  }

  if (!started || !stopped) {
    RxBuffer.erase(0, discarded);  // an incomplete message waits
    return;
  }
  // What stands in front of the item goes with it.
  const Text item = RxBuffer.substr(msgStart, msgStop - msgStart);
  RxBuffer.erase(0, msgStop);
  if (kind != kNoMessage) dispatchAtmlMessage(item, kind);
}

void Form1::dispatchAtmlMessage(TextView m, int kind) {
  if (leftOf(m, kVersionRequest.size()) == kVersionRequest) {
    SendVersionPage();
  } else if (kind == kMessageWithBody) {
    const TextView head = leftOf(m, kUploadPrefix2.size());
    const AtmlBody mail = ParseAtmlBody(m);
    // The reply tells the terminal its mail arrived, so the mail is durable
    // on the disk before the reply goes out; a server killed or a power cut
    // in between has then kept what it acknowledged. A mail that reached no
    // disk is not acknowledged at all: it stays in memory for the next save.
    if (!StoreReceivedMail(mail.body, mail.melody, mail.image)) {
      SendFixedPage(kNotStoredPage);
    } else if (head == kUploadPrefix2 || head == kUploadPrefix4) {
      if (MelodyPool[0].empty() && ImagePool[0].empty()) {
        SendFixedPage(kSendEndPage);
      } else {
        SendListPage();
      }
    } else {
      SendFixedPage(kAckPage);
    }
    recordStored(RecordKind::Mail);
  } else if (leftOf(m, kListRequest.size()) == kListRequest) {
    SendListPage();
  } else if (leftOf(m, kShortcutRequest.size()) == kShortcutRequest) {
    SendShortcutPage();
  } else if (m == kAckMessage) {
    if (PageIndex >= MelodyCount && PageIndex >= ImageCount) SendFixedPage(kReceiveEndPage);
  } else if (m == kReceptionFull) {
    SendFixedPage(kReceiveFullPage);
  } else if (m == kNextPageRequestBody || m == kNextPageRequest) {
    SendDeliveryPage();
  } else if (m == kDisconnectRequest) {
    SendFixedPage(kDisconnectedPage);
  }
  // Anything else is consumed and ignored.
}

bool Form1::StoreReceivedMail(const Text& body, const Text& melody, const Text& image) {
  const bool stored = addMailRecord(body, melody, image);
  Text3.text = MailStore.MailTime[1];
  if (!melody.empty()) {
    Text3.text += status::kHasMelody;
    SaveMelodyFile(files_, AppDir + kWorkingMelodyFile, melody);
  }
  if (!image.empty()) {
    Text3.text += status::kHasImage;
    SaveImageFile(files_, AppDir + kWorkingImageFile, image);
  }
  Text3.text += CRLF + MailStore.MailCaller[1] + CRLF + MailStore.MailText[1];
  // The record is read from its first line.
  statusCaretToStart();
  MailReceived = 1;
  return stored;
}

}  // namespace ondrix
