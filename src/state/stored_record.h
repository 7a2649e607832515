// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A record just stored in slot 1, as the archive and the notices beyond the
// store take it: what it is, when it came, from whom, and what it carried.
#include "core/text.h"
#include "platform/clock.h"

namespace ondrix {

enum class RecordKind { Mail, Voice };

struct StoredRecord {
  RecordKind kind = RecordKind::Mail;
  LocalTime received;
  Text caller;  // as callerText writes it; empty when none was reported
  Text text;    // the mail's text, or the voice call's message
  Text melody;  // the melody tag as stored; empty when none
  Text image;   // the Base64 image text as stored; empty when none
};

}  // namespace ondrix
