// SPDX-License-Identifier: GPL-3.0-or-later
// The mail store file: its bytes, round trips, every layout it is read in, breaks.
#include <gtest/gtest.h>

#include "fakes.h"
#include "store/mail_store_file.h"

namespace ondrix {
namespace {

const Text kPath = u"/opt/ondrix\\amp.dat";

Text emptySlots(int n) {
  Text t;
  for (int i = 0; i < n; ++i) t += u"\"\",\"\",\"\",\"\",\"\"\r\n";
  return t;
}

MailStoreArrays sampleStore() {
  MailStoreArrays s;
  for (int i = 1; i <= kMailSlots; ++i) {
    if (i % 7 == 3) continue;  // some slots stay empty
    s.MailCaller[i] = u"0312345678 山田" + decimal(i);
    s.MailText[i] = u"本文その" + decimal(i) + u"\r\n二行目, カンマ付き";
    s.MailTime[i] = u"12/06 07:45";
    s.MailMelody[i] = i % 2 ? u"<MEL=T120>C4D4" : u"";
    s.MailImage[i] = i % 3 ? u"RE9UABAAEP//" : u"";
  }
  return s;
}

void expectSameStore(const MailStoreArrays& a, const MailStoreArrays& b) {
  for (int i = 1; i <= kMailSlots; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(a.MailCaller[i], b.MailCaller[i]);
    EXPECT_EQ(a.MailText[i], b.MailText[i]);
    EXPECT_EQ(a.MailTime[i], b.MailTime[i]);
    EXPECT_EQ(a.MailMelody[i], b.MailMelody[i]);
    EXPECT_EQ(a.MailImage[i], b.MailImage[i]);
  }
}

TEST(MailStoreFile, WritesHeaderAndAllHundredSlots) {
  FakeFiles files;
  MailStoreArrays s;
  s.MailCaller[1] = u"0311112222";
  s.MailText[1] = u"こんにちは";
  s.MailTime[1] = u"01/02 03:04";
  s.MailMelody[1] = u"<MEL=C>";
  s.MailImage[1] = u"RE9U";
  SaveMailStore(files, kPath, s);
  EXPECT_EQ(files.readText(kPath),
            u" 0 \r\n 100 \r\n 5 \r\n 0 \r\n"
            u"\"0311112222\",\"こんにちは\",\"01/02 03:04\",\"<MEL=C>\",\"RE9U\"\r\n" +
                emptySlots(99));
}

TEST(MailStoreFile, FullStoreRoundTrip) {
  FakeFiles files;
  const MailStoreArrays written = sampleStore();
  SaveMailStore(files, kPath, written);
  MailStoreArrays read;
  LoadMailStore(files, kPath, read);
  expectSameStore(read, written);
}

// A save after any change writes what the first save of the same texts
// writes: the lines kept from the last save never outlive their texts.
TEST(MailStoreFile, KeptLinesFollowEveryChange) {
  struct Case {
    const char* name;
    void (*change)(MailStoreArrays&);
  };
  const Case cases[] = {
      {"nothing", [](MailStoreArrays&) {}},
      {"new record",
       [](MailStoreArrays& s) {
         s.makeRoomAtSlot1();
         s.MailCaller[1] = u"0399998888";
         s.MailText[1] = u"新しい";
       }},
      {"record removed", [](MailStoreArrays& s) { s.removeSlot(5); }},
      {"field changed in place", [](MailStoreArrays& s) { s.MailImage[9] = u"RE9UAAgACA=="; }},
      {"same length, other text", [](MailStoreArrays& s) { s.MailTime[2][0] = u'9'; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFiles files;
    MailStoreArrays s = sampleStore();
    ASSERT_TRUE(SaveMailStore(files, kPath, s));
    c.change(s);
    ASSERT_TRUE(SaveMailStore(files, kPath, s));
    MailStoreArrays fresh;
    for (auto column :
         {&MailStoreArrays::MailCaller, &MailStoreArrays::MailText, &MailStoreArrays::MailTime,
          &MailStoreArrays::MailMelody, &MailStoreArrays::MailImage}) {
      fresh.*column = s.*column;
    }
    ASSERT_TRUE(SaveMailStore(files, u"/fresh\\amp.dat", fresh));
    EXPECT_EQ(files.readText(kPath), files.readText(u"/fresh\\amp.dat"));
  }
}

TEST(MailStoreFile, QuoteInsideTextKeepsLaterRecordsInPlace) {
  FakeFiles files;
  MailStoreArrays s;
  s.MailText[1] = u"he said \"hi, there\"";
  s.MailCaller[2] = u"second";
  SaveMailStore(files, kPath, s);
  MailStoreArrays read;
  LoadMailStore(files, kPath, read);
  EXPECT_EQ(read.MailText[1], u"he said ”hi, there”");
  EXPECT_EQ(read.MailCaller[2], u"second");
  EXPECT_EQ(read.MailCaller[3], u"");
}

TEST(MailStoreFile, OlderLayoutLoadsAndIsWrittenInTheNewOne) {
  Text old = u"100\r\n\"0311112222\",\"古い本文\",\"05/06 07:08\"\r\n";
  for (int i = 2; i <= 100; ++i) old += u"\"\",\"\",\"\"\r\n";
  FakeFiles files;
  files.writeText(kPath, old);
  MailStoreArrays s;
  s.MailMelody[1] = u"kept";  // not in the file, so not touched
  LoadMailStore(files, kPath, s);
  EXPECT_EQ(s.MailCaller[1], u"0311112222");
  EXPECT_EQ(s.MailText[1], u"古い本文");
  EXPECT_EQ(s.MailTime[1], u"05/06 07:08");
  EXPECT_EQ(s.MailMelody[1], u"kept");

  s.MailMelody[1].clear();
  SaveMailStore(files, kPath, s);
  EXPECT_EQ(files.readText(kPath),
            u" 0 \r\n 100 \r\n 5 \r\n 0 \r\n"
            u"\"0311112222\",\"古い本文\",\"05/06 07:08\",\"\",\"\"\r\n" +
                emptySlots(99));
}

// Every layout the loader takes: the file as written (the header, then
// `slotLines` lines made from `slotLine` with "#" as the line's number), and
// how many slots come back filled and with which of the optional fields.
// Each field names its slot, so a field read into the wrong slot or column
// shows.
struct HeaderCase {
  const char* name;
  // Printed by name, so test listings stay short.
  friend void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.name; }
  Text header;
  Text slotLine;
  int slotLines;
  int expectFilled;
  bool expectMelody;
  bool expectImage;
};

class MailStoreHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(MailStoreHeaderTest, ReadsWhatTheHeaderAnnounces) {
  const auto& c = GetParam();
  Text content = c.header;
  for (int i = 1; i <= c.slotLines; ++i) {
    Text line = c.slotLine;
    for (std::size_t at = line.find(u'#'); at != Text::npos; at = line.find(u'#', at)) {
      line.replace(at, 1, decimal(i));
    }
    content += line;
  }
  FakeFiles files;
  files.writeText(kPath, content);
  MailStoreArrays s;
  LoadMailStore(files, kPath, s);
  for (int i = 1; i <= kMailSlots; ++i) {
    SCOPED_TRACE(i);
    const bool filled = i <= c.expectFilled;
    const auto field = [&](char16_t column, bool present) {
      return filled && present ? Text(1, column) + decimal(i) : Text();
    };
    EXPECT_EQ(s.MailCaller[i], field(u'c', true));
    EXPECT_EQ(s.MailText[i], field(u'x', true));
    EXPECT_EQ(s.MailTime[i], field(u't', true));
    EXPECT_EQ(s.MailMelody[i], field(u'm', c.expectMelody));
    EXPECT_EQ(s.MailImage[i], field(u'i', c.expectImage));
  }
}

const Text kFiveFields = u"\"c#\",\"x#\",\"t#\",\"m#\",\"i#\"\r\n";
const Text kThreeFields = u"\"c#\",\"x#\",\"t#\"\r\n";

INSTANTIATE_TEST_SUITE_P(
    Headers, MailStoreHeaderTest,
    ::testing::Values(
        HeaderCase{"AsWritten", u" 0 \r\n 100 \r\n 5 \r\n 0 \r\n", kFiveFields, 100, 100, true,
                   true},
        HeaderCase{"OlderLayout", u"100\r\n", kThreeFields, 100, 100, false, false},
        HeaderCase{"CutAfterSlot40", u" 0 \r\n 100 \r\n 5 \r\n 0 \r\n", kFiveFields, 40, 40, true,
                   true},
        HeaderCase{"HundredFiftySlotsCapped", u" 0 \r\n 150 \r\n 5 \r\n 0 \r\n", kFiveFields, 150,
                   100, true, true},
        HeaderCase{"ThreeFields", u" 0 \r\n 100 \r\n 3 \r\n 0 \r\n", kThreeFields, 100, 100, false,
                   false},
        HeaderCase{"FewerThanThreeFieldsReadAsThree", u" 0 \r\n 100 \r\n 2 \r\n 0 \r\n",
                   kThreeFields, 100, 100, false, false},
        HeaderCase{"FourFieldsMelodyWithoutImage", u" 0 \r\n 100 \r\n 4 \r\n 0 \r\n",
                   u"\"c#\",\"x#\",\"t#\",\"m#\"\r\n", 100, 100, true, false},
        HeaderCase{"ExtraNumericFieldsSkipped", u" 0 \r\n 100 \r\n 7 \r\n 0 \r\n",
                   u"\"c#\",\"x#\",\"t#\",\"m#\",\"i#\",1,2\r\n", 100, 100, true, true},
        HeaderCase{"ShortHeader", u" 0 \r\n 100 \r\n", u"", 0, 0, false, false},
        HeaderCase{"NonNumericHeader", u"\"c\",\"x\",\"t\"\r\n", kThreeFields, 3, 0, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MailStoreFile, BreakInsideASlotKeepsItsFieldsReadSoFar) {
  FakeFiles files;
  files.writeText(
      kPath, u" 0 \r\n 100 \r\n 5 \r\n 0 \r\n\"c1\",\"x1\",\"t1\",\"m1\",\"i1\"\r\n\"c2\",\"x2\"");
  MailStoreArrays s;
  s.MailTime[2] = u"old";
  LoadMailStore(files, kPath, s);
  EXPECT_EQ(s.MailImage[1], u"i1");
  EXPECT_EQ(s.MailText[2], u"x2");
  EXPECT_EQ(s.MailTime[2], u"old");
}

}  // namespace
}  // namespace ondrix
