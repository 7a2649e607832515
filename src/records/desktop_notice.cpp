// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop notification of a record stored: what came, from whom, and
// the first line of its text, escaped for the service's markup.
#include "records/desktop_notice.h"

#include "state/caller_text.h"

namespace ondrix {
namespace {

Text firstLine(const Text& text) {
  Text line = text.substr(0, text.find_first_of(u"\r\n"));
  if (line.size() <= kNoticeLineLength) return line;
  std::size_t cut = kNoticeLineLength - 1;
  // Never half a surrogate pair.
  if (line[cut - 1] >= 0xD800 && line[cut - 1] <= 0xDBFF) --cut;
  line.resize(cut);
  return line + u"…";
}

Text escaped(const Text& text) {
  Text out;
  for (const char16_t c : text) {
    if (c == u'&') {
      out += u"&amp;";
    } else if (c == u'<') {
      out += u"&lt;";
    } else if (c == u'>') {
      out += u"&gt;";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

DesktopNotice desktopNotice(const StoredRecord& record) {
  DesktopNotice notice;
  notice.summary =
      record.kind == RecordKind::Mail ? u"TAVIXメールが届きました" : u"音声メッセージが届きました";
  notice.body = u"差出人：" + callerOrNone(record.caller);
  const Text line = firstLine(record.text);
  if (!line.empty()) notice.body += u"\n" + line;
  notice.body = escaped(notice.body);
  return notice;
}

}  // namespace ondrix
