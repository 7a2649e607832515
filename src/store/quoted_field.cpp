// SPDX-License-Identifier: GPL-3.0-or-later
// The quoted-field reader and writer of the settings and mail store files.
#include "store/quoted_field.h"

#include <limits>

namespace ondrix {

namespace {

bool isBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool isLineEnd(char16_t c) { return c == CR || c == LF; }

TextView trimBlanks(TextView t) {
  while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
  return t;
}

}  // namespace

void QuotedFieldReader::skipSeparator() {
  if (pos_ >= in_.size()) return;
  if (in_[pos_] == u',') {
    ++pos_;
  } else if (in_[pos_] == CR) {
    ++pos_;
    if (pos_ < in_.size() && in_[pos_] == LF) ++pos_;
  } else if (in_[pos_] == LF) {
    ++pos_;
  }
}

std::optional<Text> QuotedFieldReader::readText() {
  while (pos_ < in_.size() && isBlank(in_[pos_])) ++pos_;
  if (pos_ >= in_.size()) return std::nullopt;

  Text field;
  if (in_[pos_] == u'"') {
    // Everything up to the closing quote belongs to the field, line ends
    // included; an unclosed quote runs to the end of the content.
    const std::size_t start = pos_ + 1;
    std::size_t close = in_.find(u'"', start);
    if (close == TextView::npos) close = in_.size();
    field.assign(in_.substr(start, close - start));
    pos_ = close < in_.size() ? close + 1 : close;
    while (pos_ < in_.size() && in_[pos_] != u',' && !isLineEnd(in_[pos_])) ++pos_;
  } else {
    const std::size_t start = pos_;
    while (pos_ < in_.size() && in_[pos_] != u',' && !isLineEnd(in_[pos_])) ++pos_;
    field.assign(trimBlanks(in_.substr(start, pos_ - start)));
  }
  skipSeparator();
  return field;
}

bool QuotedFieldReader::readTextInto(Text& target) {
  auto field = readText();
  if (!field) return false;
  target = std::move(*field);
  return true;
}

QuotedFieldReader::Number QuotedFieldReader::readNumber() {
  const auto field = readText();
  if (!field) return {NumberStatus::EndOfFile, 0};

  const TextView t = trimBlanks(*field);
  std::size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) {
    negative = t[i] == u'-';
    ++i;
  }
  if (i == t.size()) {
    // An empty field reads as 0; a lone sign is no number.
    return t.empty() ? Number{NumberStatus::Ok, 0} : Number{NumberStatus::NotANumber, 0};
  }
  constexpr long long kLimit = std::numeric_limits<std::int32_t>::max();
  long long value = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < u'0' || t[i] > u'9') return {NumberStatus::NotANumber, 0};
    if (value <= kLimit) value = value * 10 + (t[i] - u'0');
  }
  if (value > kLimit) value = kLimit;
  return {NumberStatus::Ok, static_cast<std::int32_t>(negative ? -value : value)};
}

void QuotedFieldWriter::separate() {
  if (lineHasField_) out_ += u',';
  lineHasField_ = true;
}

void QuotedFieldWriter::text(TextView field) {
  separate();
  out_ += u'"';
  // Appended in spans between quotes: a store of images is a few hundred
  // thousand characters.
  for (std::size_t start = 0;;) {
    const std::size_t quote = field.find(u'"', start);
    out_.append(field.substr(start, quote - start));
    if (quote == TextView::npos) break;
    out_ += u'\u201D';
    start = quote + 1;
  }
  out_ += u'"';
}

void QuotedFieldWriter::number(long long n) {
  separate();
  out_ += decimal(n);
}

void QuotedFieldWriter::headerNumber(long long n) {
  separate();
  out_ += u' ';
  out_ += decimal(n);
  out_ += u' ';
}

void QuotedFieldWriter::endLine() {
  out_ += CRLF;
  lineHasField_ = false;
}

}  // namespace ondrix
