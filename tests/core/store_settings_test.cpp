#include <gtest/gtest.h>

#include "fakes.h"
#include "store/settings_file.h"

namespace ondrix {
namespace {

const Text kPath = u"/opt/ondrix\\brellin.ini";
const Text kDefaultsPort3 =
    u"\"at#sy1=40\"\r\n\"atu3v1q0\\v2#ps2=1\"\r\n3\r\n\"QV-M7\"\r\n\"\",\"\",\"0\"\r\n\"\"\r\n";

TEST(SettingsFile, MissingFileGivesDefaultsAndKeepsPortBox) {
  FakeFiles files;
  FileIOModule1 m;
  m.ModemModel = u"stale";
  Text comNo = u"1";
  LoadSettings(files, kPath, m, comNo);
  EXPECT_EQ(m.StartCommand, u"at#sy1=40");
  EXPECT_EQ(m.SetupCommand, u"atu3v1q0\\v2#ps2=1");
  EXPECT_EQ(m.ModemModel, u"QV-M7");
  EXPECT_EQ(m.UserFuncWait, u"0");
  EXPECT_EQ(comNo, u"1");

  SaveSettings(files, kPath, m, u" 3");
  EXPECT_EQ(files.readText(kPath), kDefaultsPort3);
}

struct PortCase {
  const char* name;
  // Printed by name, so test listings stay short.
  friend void PrintTo(const PortCase& c, std::ostream* os) { *os << c.name; }
  Text portField;
  Text comNoAfter;
};

class SettingsPortTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(SettingsPortTest, OnlyPortsOneToNineReachThePortBox) {
  FakeFiles files;
  files.writeText(kPath, u"\"s\"\r\n\"u\"\r\n" + GetParam().portField +
                             u"\r\n\"M\"\r\n\"cap\",\"cmd\",\"5\"\r\n\"player\"\r\n");
  FileIOModule1 m;
  Text comNo = u"1";
  LoadSettings(files, kPath, m, comNo);
  EXPECT_EQ(comNo, GetParam().comNoAfter);
  // The fields after the port are read whatever the port field held.
  EXPECT_EQ(m.ModemModel, u"M");
  EXPECT_EQ(m.UserFuncWait, u"5");
  EXPECT_EQ(m.MelodyPlayer, u"player");
}

INSTANTIATE_TEST_SUITE_P(
    Ports, SettingsPortTest,
    ::testing::Values(PortCase{"Seven", u"7", u" 7"}, PortCase{"Nine", u"9", u" 9"},
                      PortCase{"Zero", u"0", u"1"}, PortCase{"Ten", u"10", u"1"},
                      PortCase{"Negative", u"-2", u"1"}, PortCase{"NotANumber", u"COM3", u"1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SettingsFile, FileEndingAfterLineTwoKeepsTheRestAtDefaults) {
  FakeFiles files;
  files.writeText(kPath, u"\"atz\"\r\n\"at&f\"\r\n");
  FileIOModule1 m;
  Text comNo = u"4";
  LoadSettings(files, kPath, m, comNo);
  EXPECT_EQ(m.StartCommand, u"atz");
  EXPECT_EQ(m.SetupCommand, u"at&f");
  EXPECT_EQ(m.ModemModel, u"QV-M7");
  EXPECT_EQ(m.MelodyPlayer, u"");
  EXPECT_EQ(comNo, u"4");
}

TEST(SettingsFile, RoundTripKeepsEveryValue) {
  FakeFiles files;
  FileIOModule1 out;
  out.StartCommand = u"at#sy1=20";
  out.SetupCommand = u"atu3";
  out.ModemModel = u"モデム-2";
  out.UserFuncCaption = u"";  // empty caption with a command: both kept
  out.UserFuncCommand = u"at*p?";
  out.UserFuncWait = u"30";
  out.MelodyPlayer = u"/usr/bin/player --play, fast";
  SaveSettings(files, kPath, out, u" 7x");

  FileIOModule1 in;
  Text comNo = u"1";
  LoadSettings(files, kPath, in, comNo);
  EXPECT_EQ(comNo, u" 7");
  for (auto field :
       {&FileIOModule1::StartCommand, &FileIOModule1::SetupCommand, &FileIOModule1::ModemModel,
        &FileIOModule1::UserFuncCaption, &FileIOModule1::UserFuncCommand,
        &FileIOModule1::UserFuncWait, &FileIOModule1::MelodyPlayer}) {
    EXPECT_EQ(in.*field, out.*field);
  }
}

TEST(SettingsFile, QuoteInValueDoesNotShiftLaterFields) {
  FakeFiles files;
  FileIOModule1 out;
  out.StartCommand = u"at\"x\"";
  out.ModemModel = u"QV-M7";
  SaveSettings(files, kPath, out, u"2");
  FileIOModule1 in;
  Text comNo;
  LoadSettings(files, kPath, in, comNo);
  EXPECT_EQ(in.StartCommand, u"at”x”");
  EXPECT_EQ(comNo, u" 2");
  EXPECT_EQ(in.ModemModel, u"QV-M7");
}

}  // namespace
}  // namespace ondrix
