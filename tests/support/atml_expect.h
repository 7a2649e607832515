// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a terminal expects to receive, written out from the dialogue's own
// texts (not from the server's code), for byte-exact checks.
#include "core/text.h"

namespace ondrix::expect {

inline const Text kTitle = u"<ATML><HEAD><TTL=受信メール><SCRN=SA000053,1><BTYP=MAIL>";
inline const Text kHeadEnd = u"</HEAD><BODY>";
inline const Text kServer = u"TAVIXﾒﾛｷｬﾗｻｰﾊﾞｰ ";
inline const Text kStars = u"★★★★★★★★";
inline const Text kLinksStart = u"</BODY><SELECT>";
inline const Text kSave = u"<RL=89, >ページを保存</RL>";
inline const Text kNext = u"<RL=96, >次のページ</RL>";
inline const Text kLinksEnd = u"</SELECT></ATML>";
inline const Text kVersionPage = u"<ATML><HEAD><VER=001.10,512><LCD=16,6,2,0613></HEAD></ATML>";
inline const Text kSendEnd = u"<ATML><HEAD><DISC=6></HEAD><BODY>送信終了</BODY></ATML>";
inline const Text kReceiveEnd = u"<ATML><HEAD><DISC=6></HEAD><BODY>受信終了</BODY></ATML>";
inline const Text kReceiveFull = u"<ATML><HEAD><DISC=6></HEAD><BODY>受信いっぱいです</BODY></ATML>";
inline const Text kDisconnected = u"<ATML><HEAD><DISC=6></HEAD><BODY>切断しました</BODY></ATML>";
inline const Text kAck = u"<ATML><HEAD><ACK></HEAD></ATML>";
inline const Text kShortcutTitle = u"<ATML><HEAD><TTL=MR Shortcut><SCRN=SA000060,0><BTYP=NORM>";
inline const Text kShortcutServer = u"TAVIXﾒﾛｷｬﾗｻｰﾊﾞｰ";
inline const Text kShortcutBody = u"一括受信中です";
inline const Text kShortcutEnd = u"</BODY></ATML>";

// The terminal's messages.
inline const Text kVersionRequest = u"<ATML><HEAD><CON=8></HEAD></ATML>";
inline const Text kListRequest = u"<ATML><HEAD><CON=0></HEAD></ATML>";
inline const Text kShortcutRequest = u"<ATML><HEAD><CON=3></HEAD></ATML>";
inline const Text kNextPage = u"<ATML><HEAD><MIN=1></HEAD></ATML>";
inline const Text kNextPageWithBody = u"<ATML><HEAD><BTYP=NORM></HEAD><BODY>96</BODY></ATML>";
inline const Text kFullNotice = u"<ATML><HEAD><MIN=2></HEAD></ATML>";
inline const Text kDisconnect = u"<ATML><HEAD><DISC=0></HEAD></ATML>";

// The list page (first page) and the n-th page after it, for the given
// entries; an empty entry is simply absent.
inline Text listPage(const Text& melody, const Text& image, bool next) {
  return kTitle + melody + kHeadEnd + kServer + image + kStars + kLinksStart + kSave +
         (next ? kNext : Text()) + kLinksEnd;
}
inline Text deliveryPage(const Text& mark, const Text& melody, const Text& image, bool next) {
  return kTitle + melody + mark + kServer + image + kStars + kLinksStart + kSave +
         (next ? kNext : Text()) + kLinksEnd;
}
inline Text shortcutPage() {
  return kShortcutTitle + kHeadEnd + kShortcutServer + u"\r" + kStars + u"\r" + kShortcutBody +
         kShortcutEnd;
}

}  // namespace ondrix::expect
