// SPDX-License-Identifier: GPL-3.0-or-later
// The mail browser: moving through the records, deleting, playing and previewing.
#include <gtest/gtest.h>

#include <vector>

#include "form1_harness.h"

namespace ondrix {
namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;

const Text kNoMail = u"受信メールはありません\r\n";

struct Browser {
  Harness<> h;
  Form1& f = h.form;

  explicit Browser(const std::vector<int>& occupied) {
    f.AppDir = u"/app";
    f.MelodyPlayer = u"player -q";
    for (int i : occupied) store(i);
  }
  void store(int i) {
    f.MailStore.MailText[i] = u"text " + decimal(i);
    f.MailStore.MailMelody[i] = u"<MEL=" + decimal(i) + u">";
  }
  // What the box shows after each press: the slot number, or the whole text.
  std::vector<Text> press(void (Form1::*button)(), std::size_t times) {
    std::vector<Text> shown;
    while (shown.size() < times) {
      (f.*button)();
      shown.push_back(f.PendingCmd == PC::MailBrowse ? f.Text3.text.substr(0, 3) : f.Text3.text);
    }
    return shown;
  }
  static std::vector<Text> slots(const MailStoreArrays::Column& c) {
    return {c.begin() + 1, c.end()};
  }
};

TEST(MailBrowser, WrapsAround) {
  struct Case {
    const char* name;
    std::vector<int> occupied;
    bool up;
    std::vector<Text> shown;
  };
  const Case cases[] = {
      {"down over 1 and 2", {1, 2}, false, {u"001", u"002", u"001"}},
      {"up over 1 and 2", {1, 2}, true, {u"002", u"001", u"002"}},
      {"down over 5 alone", {5}, false, {u"005", u"005", u"005"}},
      {"up over 5 alone", {5}, true, {u"005", u"005"}},
      {"down past 100", {1, 100}, false, {u"001", u"100", u"001"}},
      {"nothing stored", {}, true, {kNoMail}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Browser b(c.occupied);
    EXPECT_EQ(b.press(c.up ? &Form1::UpBtn_Click : &Form1::DownBtn_Click, c.shown.size()), c.shown);
  }
}

TEST(MailBrowser, ShowsTheRecordFromItsFirstLine) {
  Browser b({});
  auto& s = b.f.MailStore;
  s.MailTime[7] = u"12/06 07:45";
  s.MailCaller[7] = u"0312345678";
  s.MailText[7] = u"こんにちは";
  s.MailMelody[7] = u"<MEL=T120>c";
  s.MailImage[7] = s.MailImage[8] = u"RE9U";
  s.MailText[8] = u"voice";
  b.f.Text3 = {u"long previous text\r\n", true, 20};
  b.f.DownBtn_Click();
  EXPECT_EQ(b.f.Text3.text, u"007:12/06 07:45 ♪ ◆\r\n0312345678\r\nこんにちは");
  EXPECT_EQ(b.f.Text3.caret, 0);
  b.f.DownBtn_Click();
  EXPECT_EQ(b.f.Text3.text, u"008: ◆\r\n\r\nvoice");
  b.f.LineState = LS::OnlineData;  // browsing only while idle or stopped
  b.f.DownBtn_Click();
  EXPECT_EQ(b.f.BrowseIndex, 8);
}

// A call stores a mail while slot 100 is shown: the shown record drops out.
// Moving on then finds nothing and behaves as starting to browse.
TEST(MailBrowser, MovingOnWhenTheShownRecordMovedAway) {
  Browser b({100});
  b.f.DownBtn_Click();
  b.f.MailStore.makeRoomAtSlot1();
  EXPECT_EQ(b.press(&Form1::DownBtn_Click, 1), std::vector<Text>{kNoMail});
  EXPECT_EQ(b.f.PendingCmd, PC::NoPending);
}

TEST(MailBrowser, DeleteMovesTheOlderRecordsUp) {
  std::vector<int> hundred;
  for (int i = 1; i <= 100; ++i) hundred.push_back(i);
  struct Case {
    const char* name;
    std::vector<int> stored;
    std::int16_t shown;
    std::int16_t key;  // in the delete menu: 0 the shown record, 1 all
    std::vector<int> left;
  };
  const Case cases[] = {
      {"slot 3 of five", {1, 2, 3, 4, 5}, 3, 0, {1, 2, 4, 5}},
      {"slot 100", hundred, 100, 0, std::vector<int>(hundred.begin(), hundred.end() - 1)},
      {"all", hundred, 50, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Browser b(c.stored);
    b.f.BrowseIndex = c.shown;
    b.f.PendingCmd = PC::MailBrowse;
    b.f.ClsBtn_Click();
    EXPECT_EQ(b.f.Text3.text, u"メール消去\r\n０　１件\r\n１　全件消去\r\n");
    b.f.NumBtn_Click(c.key);
    std::vector<Text> texts(100), melodies(100);
    for (std::size_t k = 0; k < c.left.size(); ++k) {
      texts[k] = u"text " + decimal(c.left[k]);
      melodies[k] = u"<MEL=" + decimal(c.left[k]) + u">";
    }
    EXPECT_EQ(Browser::slots(b.f.MailStore.MailText), texts);
    EXPECT_EQ(Browser::slots(b.f.MailStore.MailMelody), melodies);
    EXPECT_EQ(b.f.Text3.text, u"消去しました\r\n");
    EXPECT_EQ(b.f.PendingCmd, PC::NoPending);
  }
}

TEST(MailBrowser, PlayAndPreviewTheShownRecord) {
  struct Case {
    const char* name;
    Text melody, player, image;
  };
  const Case cases[] = {{"both", u"<MEL=T120>c", u"player -q", u"RE9UABAAEA=="},
                        {"neither", u"", u"player -q", u""},
                        {"no player", u"<MEL=T120>c", u"", u"RE9UABAAEA=="}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Browser b({2});
    b.f.MailStore.MailMelody[2] = c.melody;
    b.f.MailStore.MailImage[2] = c.image;
    b.f.MelodyPlayer = c.player;
    b.f.DownBtn_Click();
    b.f.NumBtn_Click(0);
    b.f.NumBtn_Click(1);
    const bool plays = !c.melody.empty() && !c.player.empty();
    using Started = std::vector<std::pair<Text, Text>>;
    const Started played{{u"player -q", u"/app\\melody.mmd"}};
    EXPECT_EQ(b.h.fakes.desktop.started, plays ? played : Started{});
    const auto melodyFile = b.h.fakes.files.readText(u"/app\\melody.mmd");
    EXPECT_EQ(melodyFile.value_or(u"none"), plays ? c.melody + CRLF : u"none");
    const std::vector<Text> previewed{u"/app\\Image.bmp"};
    EXPECT_EQ(b.h.fakes.desktop.previews, c.image.empty() ? std::vector<Text>{} : previewed);
    EXPECT_EQ(b.h.fakes.files.exists(u"/app\\Image.bmp"), !c.image.empty());
    EXPECT_EQ(b.f.PendingCmd, PC::MailBrowse);
  }
}

// The record actions index the store by BrowseIndex. Records stored by a call
// move under a shown mail and the keys then act on the new occupant, but no
// action may reach outside slots 1..100.
TEST(MailBrowser, RecordActionsStayInsideTheStore) {
  Browser moved({1});
  moved.f.DownBtn_Click();
  moved.f.MailStore.makeRoomAtSlot1();
  moved.store(1);
  moved.f.MailStore.MailMelody[1] = u"<MEL=new>";
  moved.f.NumBtn_Click(0);
  EXPECT_EQ(moved.h.fakes.files.readText(u"/app\\melody.mmd").value_or(u""), u"<MEL=new>\r\n");

  for (int index : {0, -1, 101, 32767}) {
    SCOPED_TRACE(index);
    Browser b({1, 2});
    b.f.MailStore.MailMelody[0] = u"<MEL=0>";
    b.f.MailStore.MailImage[0] = u"RE9U";
    b.f.BrowseIndex = static_cast<std::int16_t>(index);
    b.f.PendingCmd = PC::MailBrowse;
    for (auto action : {&Form1::CMFILE_Click, &Form1::CMSAVEMMD_Click, &Form1::CMSAVEIMG_Click}) {
      (b.f.*action)();
    }
    b.f.NumBtn_Click(0);
    b.f.NumBtn_Click(1);
    b.f.PendingCmd = PC::MailDeleteMenu;
    b.f.NumBtn_Click(0);
    EXPECT_FALSE(b.f.CMSAVEMMD.enabled || b.f.CMSAVEIMG.enabled);
    EXPECT_TRUE(b.h.fakes.desktop.started.empty() && b.h.fakes.desktop.previews.empty() &&
                b.h.fakes.desktop.dialogs.empty() && b.h.fakes.files.writeLog().empty());
    EXPECT_EQ(b.f.MailStore.MailText[1], u"text 1");
    EXPECT_EQ(b.f.MailStore.MailMelody[0], u"<MEL=0>");
  }
}

TEST(MailBrowser, ClearTransferDataWithdrawsBothOffers) {
  Browser b({});
  b.f.MelodyPool = {u"<MEL=a>", u"<MEL=b>"};
  b.f.ImagePool = {u"<IMAGE>a</IMAGE>"};
  b.f.MelodyCount = b.f.ImageCount = 2;
  b.f.Text4.text = u"♪";
  b.f.Image1 = {u"/x/a.bmp", 4};
  b.f.ClsBtn2_Click();
  EXPECT_EQ(b.f.MelodyPool[0] + b.f.ImagePool[0] + b.f.Text4.text + b.f.Image1.picturePath, u"");
  EXPECT_EQ(b.f.MelodyPool[1], u"<MEL=b>");  // kept, but no longer counted
  EXPECT_EQ(b.f.MelodyCount + b.f.ImageCount, 0);
  EXPECT_EQ(b.f.Image1.loads, 5u);
}

}  // namespace
}  // namespace ondrix
