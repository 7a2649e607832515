// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Form1: the one owner of all run-time state and the home of every handler.
// Its members are the connection state, the file module's variables and the
// controls' data; the platform (serial line, timers, clock, files, desktop)
// is reached through interfaces so that tests can drive every handler.
//
// The handlers are defined next to the behaviour they belong to:
//   engine/line_poll.cpp          Timer1_Timer, MSComm1_OnComm, Timer2_Timer
//   engine/atml_scanner.cpp       ScanAtml, StoreReceivedMail
//   engine/atml_pages.cpp         the page senders
//   modem/modem_event.cpp         HandleModemEvent
//   modem/caller_id.cpp           IdentifyCaller
//   modem/connection_record.cpp   HandleConnect, addMailRecord
//   state/form1_events.cpp        calls and records told to RecordEvents
//   console/main_window.cpp       Form_Load, Form_Unload, OpenPort, buttons,
//                                 port box keys
//   state/form1.cpp               the status box operations
//   console/auto_search.cpp       ScarchBtn_Click
//   console/keypad.cpp            NumBtn_Click, FuncBtn_Click, ConnBtn_Click,
//                                 CutBtn_Click, ReDialBtn_Click
//   console/mail_browser.cpp      UpBtn_Click, DownBtn_Click, ClsBtn_Click,
//                                 ClsBtn2_Click and the record actions
//   console/transfer_files.cpp    the File menu and the drops
//   console/help_about.cpp        CMHELPMENU_Click, CMINFO_Click
//   engine/line_recovery.cpp      the line's own recovery
//   console/login_start.cpp       the File menu's start at login
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/serial_line.h"
#include "platform/status_echo.h"
#include "platform/timer.h"
#include "state/call_record.h"
#include "state/connection_state.h"
#include "state/controls.h"
#include "state/key_codes.h"
#include "state/line_watch.h"
#include "state/record_events.h"

namespace ondrix {

class LoginStart;

struct Form1Platform {
  SerialLine& serial;
  Timer& timer1;
  Timer& timer2;
  Clock& clock;
  Files& files;
  Desktop& desktop;
  // Told of every record stored and every call ended; none: nothing beyond
  // the store is told.
  std::vector<RecordEvents*> recordEvents = {};
  StatusEcho* echo = nullptr;  // the status lines beyond the box; null: none
};

inline constexpr int kPollIntervalMs = 100;
inline constexpr int kEscapeGuardMs = 1200;

class Form1 : public Form1Members, public FileIOModule1, public Form1Controls {
 public:
  explicit Form1(const Form1Platform& platform);
  virtual ~Form1() = default;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // --- line poll loop ---------------------------------------------------
  void Timer1_Timer();
  void MSComm1_OnComm();
  void Timer2_Timer();

  // --- calls the poll loop makes (virtual so tests can watch them) -------
  virtual void ScanAtml();
  virtual void HandleModemEvent();
  virtual void IdentifyCaller();
  virtual void HandleConnect();

  // --- ATML dialogue: the pages the terminal is sent ----------------------
  void SendVersionPage();
  void SendListPage();
  void SendDeliveryPage();
  void SendShortcutPage();
  void SendFixedPage(TextView page);
  // Stores an uploaded mail as the newest record and shows it; true once on a disk.
  bool StoreReceivedMail(const Text& body, const Text& melody, const Text& image);

  // --- records of the mail store ------------------------------------------
  // Shifts the store, writes the new record into slot 1 (time stamp now,
  // caller from the identity of this call) and saves the store file at once,
  // so a record never waits for the exit to reach the disk; true once it has.
  bool addMailRecord(const Text& text, const Text& melody, const Text& image);
  // Writes the store file. The store holds the only copy of the mail, so
  // when the program directory cannot be written it goes to the files'
  // fallback directory; storeDirectory says where the last save went, none
  // when no disk took it (the store then stays in memory until the next).
  // True when a disk took it.
  bool saveStoreWithFallback();
  std::optional<Text> storeDirectory = Text();

  // --- main window and port ---------------------------------------------
  void Form_Load();
  void Form_Unload();
  bool OpenPort();
  // The controls and the poll of a port just opened.
  void portOpened();
  void StartBtn_Click();
  void StopBtn_Click();
  void Command1_Click();
  // Both may set the key to 0 to discard it.
  void ComNo_KeyDown(std::int16_t& keyCode, std::int16_t shift);
  void ComNo_KeyPress(std::int16_t& keyAscii);

  // --- modem auto-search --------------------------------------------------
  void ScarchBtn_Click();

  // --- keypad and call control ------------------------------------------
  void NumBtn_Click(std::int16_t index);  // 0..9, 10 "*", 11 "#"
  void FuncBtn_Click();
  void ConnBtn_Click();
  void CutBtn_Click();
  void ReDialBtn_Click();

