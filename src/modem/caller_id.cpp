// SPDX-License-Identifier: GPL-3.0-or-later
// Incoming call identification from the modem's identity lines, and the
// decision to answer the calls meant for the server.
#include "modem/modem_words.h"
#include "state/form1.h"
#include "state/status_texts.h"

namespace ondrix {

using namespace modem;

namespace {

bool isDialCharacter(char16_t c) {
  return (c >= u'0' && c <= u'9') || c == u'*' || c == u'#' || c == u'-' || c == u'.';
}

// Number after the first "=", subaddress after the following "/". Values are
// appended, so repeated lines of one kind join up. `onSub` sees each
// character that goes into the subaddress.
template <typename OnSub>
void splitIdentity(TextView line, Text& number, Text& sub, OnSub onSub) {
  int part = 0;
  for (char16_t c : line) {
    if (c == u'=' && part == 0) {
      part = 1;
    } else if (c == u'/' && part == 1) {
      part = 2;
    } else if (part == 1) {
      number += c;
    } else if (part == 2) {
      sub += c;
      onSub(c);
    }
  }
}

}  // namespace

void Form1::IdentifyCaller() {
  // Rebuilt from every line collected since the ring, so a repeated run
  // shows the same thing and a new line simply adds to it.
  CallingId.clear();
  CallingSub.clear();
  ConnectedId.clear();
  ConnectedSub.clear();
  CallerStage = CallerStageCode::Unknown;

  const bool voice = LineState == LineStateCode::RingingVoice;
  const std::int16_t count = RxLineCount < kMaxRxLines ? RxLineCount : kMaxRxLines;
  for (std::int16_t i = 1; i < count; ++i) {
    const Text& line = RxLines[static_cast<std::size_t>(i)];
    if (leftOf(line, kCallingIdPrefix.size()) == kCallingIdPrefix) {
      splitIdentity(line, CallingId, CallingSub, [](char16_t) {});
    } else if (leftOf(line, kConnectedIdPrefix.size()) == kConnectedIdPrefix) {
      splitIdentity(line, ConnectedId, ConnectedSub, [&](char16_t c) {
        // Text where only dial characters belong is a message riding on
        // a voice call.
        if (voice && !isDialCharacter(c)) CallerStage = CallerStageCode::VoiceMessage;
      });
    }
  }

  showStatusLine(voice ? status::kRingVoice : status::kRingData);
  appendCallerLine();
  statusCaretToEnd();

  if (CallerStage == CallerStageCode::VoiceMessage) {
    MSComm1.write(Text(kAnswer) + CR);
    RxLineCount = 0;
    CallerStage = CallerStageCode::Answered;
    currentCall.answered = true;
    currentCall.kind = CallKind::Voice;
  } else if (LineState == LineStateCode::RingingData &&
             (ConnectedSub == kContentService ||
              (!ConnectedSub.empty() && TextView(ConnectedSub).substr(1) == kContentService))) {
    MSComm1.write(Text(kAnswer) + CR);
    RxLineCount = 0;
    currentCall.answered = true;
    currentCall.kind = CallKind::Terminal;
  }
}

}  // namespace ondrix
