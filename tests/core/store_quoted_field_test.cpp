// SPDX-License-Identifier: GPL-3.0-or-later
// The quoted-field reader and writer: fields in order, numbers, inner quotes.
#include <gtest/gtest.h>

#include <vector>

#include "fakes.h"
#include "store/quoted_field.h"

namespace ondrix {
namespace {

struct ReadCase {
  const char* name;
  // Printed by name, so test listings stay short.
  friend void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }
  Text content;
  std::vector<Text> fields;  // all fields until the end
};

class QuotedFieldReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(QuotedFieldReadTest, TakesFieldsInOrderThenReportsTheEnd) {
  QuotedFieldReader in(GetParam().content);
  for (const Text& expected : GetParam().fields) {
    const auto field = in.readText();
    ASSERT_TRUE(field.has_value());
    EXPECT_EQ(*field, expected);
  }
  EXPECT_FALSE(in.readText().has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Fields, QuotedFieldReadTest,
    ::testing::Values(
        ReadCase{"QuotedAndBareAcrossLines",
                 u"\"a b\",\"c\"\r\n 12 \r\n\"\"\r\n",
                 {u"a b", u"c", u"12", u""}},
        ReadCase{"LineBreaksInsideQuotesKept", u"\"x\r\ny\",\"z\"\r\n", {u"x\r\ny", u"z"}},
        ReadCase{"JunkAfterClosingQuoteSkipped", u"\"ab\"cd,\"e\"\r\n", {u"ab", u"e"}},
        ReadCase{"BlanksAroundBareFieldRemoved", u"  plain text  ,\t7\r\n", {u"plain text", u"7"}},
        ReadCase{"LineEndsOfAnyKind", u"a\rb\nc\r\n", {u"a", u"b", u"c"}},
        ReadCase{"UnclosedQuoteRunsToEnd", u"\"open,end", {u"open,end"}},
        ReadCase{"EmptyContent", u"", {}},
        ReadCase{"JapaneseUnchanged", u"\"通信中”\",\"ＡＢ\"", {u"通信中”", u"ＡＢ"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(QuotedFieldReader, NumbersSaturateAndRejectNonDigits) {
  using S = QuotedFieldReader::NumberStatus;
  QuotedFieldReader in(u" 7 , -3,\"42\",,COM3,99999999999,-\r\n");
  const struct {
    S status;
    std::int32_t value;
  } expected[] = {{S::Ok, 7},         {S::Ok, -3},         {S::Ok, 42},        {S::Ok, 0},
                  {S::NotANumber, 0}, {S::Ok, 2147483647}, {S::NotANumber, 0}, {S::EndOfFile, 0}};
  for (const auto& e : expected) {
    const auto n = in.readNumber();
    EXPECT_EQ(n.status, e.status);
    EXPECT_EQ(n.value, e.value);
  }
}

TEST(QuotedFieldWriter, QuotesTextsAndReplacesInnerQuotes) {
  QuotedFieldWriter out;
  out.headerNumber(100);
  out.endLine();
  out.text(u"he said \"hi, there\"");
  out.text(u"");
  out.number(-5);
  out.endLine();
  EXPECT_EQ(out.content(), u" 100 \r\n\"he said ”hi, there”\",\"\",-5\r\n");

  // The replaced quote keeps the fields after it in place.
  QuotedFieldReader in(out.content());
  EXPECT_EQ(in.readNumber().value, 100);
  EXPECT_EQ(*in.readText(), u"he said ”hi, there”");
  EXPECT_EQ(*in.readText(), u"");
  EXPECT_EQ(in.readNumber().value, -5);
}

}  // namespace
}  // namespace ondrix
