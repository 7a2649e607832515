// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// All run-time state of the server: the members of the main window and the
// variables of the file module. One owner (Form1) holds both for the whole
// run; every handler reads and writes them directly on the one UI thread.
#include <array>
#include <cstdint>

#include "core/text.h"

namespace ondrix {

enum class LineStateCode : std::int16_t {
  Stopped = 0,
  Searching = 1,
  Idle = 2,
  RingingVoice = 11,
  RingingData = 12,
  OnlineVoice = 21,
  OnlineData = 22,
  EscapeVoice = 23,
  EscapeData = 24,
};

enum class PendingCmdCode : std::int16_t {
  NoPending = 0,
  StartPending = 1,
  FuncMenu = 2,
  OwnNumberQuery = 3,
  ModeMenu = 4,
  ModeChangePending = 5,
  PaMenu = 6,
  PaRegisterQuery = 7,
  PaRegisterSelect = 8,
  PaRegistering = 9,
  PaDeleteQuery = 10,
  PaDeleteSelect = 11,
  PaDeletePending = 12,
  MailBrowse = 13,
  MailDeleteMenu = 14,
  UserFuncPending = 15,
  CommandPending = 16,
  Dialing = 17,
  NumberEntry = 18,
  HangupPending = 21,
};

enum class LineEventCode : std::int16_t {
  None = 0,
  Ok = 1,            // "OK", and "+++OK" in the escape states
  Error = 2,         // "ERROR"
  ReplyTimeout = 3,  // the ReplyTimer countdown ran out
  CarrierLost = 4,   // "NO CARRIER" or carrier detect dropped
};

enum class CallerStageCode : std::int16_t {
  Unknown = 0,        // set on every ring
  VoiceMessage = 1,   // ringing voice call carries a message
  Answered = 2,       // such a call was answered with "ata"
  HandshakeSent = 3,  // terminal sent "*", server answered "#"
};

inline constexpr std::int16_t kRxLineSlots = 21;  // RxLines indices 0..20
inline constexpr std::int16_t kMaxRxLines = 20;   // index 20 is never filled
inline constexpr std::int16_t kMailSlots = 100;   // slots 1..100 used
inline constexpr std::int16_t kPoolSlots = 11;    // pool indices 0..10
// Scan positions are 16-bit; RxBuffer never holds more than this.
inline constexpr std::size_t kRxBufferLimit = 32767;

// ReplyTimer countdowns, in quiet poll ticks: what each one waits for.
// The modem's "OK" to a command the server sends of its own (the model
// query, the set-up, the hang-up, the keypad's queries and settings).
inline constexpr std::int16_t kModemReplyTicks = 5;
// The modem's "OK" to the start command.
inline constexpr std::int16_t kStartReplyTicks = 20;
// The next ring or identity line: a ringing call silent this long was missed.
inline constexpr std::int16_t kRingSilenceTicks = 40;
// The reply to a command the operator typed on the command line.
inline constexpr std::int16_t kCommandLineReplyTicks = 100;
// The outcome of a PA registration, which waits for the base station.
inline constexpr std::int16_t kPaRegistrationTicks = 900;

// The modem reports an absent number or subaddress as "" or "-".
inline bool isReported(const Text& t) { return !t.empty() && t != u"-"; }

inline bool isOnline(LineStateCode s) {
  return s == LineStateCode::OnlineVoice || s == LineStateCode::OnlineData;
}
inline bool isRinging(LineStateCode s) {
  return s == LineStateCode::RingingVoice || s == LineStateCode::RingingData;
}
inline bool isEscape(LineStateCode s) {
  return s == LineStateCode::EscapeVoice || s == LineStateCode::EscapeData;
}

// The members of the main window. Everything starts as 0 or empty.
struct Form1Members {
  LineStateCode LineState = LineStateCode::Stopped;
  PendingCmdCode PendingCmd = PendingCmdCode::NoPending;
  std::int16_t BrowseIndex = 0;
  Text DialNumber;
  Text LastDialNumber;
  std::int16_t ReplyTimer = 0;
  LineEventCode LineEvent = LineEventCode::None;
  std::array<Text, kRxLineSlots> RxLines{};
  std::int16_t RxLineCount = 0;
  Text CallingId;
  Text CallingSub;
  Text ConnectedId;
  Text ConnectedSub;
  CallerStageCode CallerStage = CallerStageCode::Unknown;
  std::int16_t MailReceived = 0;
  Text RxBuffer;
};

// A slot's line of the store file as last encoded, and the five texts it
// was made from.
struct EncodedSlot {
  std::array<Text, 5> texts;
  Bytes line;
};

// The five parallel arrays of stored mails; slot 0 unused, slot 1 newest.
struct MailStoreArrays {
  using Column = std::array<Text, kMailSlots + 1>;
  Column MailCaller{};
  Column MailText{};
  Column MailTime{};
  Column MailMelody{};
  Column MailImage{};

  // What the last save encoded, slot by slot, and the buffer the file was
  // joined in, kept so that a save encodes only the slots that changed. The
  // lines move with their slots; a line is used only while its slot still
  // holds the texts it was made from, so a slot changed in place is encoded
  // again.
  mutable std::array<EncodedSlot, kMailSlots + 1> encoded{};
  mutable Bytes fileBytes;
  mutable const void* encodedBy = nullptr;  // the encoder of the lines

  // Moves slots 1..99 of all five arrays to 2..100; slot 100 is dropped and
  // slot 1 keeps its old texts until the caller overwrites them.
  void makeRoomAtSlot1();
  // Moves the slots after `slot` one up over it; slot 100 becomes empty.
  void removeSlot(std::int16_t slot);
  // Empties one slot of all five arrays.
  void clearSlot(std::int16_t slot);
};

// The seven settings kept in "\brellin.ini", holding the values they have
// before the file is read; whatever the file fails to supply keeps them.
struct Settings {
  Text StartCommand = u"at#sy1=40";
  Text SetupCommand = u"atu3v1q0\\v2#ps2=1";
  Text ModemModel = u"QV-M7";
  Text UserFuncCaption;
  Text UserFuncCommand;
  Text UserFuncWait = u"0";
  Text MelodyPlayer;
};

// The variables of the file module: the store, the offered content, the
// program directory and, inherited so they read by their own names, the
// settings.
struct FileIOModule1 : Settings {
  MailStoreArrays MailStore;
  std::array<Text, kPoolSlots> MelodyPool{};
  std::array<Text, kPoolSlots> ImagePool{};
  std::int16_t MelodyCount = 0;
  std::int16_t ImageCount = 0;
  std::int16_t PageIndex = 0;
  Text AppDir;
};

}  // namespace ondrix