  // --- mail browser --------------------------------------------------------
  void UpBtn_Click();
  void DownBtn_Click();
  void ClsBtn_Click();
  void ClsBtn2_Click();
  void PlayMailMelody();
  void ShowMailImage();
  void DeleteStoredMails(bool all);

 private:
  // BrowseIndex names one of the slots 1..100. Records stored by a call move
  // under a shown mail, so the record actions check before indexing.
  bool browseIndexInRange() const;
  // Shows slot BrowseIndex in the status box.
  void showMailRecord();
  // One step of the up (true) or down (false) button.
  void browseTo(bool up);
  // Withdraw the whole offer of one kind.
  void clearMelodyOffer();
  void clearImageOffer();
  // Asks where to save a copy of the working file and writes it there.
  void saveWorkingFileAs(bool written, const Text& working, const FileDialogSetup& dialog);
  // Image1 shows the bitmap at `path`; an empty path clears it. False when
  // the box could not take the picture and stays empty.
  bool showPicture(const Text& path);

 public:
  // --- melody and image files, File and Help menus ------------------------
  void CMFILE_Click();
  void CMSAVEMMD_Click();
  void CMSAVEIMG_Click();
  void CMLOADMMD_Click();
  void CMLOADIMG_Click();
  // Dropped paths in the order the desktop delivered them.
  void Text4_OLEDragDrop(const std::vector<Text>& paths);
  void Image1_OLEDragDrop(const std::vector<Text>& paths);
  // The offer set from outside the window, and kept across starts.
  bool offerFiles(const std::vector<Text>& paths, std::string& reply);
  void restoreOffer();
  void CMHELPMENU_Click();
  void CMINFO_Click();

  // --- status box Text3 ---------------------------------------------------
  // Text becomes the line and CR LF; caret to the end.
  void showStatusLine(TextView line);
  // The line and CR LF are added to the end; caret to the end.
  void appendStatusLine(TextView line);
  // Adds text without a line end; the caret is not moved.
  void appendStatusText(TextView text);
  // Text becomes empty; the caret is not moved.
  void clearStatus();
  void statusCaretToEnd();
  // The caller's number, and "*" and the subaddress when one was reported,
  // as a line of its own; nothing when no number was reported.
  void appendCallerLine();
  void statusCaretToStart();

  // --- beyond the handlers: what an unattended server needs ---------------
  // The call in progress, told by the handlers where a call begins, is
  // answered, stores a record or ends; its end goes to recordEvents.
  CallRecord currentCall;
  void callRang();
  void callDialled(TextView number);
  void dialEnded(LineEventCode event);
  void callEnded(CallFault fault = CallFault::None);
  // This server took over the lock of one that died: the journal says so.
  void serverRestarted();
  // The line's own recovery: every poll tick looks at the line; the serial
  // line's notification reports a port that went away.
  LineWatch lineWatch;
  void watchLine();
  void lineLost();
  void hangupRefused();
  // A start of the server's own (the device returned, the modem restarted,
  // --start): tried again until the modem answers both commands.
  void startLineItself();
  void lineStartReplied(LineEventCode event);
  // --start: 開始 without a person at the keys, on the port of the settings;
  // a port that cannot be opened yet is waited for.
  void startUnattended();
  void lineStopped();
  // A record stored in slot 1 whose reply has gone out, told to recordEvents.
  void recordStored(RecordKind kind);
  // Shows what recordEvents have to say, unless a call is in progress.
  void sayRecordLines();
  // The start at login: the item's check mark follows the autostart entry
  // whenever the File menu opens, and a click makes or removes the entry.
  void loginStartShown();
  void loginStartClicked();
  // Set by the program; null where there is no desktop to start it.
  LoginStart* loginStart = nullptr;

  // The platform, named as the handlers know it.
  SerialLine& MSComm1;
  Timer& Timer1;
  Timer& Timer2;

 protected:
  Clock& clock_;
  Files& files_;
  Desktop& desktop_;
  std::vector<RecordEvents*> recordEvents_;
  StatusEcho* const echo_;

 private:
  // Takes the next complete result line of RxBuffer from `consumed` on and
  // advances `consumed` past it; false when no complete line is left.
  bool cutLine(std::size_t& consumed, Text& line);
  // What the poll tick remembers between the lines of one read.
  struct PollTickMemo;
  void handleResultLine(const Text& line, PollTickMemo& memo);
  // Reacts to one complete ATML message taken from RxBuffer.
  void dispatchAtmlMessage(TextView message, int kind);
  // A new call: identity cleared, stage and counters reset, state set.
  void startRinging(LineStateCode ringing);
  // Whether the status box's last line is `line`.
  bool statusEndsWith(const Text& line) const;
  // Adds `line` as a line of its own, unless the status box ends with it
  // already; a last line `replacing` gives way to it.
  void noteStatus(const Text& line, const Text& replacing = {});
  static Text recoveryNotice(CallFault fault);
  // The hang-up is being tried again: the status box and the journal say so.
  void hangupRetried();
};

}  // namespace ondrix
