// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fakes of the platform interfaces, for driving handlers in tests.
#include <deque>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/text.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/hook_runner.h"
#include "platform/login_start.h"
#include "platform/notifier.h"
#include "platform/serial_line.h"
#include "platform/timer.h"

namespace ondrix {

// gtest prints texts as UTF-8.
void PrintTo(const Text& text, std::ostream* os);

// Scripted input chunks (one chunk per read), recorded writes, settable
// carrier, raisable line events, and a set of ports that exist.
class FakeSerialLine : public SerialLine {
 public:
  bool selectPort(std::int16_t port) override;
  bool open() override;
  bool isOpen() const override { return open_; }
  void close() override;
  int pendingInput() override;
  Text readAll() override;
  void write(const Text& text) override;
  bool carrierDetect() const override { return carrier_; }
  bool setDataTerminalReady(bool on) override;
  CommEvent commEvent() const override { return event_; }

  // Test side.
  // The device goes away under the open port: it closes and reports a
  // carrier drop, as the real line does; it cannot be opened until it is
  // back.
  void vanish();
  void comeBack() { gone_ = false; }
  // Whether the device has modem control lines; the DTR levels set, in order.
  void setModemLines(bool present) { modemLines_ = present; }
  const std::vector<bool>& dtrChanges() const { return dtr_; }
  void feed(const Text& chunk) { chunks_.push_back(chunk); }
  void setCarrier(bool on) { carrier_ = on; }
  // Sets the carrier and reports the change through the notification.
  void raiseCarrierChange(bool on);
  void raiseEvent(CommEvent kind);
  // Ports 1..9 that open; default: all.
  void setAvailablePorts(std::set<std::int16_t> ports) { available_ = std::move(ports); }
  std::int16_t selectedPort() const { return port_; }
  const std::vector<std::int16_t>& openedPorts() const { return opened_; }
  int closeCount() const { return closes_; }
  // All writes in order, and their concatenation.
  const std::vector<Text>& writes() const { return writes_; }
  Text written() const;
  void clearWrites() { writes_.clear(); }
  std::size_t pendingChunks() const { return chunks_.size(); }

 private:
  std::deque<Text> chunks_;
  std::vector<Text> writes_;
  std::set<std::int16_t> available_{1, 2, 3, 4, 5, 6, 7, 8, 9};
  std::vector<std::int16_t> opened_;
  std::int16_t port_ = 0;
  bool open_ = false;
  bool carrier_ = false;
  bool gone_ = false;
  bool modemLines_ = false;
  std::vector<bool> dtr_;
  int closes_ = 0;
  CommEvent event_ = CommEvent::None;
};

class FakeTimer : public Timer {
 public:
  void setInterval(int milliseconds) override {
    interval_ = milliseconds;
    intervals_.push_back(milliseconds);
  }
  int interval() const override { return interval_; }
  // Delivers one tick, as the event loop would (only while running).
  void fire() {
    if (interval_ > 0) tick();
  }
  const std::vector<int>& history() const { return intervals_; }

 private:
  int interval_ = 0;
  std::vector<int> intervals_;
};

class FakeClock : public Clock {
 public:
  LocalTime now() const override { return now_; }
  void set(const LocalTime& t) { now_ = t; }

 private:
  LocalTime now_{2026, 12, 6, 7, 45, 0};
};

// In-memory files. Text files and binary files are kept apart; a path is
// normalised the way the real implementation maps names (separators
// unified, the spelling exact).
class FakeFiles : public Files {
 public:
  std::optional<Text> readText(const Text& path) override;
  bool writeText(const Text& path, const Text& text) override;
  // Texts written as bytes are their UTF-16 units, and read back whole.
  void appendEncoded(TextView text, Bytes& out) override;
  std::optional<Bytes> readBytes(const Text& path) override;
  bool writeBytes(const Text& path, const Bytes& bytes) override;
  std::optional<std::int64_t> appendBytes(const Text& path, const Bytes& bytes) override;
  bool rename(const Text& from, const Text& to) override;
  bool copy(const Text& from, const Text& to) override;
  bool exists(const Text& path) override;
  bool isDirectory(const Text& path) override;
  Text programDirectory() override { return programDir_; }
  Text fallbackDirectory() override { return fallbackDir_; }
  void setCurrentDirectory(const Text& path) override { currentDirs_.push_back(path); }

