// SPDX-License-Identifier: GPL-3.0-or-later
// Modem auto-search over ports 1 to 9.
#include "modem/modem_words.h"
#include "state/form1.h"
#include "state/status_texts.h"

namespace ondrix {

namespace {

constexpr std::int16_t kLastSearchPort = 9;

}  // namespace

// One attempt per call: the next port is tried by calling this again, at once
// when a port cannot be opened, or from HandleModemEvent when the modem on the
// open port gave the wrong answer, "ERROR" or none at all.
void Form1::ScarchBtn_Click() {
  if (LineState == LineStateCode::Stopped) {
    ComNo.text.assign(1, u'1');  // the operator's click always starts at port 1
  } else {
    const std::int16_t port = leadingNumber(ComNo.text);
    // ">=" also ends a search whose box holds something beyond the range,
    // which would otherwise recurse through every 16-bit number.
    if (port >= kLastSearchPort) {
      StopBtn_Click();
      showStatusLine(ModemModel + Text(status::kModemNotFoundAfterModel));
      return;
    }
    if (MSComm1.isOpen()) {
      MSComm1.close();
      Timer1.setInterval(0);
    }
    ComNo.text = decimal(port < 1 ? 1 : port + 1);
  }

  LineState = LineStateCode::Searching;
  PendingCmd = PendingCmdCode::NoPending;
  clearStatus();

  if (OpenPort()) {
    MSComm1.write(Text(modem::kIdentify) + CR);
    ReplyTimer = kModemReplyTicks;
    RxLineCount = 0;
  } else {
    ScarchBtn_Click();
  }
}

}  // namespace ondrix
