// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up, shut-down, the port and the command line.
#include "modem/modem_words.h"
#include "state/form1.h"
#include "state/status_texts.h"
#include "store/mail_store_file.h"
#include "store/settings_file.h"

namespace ondrix {

namespace {

const Text kPortError = u"ポートは使用中か無効です。";

}  // namespace

void Form1::Form_Load() {
  AppDir = files_.programDirectory();
  LoadMailStore(files_, AppDir + kMailStoreFile, MailStore);
  // The settings may name the port, so they come after the store and may
  // replace the port box text.
  LoadedSettings loaded = LoadSettings(files_, AppDir + kSettingsFile);
  static_cast<Settings&>(*this) = std::move(loaded.settings);
  if (loaded.portBoxText) ComNo.text = std::move(*loaded.portBoxText);
  storeDirectory = AppDir;
  for (RecordEvents* events : recordEvents_) events->storeLoaded(MailStore, AppDir);
}

void Form1::Form_Unload() {
  callEnded(CallFault::Stopped);
  for (RecordEvents* events : recordEvents_) events->stopping();
  files_.setCurrentDirectory(AppDir);
  // Hang-up is deliberately not sent: closing the port drops the line.
  if (MSComm1.isOpen()) MSComm1.close();
  // Nothing may be handled once the window is going away.
  Timer1.setInterval(0);
  Timer2.setInterval(0);
  saveStoreWithFallback();
  SaveSettings(files_, AppDir + kSettingsFile, *this, ComNo.text);
}

bool Form1::OpenPort() {
  if (!MSComm1.isOpen()) {
    const bool opened = MSComm1.selectPort(leadingNumber(ComNo.text)) && MSComm1.open();
    if (!opened) {
      // Auto-search skips unusable ports silently.
      if (LineState != LineStateCode::Searching) desktop_.messageBox(kPortError);
      return false;
    }
    portOpened();
  }
  if (!FuncBtn.enabled) FuncBtn.enabled = true;
  return true;
}

void Form1::portOpened() {
  // Whatever an earlier port or session left unread is no answer from
  // this one.
  RxBuffer.clear();
  RxLineCount = 0;
  Timer1.setInterval(kPollIntervalMs);
  ComNo.enabled = false;
  ComNo.background = Background::ButtonFace;
  StartBtn.enabled = false;
  StopBtn.enabled = true;
  ScarchBtn.enabled = false;
}

void Form1::StartBtn_Click() {
  if (!OpenPort()) return;
  MSComm1.write(StartCommand + CR);
  ReplyTimer = kStartReplyTicks;
  RxLineCount = 0;
  LineState = LineStateCode::Idle;
  PendingCmd = PendingCmdCode::StartPending;
}

void Form1::StopBtn_Click() {
  lineStopped();
  if (MSComm1.isOpen()) MSComm1.close();
  LineState = LineStateCode::Stopped;
  PendingCmd = PendingCmdCode::NoPending;
  clearStatus();
  Timer1.setInterval(0);
  ComNo.enabled = true;
  ComNo.background = Background::Window;
  StartBtn.enabled = true;
  StopBtn.enabled = false;
  ScarchBtn.enabled = true;
  FuncBtn.enabled = false;
}

void Form1::Command1_Click() {
  if (!OpenPort()) return;
  if (isOnline(LineState)) {
    // On-line the text goes to the terminal as typed.
    MSComm1.write(Text2.text);
    return;
  }
  MSComm1.write(Text2.text + CR);
  RxLineCount = 0;
  if (LineState == LineStateCode::Stopped) LineState = LineStateCode::Idle;
  if (leftOf(Text2.text, modem::kDialPrefix.size()) == modem::kDialPrefix) {
    showStatusLine(status::kDialing);
    PendingCmd = PendingCmdCode::Dialing;
    ReplyTimer = 0;
    callDialled(TextView(Text2.text).substr(modem::kDialPrefix.size()));
  } else {
    showStatusLine(status::kCommandSending);
    PendingCmd = PendingCmdCode::CommandPending;
    ReplyTimer = kCommandLineReplyTicks;
  }
}

void Form1::ComNo_KeyDown(std::int16_t& keyCode, std::int16_t /*shift*/) {
  // Kept non-negative so that a stray sign in the box still yields 1..9.
  const int v = leadingNumber(ComNo.text) % 9;
  if (keyCode == kKeyUp) {
    ComNo.text = decimal((v + 7 + 9) % 9 + 1);
    ComNo.caret = static_cast<std::int32_t>(ComNo.text.size());
  } else if (keyCode == kKeyDown) {
    ComNo.text = decimal((v + 9) % 9 + 1);
    ComNo.caret = static_cast<std::int32_t>(ComNo.text.size());
  } else if (keyCode == kKeyBack || keyCode == kKeyDelete) {
    keyCode = 0;
  }
}

void Form1::ComNo_KeyPress(std::int16_t& keyAscii) {
  if (keyAscii >= u'1' && keyAscii <= u'9') {
    // The box holds exactly the typed digit. The handler puts it there
    // itself, so the key is consumed and the window must not insert it again.
    ComNo.text = Text(1, static_cast<char16_t>(keyAscii));
    ComNo.caret = 1;
  }
  keyAscii = 0;
}

}  // namespace ondrix
