// SPDX-License-Identifier: GPL-3.0-or-later
// Whole calls through the core, tick by tick: every byte the server writes,
// the status box at the end, the store file and the working files.
#include <gtest/gtest.h>

#include "atml_expect.h"
#include "call_player.h"
#include "records/archive_ledger.h"
#include "store/base64.h"
#include "store/terminal_bitmap.h"

namespace ondrix {
namespace {

using namespace expect;

// 8 x 2 pixels: a full row over a row with its two edge pixels set.
const Bytes kTerminalImage = {'D', 'O', 'T', 0, 8, 0, 2, 0xFF, 0x81};
const Text kMelody = u"<MEL=T120,C4D4E4>";
const Text kOffered = u"<MEL=O1,G4>";

Text emptySlots(int n) {
  Text s;
  for (int i = 0; i < n; ++i) s += u"\"\",\"\",\"\",\"\",\"\"\r\n";
  return s;
}

class Calls : public ::testing::Test {
 protected:
  Harness<> h;
  Form1& f = h.form;
  FakeArchive& archive = h.fakes.archive;
  void SetUp() override {
    f.Form_Load();
    h.openLine();
    f.LineState = LineStateCode::Idle;
  }
  Text storeFile() { return h.fakes.files.readText(f.AppDir + u"\\amp.dat").value_or(u"(none)"); }
};

TEST_F(Calls, TerminalCallFromRingToStoredMail) {
  f.MelodyPool[0] = kOffered;
  f.MelodyCount = 1;
  const Text image = encodeBase64(kTerminalImage);
  const Text upload = u"<ATML><HEAD><CON=2><TTL=x></HEAD><BODY>Hi &amp bye" + kMelody + u"<IMAGE>" +
                      image + u"</IMAGE></BODY></ATML>";
  playCall(h, {
                  {u"RING\r\n", u""},
                  {u"CALLING-ID=0123456789/-\r\n", u""},
                  {u"CONNECTED-ID=987/CONTENTSPP-X01\r\n", u"ata\r"},
                  {u"\r\nCONNECT 9600\r\n", u"login:"},
                  {u"TAVIXEXE", u"Password:"},
                  {u"BRQTLV&7", u"@atml\r"},
                  {kVersionRequest, kVersionPage},
                  {upload, listPage(kOffered, {}, false)},
                  {kAck, kReceiveEnd},
                  {kDisconnect, kDisconnected},
                  {u"\r\nNO CARRIER\r\n", u""},
              });
  EXPECT_EQ(f.LineState, LineStateCode::Idle);
  EXPECT_EQ(f.Text3.text, u"通信終了\r\nTAVIXメールあり\r\n");
  EXPECT_EQ(storeFile(),
            u" 0 \r\n 100 \r\n 5 \r\n 0 \r\n\"0123456789\",\"Hi & bye\",\"12/06 07:45\",\"" +
                kMelody + u"\",\"" + image + u"\"\r\n" + emptySlots(99));
  EXPECT_EQ(h.fakes.files.readText(f.AppDir + u"\\melody.mmd"), kMelody + u"\r\n");
  const auto bmp = h.fakes.files.readBytes(f.AppDir + u"\\Image.bmp");
  ASSERT_TRUE(bmp.has_value());
  EXPECT_EQ(bmp->size(), 62u + 4u * 2u);
  EXPECT_EQ(*bmp, bitmapFileFromTerminal(kTerminalImage));
}

TEST_F(Calls, VoiceCallWithMessageFromRingToHangUp) {
  h.fakes.clock.set({2026, 3, 4, 9, 5, 0});
  playCall(h, {
                  {u"RING:VOICE\r\n", u""},
                  {u"CALLING-ID=0123456789/12\r\n", u""},
                  {u"CONNECTED-ID=987/HELLO 42\r\n", u"ata\r"},
                  {u"\r\nCONNECT\r\n", u"*"},
              });
  // The record is on the disk before the call goes on.
  EXPECT_EQ(storeFile(),
            u" 0 \r\n 100 \r\n 5 \r\n 0 \r\n\"0123456789*12\",\"HELLO 42\",\"03/04 "
            u"09:05\",\"\",\"\"\r\n" +
                emptySlots(99));
  EXPECT_EQ(f.Text3.text, u"03/04 09:05\r\n0123456789*12\r\nHELLO 42");
  EXPECT_EQ(f.Text3.caret, 0);
  // The archive waits for the tick after the "*" has gone out.
  EXPECT_TRUE(archive.messages.empty());
  playCall(h, {
                  {u"*", u"#"},
                  {u"#", u""},
                  {u"", u"+++", [&] { h.fakes.timer2.fire(); }},
                  {u"\r\n+++OK\r\n", u"ath\r"},
                  {u"\r\nOK\r\n", u""},
              });
  EXPECT_EQ(f.LineState, LineStateCode::Idle);
  EXPECT_EQ(f.Text3.text, u"通話終了\r\nAメールプラスあり\r\n");
  EXPECT_EQ(h.fakes.timer2.interval(), 0);
  EXPECT_TRUE(archive.messages.empty());
  h.fakes.fileRecords();
  ASSERT_EQ(archive.messages.size(), 1u);
  EXPECT_NE(
      archive.messages[0].find("\nFrom: 0123456789*12 <0123456789*12@caller.invalid>\nSubject: "
                               "=?UTF-8?B?SEVMTE8gNDI=?=\nMessage-ID: <" +
                               newestId(f.MailStore) + "@ondrix.invalid>\nX-Ondrix-Kind: voice\n"),
      std::string::npos);
}

// A message the disk refused is never acknowledged ("*", "#"): the server ends the call.
TEST_F(Calls, VoiceMessageTheDiskRefusedIsNotAcknowledged) {
  h.fakes.files.setFailWrites(true);
  playCall(h, {{u"RING:VOICE\r\nCALLING-ID=5\r\nCONNECTED-ID=987/NEW\r\n", u"ata\r"},
               {u"\r\nCONNECT\r\n", u""},
               {u"*", u""},
               {u"", u"+++", [&] { h.fakes.timer2.fire(); }}});
  EXPECT_EQ(f.MailStore.MailText[1], u"NEW");
}

TEST_F(Calls, OrdinaryVoiceCallAndDialledConnectLeaveTheStoreAlone) {
  playCall(h, {{u"RING:VOICE\r\nCALLING-ID=5\r\nCONNECTED-ID=987/12\r\n", u""},
               {u"\r\nCONNECT\r\n", u""}});
  EXPECT_EQ(f.LineState, LineStateCode::OnlineVoice);
  EXPECT_EQ(f.Text3.text, u"通話中\r\n");
  f.LineState = LineStateCode::Idle;
  playCall(h, {{u"\r\nCONNECT 9600\r\n", u""}});
  EXPECT_EQ(f.LineState, LineStateCode::Idle);
  EXPECT_FALSE(h.fakes.files.exists(f.AppDir + u"\\amp.dat"));
}

TEST_F(Calls, HundredRecordsDropTheOldest) {
  for (int i = 1; i <= kMailSlots; ++i) f.MailStore.MailText[i] = u"m" + decimal(i);
  playCall(h, {{u"RING:VOICE\r\nCALLING-ID=5\r\nCONNECTED-ID=987/NEW\r\n", u"ata\r"},
               {u"\r\nCONNECT\r\n", u"*"}});
  EXPECT_EQ(f.MailStore.MailText[1], u"NEW");
  EXPECT_EQ(f.MailStore.MailText[2], u"m1");
  EXPECT_EQ(f.MailStore.MailText[100], u"m99");
}

// However the call ends, an escape armed just before must not reach the idle
// modem afterwards.
TEST(CallEnd, DisarmsTheEscapeTimer) {
  const std::pair<const char*, std::function<void(Harness<>&)>> ends[] = {
      {"NO CARRIER", [](Harness<>& h) { h.tick(u"\r\nNO CARRIER\r\n"); }},
      {"carrier drop", [](Harness<>& h) { h.fakes.serial.raiseCarrierChange(false); }},
  };
  for (const auto& [name, end] : ends) {
    Harness<> h;
    h.openLine();
    h.form.LineState = LineStateCode::OnlineVoice;
    h.form.CallerStage = CallerStageCode::HandshakeSent;
    h.tick(u"#");
    ASSERT_EQ(h.fakes.timer2.interval(), kEscapeGuardMs) << name;
    end(h);
    EXPECT_EQ(h.form.LineState, LineStateCode::Idle) << name;
    h.fakes.serial.clearWrites();
    h.fakes.timer2.fire();
    EXPECT_EQ(h.fakes.serial.written(), Text()) << name;
  }
}

TEST_F(Calls, GarbageImageIsStoredAsReceivedAndTheBitmapStaysWellFormed) {
  f.LineState = LineStateCode::OnlineData;
  playCall(h, {{u"<ATML><HEAD><CON=2></HEAD><BODY>t<IMAGE>!!@@</IMAGE></BODY></ATML>", kSendEnd}});
  EXPECT_EQ(f.MailStore.MailImage[1], u"!!@@");
  const auto bmp = h.fakes.files.readBytes(f.AppDir + u"\\Image.bmp");
  ASSERT_TRUE(bmp.has_value());
  EXPECT_GE(bmp->size(), 62u);
  EXPECT_EQ((*bmp)[0], 'B');
  EXPECT_EQ((*bmp)[1], 'M');
}

}  // namespace
}  // namespace ondrix
