// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The comma-separated text format of the settings and mail store files:
// text fields in double quotes, bare numbers, CR LF after every line. The
// reader takes fields in order and does not care where the lines break.
#include <cstdint>
#include <optional>

#include "core/text.h"

namespace ondrix {

class QuotedFieldReader {
 public:
  explicit QuotedFieldReader(TextView content) : in_(content) {}

  // The next field as text; nullopt when the content is used up.
  std::optional<Text> readText();
  // Stores the next field in `target` as soon as it is read, so a file that
  // breaks off keeps everything before the break; false when used up.
  bool readTextInto(Text& target);

  enum class NumberStatus { Ok, NotANumber, EndOfFile };
  struct Number {
    NumberStatus status = NumberStatus::EndOfFile;
    // Saturated to the 32-bit range; 0 unless status is Ok.
    std::int32_t value = 0;
  };
  // The next field read as a whole number (optional sign, digits). An
  // empty field counts as 0. A field that is not a number is still consumed.
  Number readNumber();

  bool atEnd() const { return pos_ >= in_.size(); }

 private:
  // Consumes one comma or one line end (CR LF, CR or LF) if one follows.
  void skipSeparator();

  TextView in_;
  std::size_t pos_ = 0;
};

// Builds the file text line by line.
class QuotedFieldWriter {
 public:
  // A text field between double quotes. A double quote inside the text would
  // end the field early on reading and shift every later field, so it is
  // written as U+201D instead. Everything else goes out unchanged.
  void text(TextView field);
  // A bare decimal number.
  void number(long long n);
  // A number alone on a header line: one blank before and one after.
  void headerNumber(long long n);
  // Ends the current line with CR LF.
  void endLine();

  const Text& content() const { return out_; }
  // Room for `characters` more, so a large file is built without regrowing.
  void reserve(std::size_t characters) { out_.reserve(out_.size() + characters); }

 private:
  void separate();

  Text out_;
  bool lineHasField_ = false;
};

}  // namespace ondrix
