// SPDX-License-Identifier: GPL-3.0-or-later
// The keypad and call keys.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>

#include "modem/modem_words.h"
#include "state/form1.h"
#include "state/status_texts.h"

namespace ondrix {

namespace {

using LS = LineStateCode;
using PC = PendingCmdCode;

constexpr std::int16_t kKeyCount = 12;
constexpr std::int16_t kUnchanged = -1;  // ReplyTimer left as it is

// Sets of codes and keys as bit masks, so a table row can name several.
template <typename Code>
constexpr std::uint32_t bitsOf(std::initializer_list<Code> codes) {
  std::uint32_t bits = 0;
  for (Code c : codes) bits |= 1u << static_cast<int>(c);
  return bits;
}
template <typename Code>
constexpr bool hasBit(std::uint32_t bits, Code c) {
  const int bit = static_cast<int>(c);
  return bit >= 0 && bit < 32 && ((bits >> bit) & 1u);
}
constexpr std::uint32_t kAnyPending = ~0u;
constexpr std::uint32_t keys(std::initializer_list<int> ks) { return bitsOf(ks); }

enum class KeyAction : std::int8_t {
  Send,         // status line (if any), then command[key]
  Menu,         // status line, then the menu lines
  UserFunc,     // the operator's own command, if configured
  PlayMelody,   // the mail shown
  ShowImage,    // the mail shown
  DeleteMails,  // key 0: the mail shown, key 1: all
  NumberEntry,  // the key's character joins DialNumber
  WriteKey,     // on-line: the key's character alone goes out
};

struct KeyRow {
  std::uint32_t states;   // LineState codes the row applies in
  std::uint32_t pending;  // PendingCmd codes the row applies in
  std::uint32_t keys;     // key indices the row applies to
  KeyAction action;
  TextView status;                // shown first when not empty
  std::array<TextView, 4> texts;  // Send: command by key; Menu: lines
  std::int16_t replyTimer;        // kUnchanged or the countdown to set
  std::optional<PC> next;         // new PendingCmd; nullopt keeps it
};

const std::uint32_t kIdle = bitsOf({LS::Idle});
const std::uint32_t kIdleOrStopped = bitsOf({LS::Idle, LS::Stopped});
const std::uint32_t kOnline = bitsOf({LS::OnlineVoice, LS::OnlineData});
const std::uint32_t kKeys0to3 = keys({0, 1, 2, 3});
const std::uint32_t kAllKeys = keys({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});

// The rows never overlap; a combination no row covers does nothing.
// Columns: states, pending, keys, action, status, texts, ReplyTimer, next.
// clang-format off
const KeyRow kKeyTable[] = {
  {kIdle, bitsOf({PC::FuncMenu}), keys({0}), KeyAction::Send,
   {}, {modem::kOwnNumberQuery}, kModemReplyTicks, PC::OwnNumberQuery},
  {kIdle, bitsOf({PC::FuncMenu}), keys({1}), KeyAction::Menu,
   status::kModeMenuTitle, {status::kModePublicEntry, status::kModePaEntry},
   kUnchanged, PC::ModeMenu},
  {kIdle, bitsOf({PC::FuncMenu}), keys({2}), KeyAction::Menu,
   status::kPaMenuTitle, {status::kPaRegisterEntry, status::kPaDeleteEntry},
   kUnchanged, PC::PaMenu},
  {kIdle, bitsOf({PC::FuncMenu}), keys({3}), KeyAction::UserFunc,
   {}, {}, kUnchanged, PC::UserFuncPending},
  {kIdle, bitsOf({PC::ModeMenu}), keys({0, 1}), KeyAction::Send,
   {}, {modem::kModePublic, modem::kModePa}, kModemReplyTicks, PC::ModeChangePending},
  {kIdle, bitsOf({PC::PaMenu}), keys({0}), KeyAction::Send,
   {}, {modem::kPaListQuery}, kModemReplyTicks, PC::PaRegisterQuery},
  {kIdle, bitsOf({PC::PaMenu}), keys({1}), KeyAction::Send,
   {}, {TextView{}, modem::kPaListQuery}, kModemReplyTicks, PC::PaDeleteQuery},
  {kIdle, bitsOf({PC::PaRegisterSelect}), kKeys0to3, KeyAction::Send,
   status::kPaRegistering, modem::kPaRegister, kPaRegistrationTicks, PC::PaRegistering},
  {kIdle, bitsOf({PC::PaDeleteSelect}), kKeys0to3, KeyAction::Send,
   {}, modem::kPaDelete, kModemReplyTicks, PC::PaDeletePending},
  {kIdleOrStopped, bitsOf({PC::MailBrowse}), keys({0}), KeyAction::PlayMelody,
   {}, {}, kUnchanged, std::nullopt},
  {kIdleOrStopped, bitsOf({PC::MailBrowse}), keys({1}), KeyAction::ShowImage,
   {}, {}, kUnchanged, std::nullopt},
  {kIdleOrStopped, bitsOf({PC::MailDeleteMenu}), keys({0, 1}), KeyAction::DeleteMails,
   {}, {}, kUnchanged, PC::NoPending},
  {kIdle, bitsOf({PC::NoPending, PC::NumberEntry}), kAllKeys, KeyAction::NumberEntry,
   {}, {}, kUnchanged, PC::NumberEntry},
  {kOnline, kAnyPending, kAllKeys, KeyAction::WriteKey,
   {}, {}, kUnchanged, std::nullopt},
};
// clang-format on

const KeyRow* rowFor(LS state, PC pending, std::int16_t key) {
  for (const KeyRow& row : kKeyTable) {
    if (hasBit(row.states, state) && hasBit(row.pending, pending) && hasBit(row.keys, key)) {
      return &row;
    }
  }
  return nullptr;
}

char16_t keyCharacter(std::int16_t key) {
  if (key <= 9) return static_cast<char16_t>(u'0' + key);
  return key == 10 ? u'*' : u'#';
}

// A command with its line end; the reply lines are collected afresh.
void sendCommand(Form1& f, const Text& command) {
  f.MSComm1.write(command + CR);
  f.RxLineCount = 0;
}

// The wait the operator configured for the own command. Anything that is not
// a usable tick count waits nothing rather than blocking the function key
// with a countdown that never runs.
std::int16_t userFuncWait(const Text& setting) {
  const std::int16_t wait = leadingNumber(setting);
  return wait < 0 ? 0 : wait;
}

}  // namespace

void Form1::FuncBtn_Click() {
  if (LineState != LS::Idle || ReplyTimer != 0) return;
  showStatusLine(status::kFuncMenuTitle);
  appendStatusLine(status::kFuncOwnNumber);
  appendStatusLine(status::kFuncModeChange);
  appendStatusLine(status::kFuncPaMenu);
  if (!UserFuncCaption.empty() && !UserFuncCommand.empty()) {
    appendStatusText(Text(status::kFuncUserEntry) + UserFuncCaption);
  }
  statusCaretToStart();
  PendingCmd = PC::FuncMenu;
}

void Form1::NumBtn_Click(std::int16_t index) {
  if (index < 0 || index >= kKeyCount) return;
  const KeyRow* row = rowFor(LineState, PendingCmd, index);
  if (row == nullptr) return;

  std::int16_t replyTimer = row->replyTimer;
  switch (row->action) {
    case KeyAction::Send:
      if (!row->status.empty()) showStatusLine(row->status);
      sendCommand(*this, Text(row->texts[index]));
      break;
    case KeyAction::Menu:
      showStatusLine(row->status);
      for (TextView line : row->texts) {
        if (!line.empty()) appendStatusLine(line);
      }
      break;
    case KeyAction::UserFunc:
      // The entry exists only when both settings are there.
      if (UserFuncCaption.empty() || UserFuncCommand.empty()) return;
      sendCommand(*this, UserFuncCommand);
      replyTimer = userFuncWait(UserFuncWait);
      break;
    case KeyAction::PlayMelody:
      PlayMailMelody();
      break;
    case KeyAction::ShowImage:
      ShowMailImage();
      break;
    case KeyAction::DeleteMails:
      DeleteStoredMails(index == 1);
      break;
    case KeyAction::NumberEntry:
      if (PendingCmd == PC::NoPending) DialNumber.clear();
      DialNumber += keyCharacter(index);
      showStatusLine(DialNumber);
      break;
    case KeyAction::WriteKey:
      MSComm1.write(Text(1, keyCharacter(index)));
      break;
  }
  if (replyTimer != kUnchanged) ReplyTimer = replyTimer;
  if (row->next) PendingCmd = *row->next;
}

void Form1::ConnBtn_Click() {
  if (LineState == LS::Idle && PendingCmd == PC::NumberEntry) {
    sendCommand(*this, Text(modem::kDialVoice) + DialNumber);
    callDialled(DialNumber);
    LastDialNumber = DialNumber;
    showStatusLine(status::kDialing);
    PendingCmd = PC::Dialing;
    ReplyTimer = 0;
  } else if (isRinging(LineState)) {
    sendCommand(*this, Text(modem::kAnswer));
    currentCall.answered = true;
    currentCall.kind = CallKind::Answer;
  }
}

void Form1::CutBtn_Click() {
  if (LineState == LS::Idle && (PendingCmd == PC::PaRegistering || PendingCmd == PC::Dialing)) {
    // Any character aborts the modem's running command; its answer comes
    // back through the poll loop.
    MSComm1.write(Text(modem::kAbort));
  } else if (LineState == LS::Idle || LineState == LS::Stopped) {
    PendingCmd = PC::NoPending;
    clearStatus();
    ReplyTimer = 0;
  } else if (isOnline(LineState)) {
    Timer2.setInterval(kEscapeGuardMs);
  }
}

void Form1::ReDialBtn_Click() {
  if (LastDialNumber.empty() || LineState != LS::Idle) return;
  if (PendingCmd != PC::NoPending && PendingCmd != PC::NumberEntry) return;
  if (PendingCmd == PC::NoPending) DialNumber.clear();
  DialNumber += LastDialNumber;
  showStatusLine(DialNumber);
  PendingCmd = PC::NumberEntry;
}

}  // namespace ondrix
