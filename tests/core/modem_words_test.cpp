// SPDX-License-Identifier: GPL-3.0-or-later
// The result-line classifier as one table: every word the poll loop acts on,
// and the near misses it must leave alone.
#include "modem/modem_words.h"

#include <gtest/gtest.h>

namespace ondrix::modem {
namespace {

struct ClassifyCase {
  const char16_t* line;
  ResultKind kind;
};

TEST(ModemWords, ClassifiesResultLines) {
  const ClassifyCase cases[] = {
      {u"OK", ResultKind::Ok},
      {u"+++OK", ResultKind::EscapeOk},
      {u"ERROR", ResultKind::Error},
      {u"RING", ResultKind::RingData},
      {u"RING:VOICE", ResultKind::RingVoice},
      {u"NO CARRIER", ResultKind::NoCarrier},
      {u"CONNECT", ResultKind::Connect},
      {u"CONNECT 64000", ResultKind::Connect},
      {u"CONNECT ", ResultKind::Connect},
      // Words are matched whole and case by case.
      {u"", ResultKind::Other},
      {u"ok", ResultKind::Other},
      {u"OK ", ResultKind::Other},
      {u" OK", ResultKind::Other},
      {u"+++", ResultKind::Other},
      {u"ERRORS", ResultKind::Other},
      {u"RING ", ResultKind::Other},
      {u"RING:DATA", ResultKind::Other},
      {u"RING:VOICE2", ResultKind::Other},
      {u"NO CARRIER 2", ResultKind::Other},
      {u"CONNECT64000", ResultKind::Other},
      {u"CONNECTED-ID=0312345678/CONTENTSPP-X01", ResultKind::Other},
      {u"CALLING-ID=0312345678", ResultKind::Other},
      {u"ati3", ResultKind::Other},
      {u"QV-M7", ResultKind::Other},
  };
  for (const ClassifyCase& c : cases) {
    EXPECT_EQ(classifyResultLine(c.line), c.kind) << toUtf8(c.line);
  }
}

}  // namespace
}  // namespace ondrix::modem
