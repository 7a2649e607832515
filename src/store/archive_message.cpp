// SPDX-License-Identifier: GPL-3.0-or-later
// The archive's message: headers, the text part and the two attachments,
// written by hand since the shape never changes (see docs/architecture.md).
#include "store/archive_message.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <tuple>

#include "state/connection_state.h"
#include "store/base64.h"
#include "store/codecs.h"

namespace ondrix {

namespace {

// Every part is Base64, whose alphabet has no "=_", so no part can hold it.
constexpr std::string_view kBoundary = "=_ondrix_record";
constexpr std::size_t kLineLimit = 78;
// RFC 2047's limit on one encoded word, "=?UTF-8?B?" and "?=" included.
constexpr std::size_t kWordLimit = 75;
// A caller longer than any number with its subaddress is cut, with "…", to
// what one encoded word after "From: " carries: some readers take words
// side by side in a name as apart, and no text of the terminal's may make a
// header line no reader takes.
constexpr std::size_t kNameBytes = 45;
// The sender's local part ends its own folded line: " <", it, "@caller.invalid>".
constexpr std::size_t kLocalLimit = 60;
constexpr std::string_view kSenderDomain = "@caller.invalid>";

bool isAtext(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+/=?^_`{|}~-").find(c) != std::string_view::npos;
}

std::string base64Of(const std::string& bytes) {
  const Text encoded = encodeBase64(Bytes(bytes.begin(), bytes.end()));
  return std::string(encoded.begin(), encoded.end());
}

// Base64 lines of 76 characters, each ended.
void appendBase64Body(std::string& out, const Bytes& bytes) {
  const Text encoded = encodeBase64(bytes);
  for (std::size_t i = 0; i < encoded.size(); i += 76) {
    const auto line = TextView(encoded).substr(i, 76);
    out.append(line.begin(), line.end());
    out += '\n';
  }
}

// MIME text is carried with CR LF line ends, whatever the terminal sent.
Text withCrlf(TextView text) {
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == CR || text[i] == LF) {
      out += CRLF;
      if (text[i] == CR && i + 1 < text.size() && text[i + 1] == LF) ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// A terminal's control characters (and so the ESC of its escape sequences)
// become blanks in a header, as in the journal: they would reach the screen
// of a terminal mail reader.
Text headerSafe(TextView text) {
  Text out(text);
  for (char16_t& c : out) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) c = u' ';
  }
  return out;
}

std::string cutCaller(std::string caller) {
  if (caller.size() <= kNameBytes) return caller;
  const std::string_view ellipsis = "…";
  std::size_t keep = kNameBytes - ellipsis.size();
  // Never inside a character: back to the lead byte of the one cut through.
  while (keep > 0 && (static_cast<unsigned char>(caller[keep]) & 0xC0) == 0x80) --keep;
  return caller.substr(0, keep) + std::string(ellipsis);
}

// The sender's address: the caller's letters, digits and dial signs.
std::string senderAddress(const std::string& caller, bool known) {
  std::string local;
  for (char c : caller) {
    const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (local.size() < kLocalLimit && (alnum || c == '*' || c == '#' || c == '+' || c == '-')) {
      local += c;
    }
  }
  if (!known || local.empty()) local = "unknown";
  return "<" + local + std::string(kSenderDomain);
}

std::size_t utf8Length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead >> 5) == 0x6) return 2;
  if ((lead >> 4) == 0xE) return 3;
  return 4;
}

bool isLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysIn(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeap(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// 0 = Sunday.
int weekday(int y, int m, int d) {
  static constexpr std::array<int, 12> kShift = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (m < 3) --y;
  return (y + y / 4 - y / 100 + y / 400 + kShift[static_cast<std::size_t>(m - 1)] + d) % 7;
}

void attach(std::string& out, std::string_view type, std::string_view name, const Bytes& bytes) {
  out += "--";
  out += kBoundary;
  out += "\nContent-Type: ";
  out += type;
  out += "; name=\"";
  out += name;
  out += "\"\nContent-Disposition: attachment; filename=\"";
  out += name;
  out += "\"\nContent-Transfer-Encoding: base64\n\n";
  appendBase64Body(out, bytes);
}

}  // namespace

std::string messageDate(const LocalTime& t) {
  static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int month = t.month >= 1 && t.month <= 12 ? t.month : 1;
  const int offset = t.utcOffsetSeconds / 60;
  const int magnitude = offset < 0 ? -offset : offset;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d",
                kDays[static_cast<std::size_t>(weekday(t.year, month, t.day))], t.day % 100,
                kMonths[static_cast<std::size_t>(month - 1)], t.year % 10000, t.hour % 100,
                t.minute % 100, t.second % 100, offset < 0 ? '-' : '+', magnitude / 60 % 100,
                magnitude % 60);
  return buf;
}

std::string encodedWords(std::string_view utf8, std::size_t used) {
  std::string out;
  std::size_t column = used;
  for (std::size_t i = 0; i < utf8.size();) {
    if (!out.empty()) {
      out += "\n ";
      column = 1;
    }
    // "=?UTF-8?B?" and "?=" around four characters per three bytes; room
    // for one character of four bytes at the least.
    const std::size_t most = std::min(kWordLimit, kLineLimit - std::min(column, kLineLimit));
    const std::size_t room = most > 12 + 8 ? most - 12 : 8;
    const std::size_t capacity = room / 4 * 3;
    std::size_t end = i;
    while (end < utf8.size()) {
      const std::size_t next = end + utf8Length(static_cast<unsigned char>(utf8[end]));
      if (next - i > capacity && end > i) break;
      end = next < utf8.size() ? next : utf8.size();
    }
    const std::string word = "=?UTF-8?B?" + base64Of(std::string(utf8.substr(i, end - i))) + "?=";
    out += word;
    column += word.size();
    i = end;
  }
  return out;
}

std::optional<LocalTime> storedRecordTime(TextView stamp, const LocalTime& now) {
  if (stamp.size() != 11 || stamp[2] != u'/' || stamp[5] != u' ' || stamp[8] != u':') {
    return std::nullopt;
  }
  const auto number = [&](std::size_t at) {
    const char16_t a = stamp[at], b = stamp[at + 1];
    if (a < u'0' || a > u'9' || b < u'0' || b > u'9') return -1;
    return (a - u'0') * 10 + (b - u'0');
  };
  const int month = number(0), day = number(3), hour = number(6), minute = number(9);
  if (month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59) {
    return std::nullopt;
  }
  const auto key = [](int y, int mo, int d, int h, int mi) { return std::tuple(y, mo, d, h, mi); };
  const auto latest = key(now.year, now.month, now.day, now.hour, now.minute);
  // A 29 February finds a leap year within eight years.
  for (int year = now.year; year >= now.year - 8; --year) {
    if (day > daysIn(year, month) || key(year, month, day, hour, minute) > latest) continue;
    LocalTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.hour = hour;
    t.minute = minute;
    t.second = 0;
    t.utcOffsetSeconds = now.utcOffsetSeconds;
    return t;
  }
  return std::nullopt;
}

Bytes composeArchiveMessage(const StoredRecord& record, const Bytes& melodyFile,
                            const Bytes& imageFile, std::string_view messageId) {
  std::string out;
  out.reserve(1024 + (melodyFile.size() + imageFile.size()) * 4 / 3 + record.text.size() * 4);
  out += "Date: " + messageDate(record.received) + "\n";

  const bool known = !record.caller.empty();
  const std::string caller = cutCaller(toUtf8(headerSafe(callerOrNone(record.caller))));
  // Printable text that reads as an encoded word is encoded itself, so a
  // reader shows it as it came instead of decoding it.
  bool plainName = caller.find("=?") == std::string::npos;
  for (char c : caller) plainName = plainName && isAtext(c);
  std::string from = "From: " + (plainName ? caller : encodedWords(caller, 6));
  const std::string sender = senderAddress(caller, known);
  const std::size_t lineStart = from.rfind('\n');
  const std::size_t column = from.size() - (lineStart == std::string::npos ? 0 : lineStart + 1);
  from += column + 1 + sender.size() > kLineLimit ? "\n " : " ";
  out += from + sender + "\n";

  const Text& text = record.text;
  const std::string subject =
      toUtf8(headerSafe(TextView(text).substr(0, text.find_first_of(u"\r\n"))));
  out += "Subject: " + encodedWords(subject, 9) + "\n";
  out += "Message-ID: <";
  out += messageId;
  out += ">\n";
  out += record.kind == RecordKind::Voice ? "X-Ondrix-Kind: voice\n" : "X-Ondrix-Kind: mail\n";
  out += "MIME-Version: 1.0\n";

  const std::string textHead =
      "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: base64\n\n";
  const std::string body = toUtf8(withCrlf(text));
  const bool attached = !melodyFile.empty() || !imageFile.empty();
  if (attached) {
    out += "Content-Type: multipart/mixed; boundary=\"";
    out += kBoundary;
    out += "\"\n\n--";
    out += kBoundary;
    out += "\n";
  }
  out += textHead;
  appendBase64Body(out, Bytes(body.begin(), body.end()));
  if (attached) {
    if (!melodyFile.empty()) attach(out, "application/octet-stream", "melody.mmd", melodyFile);
    if (!imageFile.empty()) attach(out, "image/bmp", "Image.bmp", imageFile);
    out += "--";
    out += kBoundary;
    out += "--\n";
  }
  return Bytes(out.begin(), out.end());
}

Bytes archiveMessageFor(Files& files, const StoredRecord& record, std::string_view messageId) {
  Bytes melody;
  if (!record.melody.empty()) files.appendEncoded(melodyFileText(record.melody), melody);
  const Bytes image = record.image.empty() ? Bytes() : imageFileBytes(record.image);
  return composeArchiveMessage(record, melody, image, messageId);
}

}  // namespace ondrix