  // Test side.
  void setProgramDirectory(const Text& dir) { programDir_ = dir; }
  void addDirectory(const Text& path) { dirs_.insert(key(path)); }
  void setFailWrites(bool fail) { failWrites_ = fail; }
  void setFallbackDirectory(const Text& dir) { fallbackDir_ = dir; }
  // Writes into `dir` fail from now on (or succeed again).
  void setReadOnly(const Text& dir, bool readOnly = true) {
    if (readOnly) {
      readOnlyDirs_.insert(key(dir) + "/");
    } else {
      readOnlyDirs_.erase(key(dir) + "/");
    }
  }
  // How many appends succeeded, and the bytes of the last one.
  std::size_t appendCount() const { return appends_; }
  const Bytes& lastAppended() const { return lastAppended_; }
  // Order in which files were written (normalised paths).
  const std::vector<std::string>& writeLog() const { return writeLog_; }
  const std::vector<Text>& currentDirectories() const { return currentDirs_; }
  static std::string key(const Text& path);

 private:
  std::map<std::string, Text> texts_;
  std::map<std::string, Bytes> bytes_;
  std::set<std::string> dirs_;
  std::vector<std::string> writeLog_;
  std::vector<Text> currentDirs_;
  Text programDir_ = u"/opt/ondrix";
  Text fallbackDir_;
  std::set<std::string> readOnlyDirs_;
  std::size_t appends_ = 0;
  Bytes lastAppended_;
  bool failWrites_ = false;
  bool refuses(const std::string& key) const;
};

// Records every request; dialogs answer from a queue (empty: cancelled).
class FakeDesktop : public Desktop {
 public:
  void messageBox(const Text& message) override { messages.push_back(message); }
  std::optional<Text> openFileDialog(const FileDialogSetup& setup) override {
    return answerDialog(setup, false);
  }
  std::optional<Text> saveFileDialog(const FileDialogSetup& setup) override {
    return answerDialog(setup, true);
  }
  void openHelp(const Text& path) override { helpOpened.push_back(path); }
  bool startProgram(const Text& commandLine, const Text& argument) override {
    started.push_back({commandLine, argument});
    return startSucceeds;
  }
  bool showPicture(const Text& bitmapPath) override {
    pictures.push_back(bitmapPath);
    return unshowablePictures.count(bitmapPath) == 0;
  }
  void showPreview(const Text& bitmapPath) override { previews.push_back(bitmapPath); }
  void showAbout() override { ++aboutShown; }

  std::vector<Text> messages;
  std::vector<FileDialogSetup> dialogs;
  // For each dialog shown: true for a save dialog, false for an open one.
  std::vector<bool> dialogIsSave;
  // Answers of the next dialogs, in order; nullopt is a cancel.
  std::deque<std::optional<Text>> dialogAnswers;
  std::vector<Text> helpOpened;
  std::vector<std::pair<Text, Text>> started;
  bool startSucceeds = true;
  // Every path given to the picture box; those in the set it cannot show.
  std::vector<Text> pictures;
  std::set<Text> unshowablePictures;
  std::vector<Text> previews;
  // Runs while a dialog is open, as the event loop would run a tick.
  std::function<void()> whileDialogOpen;
  int aboutShown = 0;

 private:
  std::optional<Text> answerDialog(const FileDialogSetup& setup, bool save) {
    dialogs.push_back(setup);
    dialogIsSave.push_back(save);
    if (whileDialogOpen) whileDialogOpen();
    if (dialogAnswers.empty()) return std::nullopt;
    std::optional<Text> a = dialogAnswers.front();
    dialogAnswers.pop_front();
    return a;
  }
};

// The autostart folder in memory. Writes and removals are counted and fail
// while told to; what stands there changes only when they succeed.
class FakeLoginStart : public LoginStart {
 public:
  LoginEntryPlace look(Bytes& content) override {
    content = entry;
    return place;
  }
  Text programPath() override { return u"/usr/bin/ondrix-server"; }
  bool write(const Bytes& bytes) override { return ++writes && writeSucceeds && put(bytes); }
  bool remove() override { return ++removals && removeSucceeds && put({}); }

  LoginEntryPlace place = LoginEntryPlace::Free;
  Bytes entry;
  bool writeSucceeds = true, removeSucceeds = true;
  int writes = 0, removals = 0;

 private:
  bool put(const Bytes& bytes) {
    place = bytes.empty() ? LoginEntryPlace::Free : LoginEntryPlace::Entry;
    entry = bytes;
    return true;
  }
};

class FakeNotifier : public Notifier {
 public:
  void notify(const DesktopNotice& notice) override { notices.push_back(notice); }
  std::vector<DesktopNotice> notices;
};

// inspect() answers from `files` (absent otherwise); finishRun() reports an
// end as the real runner does later.
class FakeHookRunner : public HookRunner {
 public:
  HookFileFacts inspect(const Text& path) override { return files[path]; }
  void run(const HookCall& call) override { runs.push_back(call); }
  void finishRun(const HookEnd& end) { ended(end); }
  std::map<Text, HookFileFacts> files;
  std::vector<HookCall> runs;
};

}  // namespace ondrix
