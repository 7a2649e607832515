// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every text the server shows in the status box Text3, in one place, as
// engine/atml_texts.h holds the texts of the dialogue with a terminal.
#include <array>

#include "core/text.h"

namespace ondrix::status {

// Calls.
// A voice call rings.
inline constexpr TextView kRingVoice = u"着信";
// A data call rings.
inline constexpr TextView kRingData = u"データ着信";
// A ringing call ended unanswered.
inline constexpr TextView kMissedVoice = u"着信あり";
inline constexpr TextView kMissedData = u"データ着信あり";
// On-line; the end-of-call notice reads the head of these back.
inline constexpr TextView kTalking = u"通話中";
inline constexpr TextView kCommunicating = u"通信中";
// The end of a call, and what it left.
inline constexpr TextView kTalkEnd = u"通話終了";
inline constexpr TextView kVoiceMailLeft = u"Aメールプラスあり";
inline constexpr TextView kCommunicationEnd = u"通信終了";
inline constexpr TextView kTerminalMailLeft = u"TAVIXメールあり";
// Where the mail store went when the program directory refused it.
inline constexpr TextView kStoreMovedTo = u"メールの保存先：";
inline constexpr TextView kStoreNotSaved = u"メールを保存できません";

// The line's own recovery and the call journal, beyond the console's own
// texts: each a line of its own after what the box shows.
// The port went away under a started line; it came back.
inline constexpr TextView kPortLost = u"ポートが切断されました。再接続を試みます";
inline constexpr TextView kPortBack = u"ポートに再接続しました";
// The hang-up is being tried again; how the call then ended.
inline constexpr TextView kHangupRetrying = u"切断を確認できません。再試行します";
inline constexpr TextView kHangupRetried = u"切断を確認できず、再試行しました";
inline constexpr TextView kHangupRestarted = u"切断できないため、モデムを再設定しました";
// A call without any input for ten minutes is ended, and was.
inline constexpr TextView kNoInputEnding = u"無通信が10分続いたため切断します";
inline constexpr TextView kNoInputEnded = u"無通信が10分続いたため切断しました";
// The modem left a command or an answered call without reply; the line was
// brought back to waiting for calls.
inline constexpr TextView kNoReplyReset = u"モデムの応答がないため、待受けに戻しました";
// A line the server started by itself: the modem has not answered its start
// or set-up command and is tried again until it does; it did.
inline constexpr TextView kModemRetrying = u"モデムが応答しません。応答するまで再試行します";
inline constexpr TextView kModemAnswered = u"モデムが応答しました。着信を待ちます";
// Started without a person at the keys, the port could not be opened yet.
inline constexpr TextView kPortAwaited = u"ポートを開けません。開けるまで再試行します";
// The folder's lock could not be taken: a second server is not kept out.
inline constexpr TextView kFolderNotLocked = u"フォルダをロックできません（二重起動を防げません）";
inline constexpr TextView kJournalNotWritten = u"通話記録（calls.log）を書き込めません";
inline constexpr TextView kArchiveNotWritten = u"メールの保管庫（Maildir）に書き込めません";
// Records an earlier run left out of the archive, filed since (the count
// between the two parts); a ledger that could not be read, made again.
inline constexpr TextView kArchiveCaughtUpBefore = u"保管庫に入っていなかった記録 ";
inline constexpr TextView kArchiveCaughtUpAfter = u" 件を保管しました";
inline constexpr TextView kArchiveLedgerRebuilt =
    u"保管庫の台帳（Maildir/ondrix-archived）を読めないため、保管庫の中身から作り直しました";
// The File menu's start at login could not be switched.
inline constexpr TextView kLoginStartNotSet = u"ログイン時の自動起動を設定できません";
inline constexpr TextView kLoginStartFolderInWay =
    u"ログイン時の自動起動を設定できません（同じ名前のフォルダがあります）";
inline constexpr TextView kLoginStartNotRemoved = u"ログイン時の自動起動を解除できません";
// The new-mail hook beside the store: refused, or a run that went wrong
// (followed by "：" and the last line it wrote to standard error).
inline constexpr TextView kHookOthersMayWrite =
    u"new-mail を実行しません（ほかのユーザーが書き換えられます）";
inline constexpr TextView kHookNotOurs =
    u"new-mail を実行しません（所有者がサーバーのユーザーではありません）";
inline constexpr TextView kHookExitedBefore = u"new-mail が終了コード ";
inline constexpr TextView kHookExitedAfter = u" で終わりました";
inline constexpr TextView kHookCrashed = u"new-mail が異常終了しました";
inline constexpr TextView kHookTimedOut = u"new-mail が時間内に終わらないため止めました";
inline constexpr TextView kHookNotStarted = u"new-mail を起動できません";

// Port, start and commands.
inline constexpr TextView kStartError = u"待受けエラー";
// After the model name: the auto-search found it, or gave up.
inline constexpr TextView kModemFoundAfterModel = u"が見つかました";
inline constexpr TextView kModemNotFoundAfterModel = u"が見つかりません";
inline constexpr TextView kDialing = u"発信中";
inline constexpr TextView kCommandSending = u"コマンド送出中";
// The command line's reply did not come.
inline constexpr TextView kTimeOut = u"TIME OUT";

// The function menu and what its entries answer.
inline constexpr TextView kFuncMenuTitle = u"Ｆ";
inline constexpr TextView kFuncOwnNumber = u"０　自局番号";
inline constexpr TextView kFuncModeChange = u"１　ＰＡモード変更";
inline constexpr TextView kFuncPaMenu = u"２　ＰＡ登録削除";
// Followed by the operator's own caption.
inline constexpr TextView kFuncUserEntry = u"３　";
inline constexpr TextView kOwnNumberTitle = u"Ｆ０　自局番号";
inline constexpr TextView kModeMenuTitle = u"Ｆ１　ＰＡモード変更";
inline constexpr TextView kModePublicEntry = u"０　公衆";
inline constexpr TextView kModePaEntry = u"１　ＰＡ";
inline constexpr TextView kModeChanged = u"モード変更しました";
inline constexpr TextView kModeNotChanged = u"モード変更できません";
inline constexpr TextView kPaMenuTitle = u"Ｆ２　ＰＡ登録削除";
inline constexpr TextView kPaRegisterEntry = u"０　登録";
inline constexpr TextView kPaDeleteEntry = u"１　削除";
inline constexpr TextView kPaRegisterTitle = u"Ｆ２　ＰＡ登録";
inline constexpr TextView kPaDeleteTitle = u"Ｆ２　ＰＡ削除";
// The simple entry, then PA entries 1 to 3, as the PA lists show them.
inline constexpr std::array<TextView, 4> kPaEntries = {u"０　ＰＡ簡易", u"１　ＰＡ１",
                                                       u"２　ＰＡ２", u"３　ＰＡ３"};
inline constexpr TextView kPaRegistering = u"ＰＡ登録中";
inline constexpr TextView kPaRegistered = u"ＰＡ登録完了";
inline constexpr TextView kPaRegisterFailed = u"ＰＡ登録失敗";
inline constexpr TextView kPaNoneRegistered = u"ＰＡ登録ありません";
inline constexpr TextView kPaDeleted = u"ＰＡ削除完了";
inline constexpr TextView kPaDeleteFailed = u"ＰＡ削除失敗";

// The mail browser.
inline constexpr TextView kNoMail = u"受信メールはありません";
inline constexpr TextView kDeleteMenuTitle = u"メール消去";
inline constexpr TextView kDeleteOne = u"０　１件";
inline constexpr TextView kDeleteAll = u"１　全件消去";
inline constexpr TextView kDeleted = u"消去しました";
// Marks after a record's time: it carries a melody, an image.
inline constexpr TextView kHasMelody = u" ♪";
inline constexpr TextView kHasImage = u" ◆";

}  // namespace ondrix::status
