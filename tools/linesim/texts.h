// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The fixed texts of a TAVIX terminal call, as UTF-8; they go on the line
// in CP932 (see cp932.h).

namespace linesim::texts {

inline constexpr const char* kMailTitle =
    "<ATML><HEAD><TTL=受信メール><SCRN=SA000053,1><BTYP=MAIL>";
inline constexpr const char* kHeadEnd = "</HEAD><BODY>";
inline constexpr const char* kServerName = "TAVIXﾒﾛｷｬﾗｻｰﾊﾞｰ ";
inline constexpr const char* kStarLine = "★★★★★★★★";
inline constexpr const char* kLinkBlockStart = "</BODY><SELECT>";
inline constexpr const char* kSaveLink = "<RL=89, >ページを保存</RL>";
inline constexpr const char* kNextLink = "<RL=96, >次のページ</RL>";
inline constexpr const char* kLinkBlockEnd = "</SELECT></ATML>";
inline constexpr const char* kPageMarkShort = "<IL=0";
inline constexpr const char* kPageMarkLong = "<IL=";
inline constexpr const char* kPageMarkEnd = ",00,></HEAD><BODY>";
inline constexpr const char* kVersionPage =
    "<ATML><HEAD><VER=001.10,512><LCD=16,6,2,0613></HEAD></ATML>";
inline constexpr const char* kSendEndPage =
    "<ATML><HEAD><DISC=6></HEAD><BODY>送信終了</BODY></ATML>";
inline constexpr const char* kReceiveEndPage =
    "<ATML><HEAD><DISC=6></HEAD><BODY>受信終了</BODY></ATML>";
inline constexpr const char* kDisconnectedPage =
    "<ATML><HEAD><DISC=6></HEAD><BODY>切断しました</BODY></ATML>";
inline constexpr const char* kAck = "<ATML><HEAD><ACK></HEAD></ATML>";
inline constexpr const char* kNextPageRequest = "<ATML><HEAD><MIN=1></HEAD></ATML>";
inline constexpr const char* kNextPageRequestLong =
    "<ATML><HEAD><BTYP=NORM></HEAD><BODY>96</BODY></ATML>";
inline constexpr const char* kDisconnectRequest = "<ATML><HEAD><DISC=0></HEAD></ATML>";
inline constexpr const char* kVersionRequestHead = "<ATML><HEAD><CON=8>";
inline constexpr const char* kListRequestHead = "<ATML><HEAD><CON=0";
inline constexpr const char* kUploadHead = "<ATML><HEAD><CON=2";
inline constexpr const char* kLoginPrompt = "login:";
inline constexpr const char* kLoginWord = "TAVIXEXE";
inline constexpr const char* kPasswordPrompt = "Password:";
inline constexpr const char* kAccessCode = "BRQTLV&7";
inline constexpr const char* kAtmlPrompt = "@atml";
inline constexpr const char* kContentService = "CONTENTSPP-X01";
inline constexpr const char* kCallingIdKey = "CALLING-ID=";
inline constexpr const char* kConnectedIdKey = "CONNECTED-ID=";
inline constexpr const char* kRing = "RING";
inline constexpr const char* kRingVoice = "RING:VOICE";
inline constexpr const char* kConnect = "CONNECT";
inline constexpr const char* kNoCarrier = "NO CARRIER";
inline constexpr const char* kEscape = "+++";
inline constexpr const char* kEscapeOk = "+++OK";
inline constexpr const char* kOk = "OK";
inline constexpr const char* kAnswer = "ata";
inline constexpr const char* kHangUp = "ath";
inline constexpr const char* kDialVoice = "atdv";
// The cut key during a dial: the attention letters alone stop the modem dialling.
inline constexpr const char* kAbortDial = "at";
inline constexpr const char* kVoiceHello = "*";
inline constexpr const char* kVoiceBye = "#";

}  // namespace linesim::texts
