// SPDX-License-Identifier: GPL-3.0-or-later
// Result lines to kinds: one table, so a new word is one row.
#include "modem/modem_words.h"

namespace ondrix::modem {

namespace {

enum class Match : std::int8_t { Whole, Prefix };

struct ResultRow {
  TextView text;
  Match match;
  ResultKind kind;
};

// clang-format off
constexpr ResultRow kResultRows[] = {
  {kEscapeOk,          Match::Whole,  ResultKind::EscapeOk},
  {kOk,                Match::Whole,  ResultKind::Ok},
  {kError,             Match::Whole,  ResultKind::Error},
  {kRingVoice,         Match::Whole,  ResultKind::RingVoice},
  {kRing,              Match::Whole,  ResultKind::RingData},
  {kNoCarrier,         Match::Whole,  ResultKind::NoCarrier},
  {kConnect,           Match::Whole,  ResultKind::Connect},
  {kConnectRatePrefix, Match::Prefix, ResultKind::Connect},
};
// clang-format on

}  // namespace

ResultKind classifyResultLine(TextView line) {
  for (const ResultRow& row : kResultRows) {
    const TextView compared = row.match == Match::Prefix ? line.substr(0, row.text.size()) : line;
    if (compared == row.text) {
      return row.kind;
    }
  }
  return ResultKind::Other;
}

}  // namespace ondrix::modem
