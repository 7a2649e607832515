// SPDX-License-Identifier: GPL-3.0-or-later
// The keypad, call, cut and redial keys in every line state and pending command.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "form1_harness.h"

namespace ondrix {
namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;

const std::vector<LS> kStates{LS::Stopped,      LS::Searching,   LS::Idle,
                              LS::RingingVoice, LS::RingingData, LS::OnlineVoice,
                              LS::OnlineData,   LS::EscapeVoice, LS::EscapeData};
const std::vector<PC> kPending{
    PC::NoPending,        PC::StartPending,      PC::FuncMenu,       PC::OwnNumberQuery,
    PC::ModeMenu,         PC::ModeChangePending, PC::PaMenu,         PC::PaRegisterQuery,
    PC::PaRegisterSelect, PC::PaRegistering,     PC::PaDeleteQuery,  PC::PaDeleteSelect,
    PC::PaDeletePending,  PC::MailBrowse,        PC::MailDeleteMenu, PC::UserFuncPending,
    PC::CommandPending,   PC::Dialing,           PC::NumberEntry,    PC::HangupPending};
const std::vector<std::int16_t> kKeys{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

const std::vector<LS> kIdleOrStopped{LS::Idle, LS::Stopped};
const Text kOld = u"old\r\n";
const Text kDeleted = u"消去しました\r\n";
const Text kModeMenu = u"Ｆ１　ＰＡモード変更\r\n０　公衆\r\n１　ＰＡ\r\n";
const Text kPaMenu = u"Ｆ２　ＰＡ登録削除\r\n０　登録\r\n１　削除\r\n";
const Text kRegistering = u"ＰＡ登録中\r\n";
const Text kMenu = u"Ｆ\r\n０　自局番号\r\n１　ＰＡモード変更\r\n２　ＰＡ登録削除\r\n";
constexpr std::int16_t kSame = 7;  // the countdown every case starts with

// A form in the given state with a typed number, an own command, the last
// dialled number and four stored mails, mail 3 shown with melody and image.
struct Keypad {
  Harness<> h;
  Form1& f = h.form;

  Keypad(LS state, PC pending) {
    f.LineState = state;
    f.PendingCmd = pending;
    f.ReplyTimer = kSame;
    f.RxLineCount = 3;
    f.Text3.text = kOld;
    f.DialNumber = u"12";
    f.LastDialNumber = u"34";
    f.UserFuncCaption = u"リセット";
    f.UserFuncCommand = u"atz";
    f.UserFuncWait = u"30";
    f.MelodyPlayer = u"player";
    for (int i = 1; i <= 4; ++i) f.MailStore.MailText[i] = u"mail " + decimal(i);
    f.MailStore.MailMelody[3] = u"<MEL=T120>c";
    f.MailStore.MailImage[3] = u"RE9UABAAEA==";
    f.BrowseIndex = 3;
  }
};

enum class Mail { None, Played, Previewed, DeletedShown, DeletedAll };

Mail mailEffect(const Keypad& k) {
  if (!k.h.fakes.desktop.started.empty()) return Mail::Played;
  if (!k.h.fakes.desktop.previews.empty()) return Mail::Previewed;
  if (k.f.MailStore.MailText[1].empty()) return Mail::DeletedAll;
  if (k.f.MailStore.MailText[3] == u"mail 4") return Mail::DeletedShown;
  return Mail::None;
}

struct Expect {
  Text written;  // "$" stands for the key's character
  Text status;
  std::int16_t replyTimer = kSame;
  std::optional<PC> pending;  // nullopt: unchanged
  Mail mail = Mail::None;
};

struct Row {
  std::vector<LS> states;
  std::vector<PC> pendings;
  std::vector<std::int16_t> keys;
  Expect expect;
};

// Every combination that acts; any other must leave everything as it was.
// clang-format off
const std::vector<Row> kActing = {
    {{LS::Idle}, {PC::FuncMenu}, {0}, {u"at#sn0?\r", kOld, 5, PC::OwnNumberQuery}},
    {{LS::Idle}, {PC::FuncMenu}, {1}, {u"", kModeMenu, kSame, PC::ModeMenu}},
    {{LS::Idle}, {PC::FuncMenu}, {2}, {u"", kPaMenu, kSame, PC::PaMenu}},
    {{LS::Idle}, {PC::FuncMenu}, {3}, {u"atz\r", kOld, 30, PC::UserFuncPending}},
    {{LS::Idle}, {PC::ModeMenu}, {0}, {u"at#mp0\r", kOld, 5, PC::ModeChangePending}},
    {{LS::Idle}, {PC::ModeMenu}, {1}, {u"at#mp2\r", kOld, 5, PC::ModeChangePending}},
    {{LS::Idle}, {PC::PaMenu}, {0}, {u"at#pas?#pa1?#pa2?#pa3?\r", kOld, 5, PC::PaRegisterQuery}},
    {{LS::Idle}, {PC::PaMenu}, {1}, {u"at#pas?#pa1?#pa2?#pa3?\r", kOld, 5, PC::PaDeleteQuery}},
    {{LS::Idle}, {PC::PaRegisterSelect}, {0}, {u"AT#PASR\r", kRegistering, 900, PC::PaRegistering}},
    {{LS::Idle}, {PC::PaRegisterSelect}, {1}, {u"AT#PA1\r", kRegistering, 900, PC::PaRegistering}},
    {{LS::Idle}, {PC::PaRegisterSelect}, {2}, {u"AT#PA2\r", kRegistering, 900, PC::PaRegistering}},
    {{LS::Idle}, {PC::PaRegisterSelect}, {3}, {u"AT#PA3\r", kRegistering, 900, PC::PaRegistering}},
    {{LS::Idle}, {PC::PaDeleteSelect}, {0}, {u"AT#PAS=0\r", kOld, 5, PC::PaDeletePending}},
    {{LS::Idle}, {PC::PaDeleteSelect}, {1}, {u"AT#PA1=0\r", kOld, 5, PC::PaDeletePending}},
    {{LS::Idle}, {PC::PaDeleteSelect}, {2}, {u"AT#PA2=0\r", kOld, 5, PC::PaDeletePending}},
    {{LS::Idle}, {PC::PaDeleteSelect}, {3}, {u"AT#PA3=0\r", kOld, 5, PC::PaDeletePending}},
    {kIdleOrStopped, {PC::MailBrowse}, {0}, {u"", kOld, kSame, {}, Mail::Played}},
    {kIdleOrStopped, {PC::MailBrowse}, {1}, {u"", kOld, kSame, {}, Mail::Previewed}},
    {kIdleOrStopped, {PC::MailDeleteMenu}, {0}, {u"", kDeleted, kSame, PC::NoPending, Mail::DeletedShown}},
    {kIdleOrStopped, {PC::MailDeleteMenu}, {1}, {u"", kDeleted, kSame, PC::NoPending, Mail::DeletedAll}},
    {{LS::Idle}, {PC::NoPending}, kKeys, {u"", u"$\r\n", kSame, PC::NumberEntry}},
    {{LS::Idle}, {PC::NumberEntry}, kKeys, {u"", u"12$\r\n", kSame, PC::NumberEntry}},
    {{LS::OnlineVoice, LS::OnlineData}, kPending, kKeys, {u"$", kOld, kSame, {}}},
};
// clang-format on

template <typename T>
bool contains(const std::vector<T>& v, T x) {
  return std::find(v.begin(), v.end(), x) != v.end();
}

Text withKey(Text t, std::int16_t key) {
  const char16_t c = key <= 9 ? static_cast<char16_t>(u'0' + key) : (key == 10 ? u'*' : u'#');
  std::replace(t.begin(), t.end(), u'$', c);
  return t;
}

TEST(Keypad, EveryStatePendingCommandAndKey) {
  const Expect nothing{u"", kOld, kSame, std::nullopt};
  int acting = 0;
  for (LS s : kStates) {
    for (PC p : kPending) {
      for (std::int16_t key : kKeys) {
        const Row* row = nullptr;
        for (const Row& r : kActing) {
          if (contains(r.states, s) && contains(r.pendings, p) && contains(r.keys, key)) row = &r;
        }
        SCOPED_TRACE(::testing::Message() << "state " << static_cast<int>(s) << ", pending "
                                          << static_cast<int>(p) << ", key " << key);
        const Expect& e = row ? row->expect : nothing;
        acting += row != nullptr;
        Keypad k(s, p);
        k.f.NumBtn_Click(key);
        const bool sent = !e.written.empty() && e.written.back() == CR;
        EXPECT_EQ(k.h.fakes.serial.written(), withKey(e.written, key));
        EXPECT_EQ(k.f.Text3.text, withKey(e.status, key));
        EXPECT_EQ(k.f.ReplyTimer, e.replyTimer);
        EXPECT_EQ(k.f.RxLineCount, sent ? 0 : 3);
        EXPECT_EQ(k.f.PendingCmd, e.pending.value_or(p));
        EXPECT_EQ(k.f.LineState, s);
        EXPECT_EQ(mailEffect(k), e.mail);
        const bool typed = e.pending == PC::NumberEntry;
        EXPECT_EQ(k.f.DialNumber,
                  typed ? withKey(e.status, key).substr(0, e.status.size() - 2) : Text(u"12"));
      }
    }
  }
  // 16 menu keys, 2 x 4 mail keys, 2 x 12 number keys, 2 x 20 x 12 on-line.
  EXPECT_EQ(acting, 16 + 8 + 24 + 480);
}

TEST(Keypad, FunctionCallCutAndRedialKeys) {
  using Button = void (Form1::*)();
  const Button F = &Form1::FuncBtn_Click, Conn = &Form1::ConnBtn_Click, Cut = &Form1::CutBtn_Click,
               Redial = &Form1::ReDialBtn_Click;
  struct Case {
    const char* name;
    Button button;
    LS state;
    PC pending;
    std::int16_t replyTimer;
    Text written, status;
    PC after;
    std::int16_t replyAfter;
    int timer2 = 0;
  };
  const Text own = kMenu + u"３　リセット";
  // clang-format off
  const Case cases[] = {
      {"F opens the menu", F, LS::Idle, PC::NoPending, 0, u"", own, PC::FuncMenu, 0},
      {"F while a reply is awaited", F, LS::Idle, PC::NoPending, 1, u"", kOld, PC::NoPending, 1},
      {"F when stopped", F, LS::Stopped, PC::NoPending, 0, u"", kOld, PC::NoPending, 0},
      {"dial", Conn, LS::Idle, PC::NumberEntry, kSame, u"atdv12\r", u"発信中\r\n", PC::Dialing, 0},
      {"answer", Conn, LS::RingingData, PC::NoPending, kSame, u"ata\r", kOld, PC::NoPending, kSame},
      {"nothing typed", Conn, LS::Idle, PC::NoPending, kSame, u"", kOld, PC::NoPending, kSame},
      {"abort a dial", Cut, LS::Idle, PC::Dialing, kSame, u"at", kOld, PC::Dialing, kSame},
      {"abort PA", Cut, LS::Idle, PC::PaRegistering, kSame, u"at", kOld, PC::PaRegistering, kSame},
      {"cancel a menu", Cut, LS::Idle, PC::FuncMenu, kSame, u"", u"", PC::NoPending, 0},
      {"cancel a mail shown", Cut, LS::Stopped, PC::MailBrowse, kSame, u"", u"", PC::NoPending, 0},
      {"data", Cut, LS::OnlineData, PC::NoPending, kSame, u"", kOld, PC::NoPending, kSame, 1200},
      {"voice", Cut, LS::OnlineVoice, PC::NoPending, kSame, u"", kOld, PC::NoPending, kSame, 1200},
      {"searching", Cut, LS::Searching, PC::NoPending, kSame, u"", kOld, PC::NoPending, kSame},
      {"ringing", Cut, LS::RingingVoice, PC::NoPending, kSame, u"", kOld, PC::NoPending, kSame},
      {"escape", Cut, LS::EscapeData, PC::HangupPending, kSame, u"", kOld, PC::HangupPending, kSame},
      {"redial", Redial, LS::Idle, PC::NoPending, kSame, u"", u"34\r\n", PC::NumberEntry, kSame},
      {"redial+", Redial, LS::Idle, PC::NumberEntry, kSame, u"", u"1234\r\n", PC::NumberEntry, kSame},
      {"redial in a menu", Redial, LS::Idle, PC::FuncMenu, kSame, u"", kOld, PC::FuncMenu, kSame},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Keypad k(c.state, c.pending);
    k.f.ReplyTimer = c.replyTimer;
    (k.f.*c.button)();
    EXPECT_EQ(k.h.fakes.serial.written(), c.written);
    EXPECT_EQ(k.f.Text3.text, c.status);
    EXPECT_EQ(k.f.PendingCmd, c.after);
    EXPECT_EQ(k.f.ReplyTimer, c.replyAfter);
    EXPECT_EQ(k.f.Timer2.interval(), c.timer2);
    EXPECT_EQ(k.f.LineState, c.state);
  }
}

TEST(Keypad, TypeDialRedialAndAMenuWithoutTheOwnCommand) {
  Keypad k(LS::Idle, PC::NoPending);
  for (std::int16_t key : {0, 3, 10}) k.f.NumBtn_Click(key);
  EXPECT_EQ(k.f.Text3.text, u"03*\r\n");
  k.f.ConnBtn_Click();
  EXPECT_EQ(k.h.fakes.serial.written(), u"atdv03*\r");
  EXPECT_EQ(k.f.LastDialNumber, u"03*");
  EXPECT_EQ(k.f.RxLineCount, 0);
  k.f.PendingCmd = PC::NoPending;  // the modem answered
  k.f.ReDialBtn_Click();
  k.f.ReDialBtn_Click();
  EXPECT_EQ(k.f.Text3.text, u"03*03*\r\n");

  k.f.PendingCmd = PC::NoPending;
  k.f.ReplyTimer = 0;
  k.f.UserFuncCaption.clear();
  k.f.FuncBtn_Click();
  EXPECT_EQ(k.f.Text3.text, kMenu);
  EXPECT_EQ(k.f.Text3.caret, 0);
  k.f.NumBtn_Click(3);
  EXPECT_EQ(k.f.PendingCmd, PC::FuncMenu);
  EXPECT_EQ(k.h.fakes.serial.written(), u"atdv03*\r");
}

TEST(Keypad, OwnCommandWaitThatIsNoTickCountWaitsNothing) {
  const std::pair<Text, std::int16_t> cases[] = {{u"30", 30}, {u" 12x", 12}, {u"", 0},
                                                 {u"abc", 0}, {u"99999", 0}, {u"-5", 0}};
  for (const auto& [wait, ticks] : cases) {
    Keypad k(LS::Idle, PC::FuncMenu);
    k.f.UserFuncWait = wait;
    k.f.NumBtn_Click(3);
    EXPECT_EQ(k.f.ReplyTimer, ticks) << toUtf8(wait);
  }
}

}  // namespace
}  // namespace ondrix
