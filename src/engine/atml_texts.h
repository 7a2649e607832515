// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the server writes to a connected terminal is built from these.
#include "core/text.h"

namespace ondrix::atml {

// What the server sends.
inline constexpr TextView kMailTitle = u"<ATML><HEAD><TTL=受信メール><SCRN=SA000053,1><BTYP=MAIL>";
inline constexpr TextView kHeadEnd = u"</HEAD><BODY>";
inline constexpr TextView kServerName = u"TAVIXﾒﾛｷｬﾗｻｰﾊﾞｰ ";
inline constexpr TextView kStarLine = u"★★★★★★★★";
inline constexpr TextView kLinkBlockStart = u"</BODY><SELECT>";
inline constexpr TextView kSaveLink = u"<RL=89, >ページを保存</RL>";
inline constexpr TextView kNextLink = u"<RL=96, >次のページ</RL>";
inline constexpr TextView kLinkBlockEnd = u"</SELECT></ATML>";
inline constexpr TextView kVersionPage =
    u"<ATML><HEAD><VER=001.10,512><LCD=16,6,2,0613></HEAD></ATML>";
inline constexpr TextView kPageMarkShort = u"<IL=0";
inline constexpr TextView kPageMarkLong = u"<IL=";
inline constexpr TextView kPageMarkEnd = u",00,></HEAD><BODY>";
inline constexpr TextView kShortcutTitle =
    u"<ATML><HEAD><TTL=MR Shortcut><SCRN=SA000060,0><BTYP=NORM>";
inline constexpr TextView kShortcutServerName = u"TAVIXﾒﾛｷｬﾗｻｰﾊﾞｰ";
inline constexpr TextView kShortcutBody = u"一括受信中です";
inline constexpr TextView kShortcutEnd = u"</BODY></ATML>";
inline constexpr TextView kSendEndPage = u"<ATML><HEAD><DISC=6></HEAD><BODY>送信終了</BODY></ATML>";
inline constexpr TextView kReceiveEndPage =
    u"<ATML><HEAD><DISC=6></HEAD><BODY>受信終了</BODY></ATML>";
inline constexpr TextView kReceiveFullPage =
    u"<ATML><HEAD><DISC=6></HEAD><BODY>受信いっぱいです</BODY></ATML>";
inline constexpr TextView kDisconnectedPage =
    u"<ATML><HEAD><DISC=6></HEAD><BODY>切断しました</BODY></ATML>";
inline constexpr TextView kAckPage = u"<ATML><HEAD><ACK></HEAD></ATML>";
// Instead of any of the pages that acknowledge a mail, when the mail could
// not be stored: an end page in the same form, so the terminal shows it.
inline constexpr TextView kNotStoredPage =
    u"<ATML><HEAD><DISC=6></HEAD><BODY>保存できませんでした</BODY></ATML>";

// What the terminal sends.
inline constexpr TextView kAccessCode = u"BRQTLV&7";
inline constexpr TextView kNextPageBodyOnly = u"<HEAD><BTYP=NORM></HEAD><BODY>96</BODY>";
inline constexpr TextView kVersionRequest = u"<ATML><HEAD><CON=8>";
inline constexpr TextView kUploadPrefix2 = u"<ATML><HEAD><CON=2";
inline constexpr TextView kUploadPrefix4 = u"<ATML><HEAD><CON=4";
inline constexpr TextView kListRequest = u"<ATML><HEAD><CON=0";
inline constexpr TextView kShortcutRequest = u"<ATML><HEAD><CON=3";
inline constexpr TextView kAckMessage = u"<ATML><HEAD><ACK></HEAD></ATML>";
inline constexpr TextView kReceptionFull = u"<ATML><HEAD><MIN=2></HEAD></ATML>";
inline constexpr TextView kNextPageRequestBody =
    u"<ATML><HEAD><BTYP=NORM></HEAD><BODY>96</BODY></ATML>";
inline constexpr TextView kNextPageRequest = u"<ATML><HEAD><MIN=1></HEAD></ATML>";
inline constexpr TextView kDisconnectRequest = u"<ATML><HEAD><DISC=0></HEAD></ATML>";

}  // namespace ondrix::atml
