// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file and the mail store file are read back at every start, and
// "\amp.dat" holds the only copy of the mail. Whatever a file holds (a
// hand-edited one, one cut short by a crash), reading it must not fail
// badly, and load -> save -> load must give the same state: nothing read is
// lost or changed by the next save, except that a '"' inside a text comes
// back as the quote the writer puts in its place. Each record read, filed in
// the archive, gives headers within the mail limits whatever its texts hold.
//
// Input: the settings file, 0xFF, the store file (without 0xFF: one text
// serves as both).
#include <memory>

#include "fakes.h"
#include "fuzz_input.h"
#include "store/archive_message.h"
#include "store/mail_store_file.h"
#include "store/settings_file.h"

namespace ondrix::fuzz {
namespace {

const Text kSettings = u"/opt/ondrix\\brellin.ini";
const Text kStore = u"/opt/ondrix\\amp.dat";
const Text kSecondSettings = u"/opt/ondrix\\second.ini";
const Text kSecondStore = u"/opt/ondrix\\second.dat";

Text quoteSafe(Text t) {
  for (auto& c : t) {
    if (c == u'"') c = u'\u201D';
  }
  return t;
}

void checkSameText(const Text& reloaded, const Text& loaded, const char* what) {
  check(reloaded == quoteSafe(loaded), what);
}

void settingsRoundTrip(FakeFiles& files, const Text& content) {
  files.writeText(kSettings, content);
  const LoadedSettings firstLoad = LoadSettings(files, kSettings);
  const Settings* first = &firstLoad.settings;
  const Text firstPort = firstLoad.portBoxText.value_or(u" 5");
  SaveSettings(files, kSecondSettings, *first, firstPort);

  const LoadedSettings secondLoad = LoadSettings(files, kSecondSettings);
  const Settings* second = &secondLoad.settings;
  const Text secondPort = secondLoad.portBoxText.value_or(firstPort);
  checkSameText(second->StartCommand, first->StartCommand, "StartCommand");
  checkSameText(second->SetupCommand, first->SetupCommand, "SetupCommand");
  checkSameText(second->ModemModel, first->ModemModel, "ModemModel");
  checkSameText(second->UserFuncCaption, first->UserFuncCaption, "UserFuncCaption");
  checkSameText(second->UserFuncCommand, first->UserFuncCommand, "UserFuncCommand");
  checkSameText(second->UserFuncWait, first->UserFuncWait, "UserFuncWait");
  checkSameText(second->MelodyPlayer, first->MelodyPlayer, "MelodyPlayer");
  check(secondPort == firstPort, "port box");
}

// Header lines of 78 at most, encoded words of 75, no control character.
void checkArchiveHeaders(const Text& caller, const Text& text) {
  const Bytes message =
      composeArchiveMessage({RecordKind::Mail, {}, caller, text, {}, {}}, {}, {}, "x@y.invalid");
  const std::string all(message.begin(), message.end());
  const std::string_view head = std::string_view(all).substr(0, all.find("\n\n"));
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i <= head.size(); ++i) {
    if (i == head.size() || head[i] == '\n') {
      check(i - lineStart <= 78, "header line over 78");
      lineStart = i + 1;
    } else {
      const auto c = static_cast<unsigned char>(head[i]);
      check(c >= 0x20 && c < 0x7F, "control or raw byte in a header");
    }
  }
  for (std::size_t at = head.find("=?"); at != std::string_view::npos; at = head.find("=?", at)) {
    const std::size_t end = head.find("?=", at + 10);
    check(end != std::string_view::npos && end + 2 - at <= 75, "encoded word over 75");
    at = end + 2;
  }
}

void storeRoundTrip(FakeFiles& files, const Text& content) {
  files.writeText(kStore, content);
  auto first = std::make_unique<MailStoreArrays>();
  LoadMailStore(files, kStore, *first);
  SaveMailStore(files, kSecondStore, *first);

  auto second = std::make_unique<MailStoreArrays>();
  LoadMailStore(files, kSecondStore, *second);
  check(second->MailCaller[0].empty() && second->MailText[0].empty(), "slot 0 unused");
  for (int i = 1; i <= kMailSlots; ++i) {
    checkSameText(second->MailCaller[i], first->MailCaller[i], "MailCaller");
    checkSameText(second->MailText[i], first->MailText[i], "MailText");
    checkSameText(second->MailTime[i], first->MailTime[i], "MailTime");
    checkSameText(second->MailMelody[i], first->MailMelody[i], "MailMelody");
    checkSameText(second->MailImage[i], first->MailImage[i], "MailImage");
    checkArchiveHeaders(first->MailCaller[i], first->MailText[i]);
  }
}

}  // namespace
}  // namespace ondrix::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ondrix::fuzz;
  const auto parts = splitParts(ByteView(data, size));
  const ondrix::Text settings = textOf(parts[0]);
  const ondrix::Text store = parts.size() > 1 ? textOf(parts[1]) : settings;
  ondrix::FakeFiles files;
  settingsRoundTrip(files, settings);
  storeRoundTrip(files, store);
  return 0;
}
