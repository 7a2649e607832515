// SPDX-License-Identifier: GPL-3.0-or-later
// The call journal: what the handlers tell it about the call in progress,
// and the one line per call that it appends to calls.log when the call ends.
#include "journal/call_journal.h"

#include <cstdio>
#include <utility>

#include "state/caller_text.h"
#include "state/status_texts.h"

namespace ondrix {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

std::int64_t utcSeconds(const LocalTime& t) {
  return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second -
         t.utcOffsetSeconds;
}

// A field never carries a tab or a line break of its own; an empty one is "-".
Text field(TextView text) {
  Text out(text);
  for (char16_t& c : out) {
    if (c < 0x20 || c == 0x7F) c = u' ';
  }
  return out.empty() ? Text(u"-") : out;
}

TextView kindWord(const CallRecord& call) {
  switch (call.kind) {
    case CallKind::Terminal:
      return u"terminal";
    case CallKind::Voice:
      return u"voice";
    case CallKind::Dial:
      return u"dial";
    case CallKind::Answer:
      return u"answer";
    case CallKind::Server:
      return u"server";
    case CallKind::Other:
      break;
  }
  // The modem connected a call nobody answered: it rang in as a carrier and
  // was taken for a terminal's.
  return call.connected ? u"terminal" : u"other";
}

TextView faultWords(CallFault fault) {
  switch (fault) {
    case CallFault::DeviceLost:
      return u"device lost";
    case CallFault::HangupRecovered:
      return u"hang-up refused, recovered";
    case CallFault::HangupRestarted:
      return u"hang-up refused, modem restarted";
    case CallFault::NoInput:
      return u"no input for ten minutes, ended";
    case CallFault::NoReply:
      return u"no reply from the modem, line reset";
    case CallFault::Stopped:
      return u"server stopped";
    case CallFault::NewRing:
      return u"cut short by a new ring";
    case CallFault::UncleanEnd:
      return u"restarted after an unclean end";
    case CallFault::None:
      break;
  }
  return {};
}

Text outcome(const CallRecord& call) {
  Text primary;
  bool replaceable = false;  // says only that the call went, which the fault says better
  if (call.kind == CallKind::Server) {
    // The archive caught up with records an earlier run left out.
    if (call.records > 0) primary = u"archive caught up " + decimal(call.records) + u" records";
    replaceable = true;
  } else if (call.records > 0) {
    // Each record went to slot 1, pushing the earlier ones of the call on.
    if (call.kind == CallKind::Voice) {
      primary = u"voice message 1";
    } else {
      primary = call.records == 1 ? Text(u"mail 1") : u"mail 1-" + decimal(call.records);
    }
  } else if (call.kind == CallKind::Dial || call.kind == CallKind::Answer) {
    primary = call.connected ? u"operator call" : u"not connected";
  } else if (call.connected) {
    primary = call.closing ? u"no mail" : u"carrier lost";
    replaceable = !call.closing;
  } else {
    primary = call.answered ? u"not connected" : u"not answered";
    replaceable = !call.answered;
  }
  if (call.fault == CallFault::None) return primary;
  if (replaceable) return Text(faultWords(call.fault));
  return primary + u"; " + Text(faultWords(call.fault));
}

}  // namespace

Text isoLocalTime(const LocalTime& t) {
  const int offset = t.utcOffsetSeconds;
  const int minutes = (offset < 0 ? -offset : offset) / 60;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year % 10000,
                t.month % 100, t.day % 100, t.hour % 100, t.minute % 100, t.second % 100,
                offset < 0 ? '-' : '+', (minutes / 60) % 100, minutes % 60);
  return fromUtf8(buf);
}

std::int64_t secondsBetween(const LocalTime& from, const LocalTime& to) {
  const std::int64_t s = utcSeconds(to) - utcSeconds(from);
  return s < 0 ? 0 : s;
}

Text callJournalLine(const CallRecord& call) {
  Text line = isoLocalTime(call.began);
  // A call without a number says so in the caller's one word; the server's
  // own lines have no call and no caller.
  const Text caller = call.kind == CallKind::Server ? Text() : callerOrNone(call.caller);
  for (const Text& f : {Text(kindWord(call)), field(caller), field(call.calledSub),
                        field(outcome(call)), decimal(secondsBetween(call.began, call.ended))}) {
    line += u'\t';
    line += f;
  }
  line += LF;
  return line;
}

CallJournal::CallJournal(Files& files) : files_(files) {}

void CallJournal::callEnded(const CallRecord& call) { write(callJournalLine(call)); }

void CallJournal::serverRestarted(const LocalTime& at) {
  CallRecord start;
  start.kind = CallKind::Server;
  start.fault = CallFault::UncleanEnd;
  start.began = start.ended = at;
  write(callJournalLine(start));
}

void CallJournal::recordsCaughtUp(std::int32_t count, const LocalTime& at) {
  CallRecord server;
  server.kind = CallKind::Server;
  server.began = server.ended = at;
  server.records = count;
  write(callJournalLine(server));
}

std::vector<Text> CallJournal::takeLines() { return std::exchange(lines_, {}); }

void CallJournal::write(const Text& line) {
  const std::string utf8 = toUtf8(line);
  const Bytes bytes(utf8.begin(), utf8.end());
  // The journal goes where the store goes: the program directory, or the
  // fallback directory when that cannot be written.
  const Text program = files_.programDirectory();
  Text dir = program;
  std::optional<std::int64_t> size = files_.appendBytes(dir + kCallJournalFile, bytes);
  if (!size) {
    // Asked only now: asking makes the per-user directory.
    const Text elsewhere = files_.fallbackDirectory();
    if (!elsewhere.empty() && elsewhere != program) {
      dir = elsewhere;
      size = files_.appendBytes(dir + kCallJournalFile, bytes);
    }
  }
  if (!size) {
    // The call and the store go on; the operator is told once.
    if (!failing_) lines_.emplace_back(status::kJournalNotWritten);
    failing_ = true;
    return;
  }
  failing_ = false;
  if (*size > kJournalRotateBytes) files_.rename(dir + kCallJournalFile, dir + kCallJournalOldFile);
}

}  // namespace ondrix
