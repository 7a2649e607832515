// SPDX-License-Identifier: GPL-3.0-or-later
// The line's condition from Form1's state, and its words.
#include "service/line_condition.h"

#include "state/form1.h"

namespace ondrix {

LineCondition lineCondition(const Form1& f) {
  using LS = LineStateCode;
  const LineWatch& watch = f.lineWatch;
  if (watch.reopening) return LineCondition::PortMissing;
  switch (f.LineState) {
    case LS::Stopped:
      return LineCondition::Stopped;
    case LS::Searching:
      return LineCondition::Searching;
    case LS::Idle:
      break;
    case LS::RingingVoice:
    case LS::RingingData:
      return LineCondition::Ringing;
    case LS::OnlineVoice:
    case LS::EscapeVoice:
      return LineCondition::VoiceCall;
    case LS::OnlineData:
    case LS::EscapeData:
      return LineCondition::DataCall;
  }
  // The operator has been told of the retries until the modem answers both.
  if (watch.retryTold && watch.bringUp != BringUp::None) return LineCondition::ModemSilent;
  if (watch.bringUp != BringUp::None || f.PendingCmd == PendingCmdCode::StartPending) {
    return LineCondition::Starting;
  }
  return LineCondition::Waiting;
}

TextView conditionText(LineCondition condition) {
  switch (condition) {
    case LineCondition::Stopped:
      return u"回線を止めています";
    case LineCondition::Searching:
      return u"モデムを探しています";
    case LineCondition::PortMissing:
      return u"ポートがありません。開けるまで待っています";
    case LineCondition::Starting:
      return u"回線を開始しています";
    case LineCondition::ModemSilent:
      return u"モデムが応答しません。再試行しています";
    case LineCondition::Waiting:
      return u"着信を待っています";
    case LineCondition::Ringing:
      return u"着信しています";
    case LineCondition::VoiceCall:
      return u"音声通話中です";
    case LineCondition::DataCall:
      return u"端末と通信中です";
  }
  return {};
}

}  // namespace ondrix
