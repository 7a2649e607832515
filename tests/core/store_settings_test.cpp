// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file: defaults, what a file of any shape gives, the port box
// and the bytes written.
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <utility>

#include "fakes.h"
#include "store/settings_file.h"

namespace ondrix {
namespace {

const Text kPath = u"/opt/ondrix\\brellin.ini";
// Every one of the seven values, named in the failure.
void expectSettings(const Settings& actual, const Settings& expected) {
  const struct {
    const char* name;
    Text Settings::*field;
  } fields[] = {
      {"StartCommand", &Settings::StartCommand},
      {"SetupCommand", &Settings::SetupCommand},
      {"ModemModel", &Settings::ModemModel},
      {"UserFuncCaption", &Settings::UserFuncCaption},
      {"UserFuncCommand", &Settings::UserFuncCommand},
      {"UserFuncWait", &Settings::UserFuncWait},
      {"MelodyPlayer", &Settings::MelodyPlayer},
  };
  for (const auto& f : fields) {
    EXPECT_EQ(toUtf8(actual.*f.field), toUtf8(expected.*f.field)) << f.name;
  }
}

const Text kDefaultsPort3 =
    u"\"at#sy1=40\"\r\n\"atu3v1q0\\v2#ps2=1\"\r\n3\r\n\"QV-M7\"\r\n\"\",\"\",\"0\"\r\n\"\"\r\n";

// The port box after a load: the file's port, or the text it had.
Text portBoxAfter(const LoadedSettings& loaded, const Text& before) {
  return loaded.portBoxText.value_or(before);
}

TEST(SettingsFile, MissingFileGivesDefaultsAndKeepsPortBox) {
  FakeFiles files;
  const LoadedSettings loaded = LoadSettings(files, kPath);
  const Settings& m = loaded.settings;
  EXPECT_EQ(m.StartCommand, u"at#sy1=40");
  EXPECT_EQ(m.SetupCommand, u"atu3v1q0\\v2#ps2=1");
  EXPECT_EQ(m.ModemModel, u"QV-M7");
  EXPECT_EQ(m.UserFuncCaption, u"");
  EXPECT_EQ(m.UserFuncCommand, u"");
  EXPECT_EQ(m.UserFuncWait, u"0");
  EXPECT_EQ(m.MelodyPlayer, u"");
  EXPECT_EQ(portBoxAfter(loaded, u"1"), u"1");

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
  const LoadedSettings loaded = LoadSettings(files, kPath);
  const Settings& m = loaded.settings;
  EXPECT_EQ(portBoxAfter(loaded, u"1"), GetParam().comNoAfter);
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
  const LoadedSettings loaded = LoadSettings(files, kPath);
  const Settings& m = loaded.settings;
  EXPECT_EQ(m.StartCommand, u"atz");
  EXPECT_EQ(m.SetupCommand, u"at&f");
  EXPECT_EQ(m.ModemModel, u"QV-M7");
  EXPECT_EQ(m.MelodyPlayer, u"");
  EXPECT_EQ(portBoxAfter(loaded, u"4"), u"4");
}

TEST(SettingsFile, RoundTripKeepsEveryValue) {
  FakeFiles files;
  Settings out;
  out.StartCommand = u"at#sy1=20";
  out.SetupCommand = u"atu3";
  out.ModemModel = u"モデム-2";
  out.UserFuncCaption = u"";  // empty caption with a command: both kept
  out.UserFuncCommand = u"at*p?";
  out.UserFuncWait = u"30";
  out.MelodyPlayer = u"/usr/bin/player --play, fast";
  SaveSettings(files, kPath, out, u" 7x");

  const LoadedSettings in = LoadSettings(files, kPath);
  EXPECT_EQ(portBoxAfter(in, u"1"), u" 7");
  expectSettings(in.settings, out);
}

TEST(SettingsFile, QuoteInValueDoesNotShiftLaterFields) {
  FakeFiles files;
  Settings out;
  out.StartCommand = u"at\"x\"";
  out.ModemModel = u"QV-M7";
  SaveSettings(files, kPath, out, u"2");
  const LoadedSettings in = LoadSettings(files, kPath);
  EXPECT_EQ(in.settings.StartCommand, u"at”x”");
  EXPECT_EQ(portBoxAfter(in, u""), u" 2");
  EXPECT_EQ(in.settings.ModemModel, u"QV-M7");
}

// The defaults with the given values in their place.
Settings defaultsWith(std::initializer_list<std::pair<Text Settings::*, const char16_t*>> values) {
  Settings s;
  for (const auto& [field, value] : values) s.*field = value;
  return s;
}

// What the reader makes of files of every shape: each value the file
// supplies replaces its default (an empty one too), the rest keep theirs.
TEST(SettingsFile, ParsesFilesOfEveryShape) {
  constexpr auto kStart = &Settings::StartCommand;
  constexpr auto kSetup = &Settings::SetupCommand;
  constexpr auto kModel = &Settings::ModemModel;
  constexpr auto kCaption = &Settings::UserFuncCaption;
  constexpr auto kCommand = &Settings::UserFuncCommand;
  constexpr auto kWait = &Settings::UserFuncWait;
  constexpr auto kPlayer = &Settings::MelodyPlayer;
  const Settings all = defaultsWith({{kStart, u"s"},
                                     {kSetup, u"u"},
                                     {kModel, u"M"},
                                     {kCaption, u"c"},
                                     {kCommand, u"k"},
                                     {kWait, u"7"},
                                     {kPlayer, u"p"}});
  const struct {
    const char* name;
    std::optional<Text> content;  // nullopt: no file
    Settings expected;
    std::optional<Text> portBox;
  } cases[] = {
      {"no file", std::nullopt, {}, std::nullopt},
      {"empty file", u"", {}, std::nullopt},
      {"six lines", u"\"s\"\r\n\"u\"\r\n4\r\n\"M\"\r\n\"c\",\"k\",\"7\"\r\n\"p\"\r\n", all, u" 4"},
      {"one line", u"\"s\",\"u\",4,\"M\",\"c\",\"k\",\"7\",\"p\"", all, u" 4"},
      {"bare line feeds", u"\"s\"\n\"u\"\n4\n\"M\"\n\"c\",\"k\",\"7\"\n\"p\"\n", all, u" 4"},
      {"fields after the player", u"\"s\",\"u\",4,\"M\",\"c\",\"k\",\"7\",\"p\"\r\n\"x\",\"y\"\r\n",
       all, u" 4"},
      {"empty values replace the defaults", u"\"\",\"\",3,\"\",\"\",\"\",\"\",\"\"",
       defaultsWith({{kStart, u""}, {kSetup, u""}, {kModel, u""}, {kWait, u""}}), u" 3"},
      {"ends after line 1", u"\"s\"\r\n", defaultsWith({{kStart, u"s"}}), std::nullopt},
      {"ends after the port", u"\"s\"\r\n\"u\"\r\n4\r\n",
       defaultsWith({{kStart, u"s"}, {kSetup, u"u"}}), u" 4"},
      {"ends inside line 5", u"\"s\"\r\n\"u\"\r\n4\r\n\"M\"\r\n\"c\"\r\n",
       defaultsWith({{kStart, u"s"}, {kSetup, u"u"}, {kModel, u"M"}, {kCaption, u"c"}}), u" 4"},
      {"ends before the player", u"\"s\",\"u\",4,\"M\",\"c\",\"k\",\"7\"",
       defaultsWith({{kStart, u"s"},
                     {kSetup, u"u"},
                     {kModel, u"M"},
                     {kCaption, u"c"},
                     {kCommand, u"k"},
                     {kWait, u"7"}}),
       u" 4"},
      {"empty port field", u"\"s\",\"u\",,\"M\"",
       defaultsWith({{kStart, u"s"}, {kSetup, u"u"}, {kModel, u"M"}}), std::nullopt},
      {"blanks around the port", u"\"s\"\r\n\"u\"\r\n 5 \r\n\"M\"\r\n",
       defaultsWith({{kStart, u"s"}, {kSetup, u"u"}, {kModel, u"M"}}), u" 5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeFiles files;
    if (c.content) files.writeText(kPath, *c.content);
    const LoadedSettings loaded = LoadSettings(files, kPath);
    expectSettings(loaded.settings, c.expected);
    EXPECT_EQ(loaded.portBoxText, c.portBox);
  }
}

}  // namespace
}  // namespace ondrix
