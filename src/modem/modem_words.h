// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modem's words: the result lines it sends, the identity lines of a
// ringing call, and every command the server sends it. A leaf header (no
// Form1), so the poll loop, the scanner and the console's keys share it.
#include <array>
#include <cstdint>

#include "core/text.h"

namespace ondrix::modem {

// Result lines.
inline constexpr TextView kOk = u"OK";
inline constexpr TextView kEscapeOk = u"+++OK";  // "OK" to the escape, echo in front
inline constexpr TextView kError = u"ERROR";
inline constexpr TextView kRing = u"RING";
inline constexpr TextView kRingVoice = u"RING:VOICE";
inline constexpr TextView kNoCarrier = u"NO CARRIER";
inline constexpr TextView kConnect = u"CONNECT";
inline constexpr TextView kConnectRatePrefix = u"CONNECT ";  // "CONNECT" and a rate
inline constexpr TextView kRegistrationFinished = u"REGISTRATION FINISHED";
// The PA list's value for an entry: free, or holding a registration.
inline constexpr TextView kPaEntryFree = u"0";
inline constexpr TextView kPaEntryUsed = u"1";

// Identity lines of a ringing call, and the subaddress of the content service
// whose data calls the server answers.
inline constexpr TextView kCallingIdPrefix = u"CALLING-ID=";
inline constexpr TextView kConnectedIdPrefix = u"CONNECTED-ID=";
inline constexpr TextView kContentService = u"CONTENTSPP-X01";

// Commands; the line end is added where one goes with them.
inline constexpr TextView kIdentify = u"ati3";
inline constexpr TextView kAnswer = u"ata";
inline constexpr TextView kHangUp = u"ath";
inline constexpr TextView kEscape = u"+++";  // no line end; guarded by silence
inline constexpr TextView kAbort = u"at";    // no line end; any character aborts
inline constexpr TextView kDialPrefix = u"atd";
inline constexpr TextView kDialVoice = u"atdv";
inline constexpr TextView kOwnNumberQuery = u"at#sn0?";
inline constexpr TextView kModePublic = u"at#mp0";
inline constexpr TextView kModePa = u"at#mp2";
inline constexpr TextView kPaListQuery = u"at#pas?#pa1?#pa2?#pa3?";
// By entry: the simple entry, then PA entries 1 to 3.
inline constexpr std::array<TextView, 4> kPaRegister = {u"AT#PASR", u"AT#PA1", u"AT#PA2",
                                                        u"AT#PA3"};
inline constexpr std::array<TextView, 4> kPaDelete = {u"AT#PAS=0", u"AT#PA1=0", u"AT#PA2=0",
                                                      u"AT#PA3=0"};

// What a result line means to the poll loop.
enum class ResultKind : std::int8_t {
  Other,      // echoes, identity lines, replies to queries
  Ok,         // "OK"
  EscapeOk,   // "+++OK": an "OK" only while escaping
  Error,      // "ERROR"
  RingVoice,  // "RING:VOICE"
  RingData,   // "RING"
  NoCarrier,  // "NO CARRIER"
  Connect,    // "CONNECT", alone or with a rate
};

// The kind of one complete result line (its line end already cut off).
ResultKind classifyResultLine(TextView line);

}  // namespace ondrix::modem
