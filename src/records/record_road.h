// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A record's road after the store: archived in the Maildir beside the store
// (and every record the store holds that never got there, caught up), told
// on the desktop, and handed to the new-mail hook, each once, whatever
// stopped an earlier run. It owns its state and what it has said.
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/hook_runner.h"
#include "platform/notifier.h"
#include "platform/record_archive.h"
#include "platform/timer.h"
#include "records/archive_ledger.h"
#include "state/record_events.h"

namespace ondrix {

class RecordRoad : public RecordEvents {
 public:
  // One record filed per tick while there is work: the window's tick stays
  // short. An archive that refuses is tried again after a second, then
  // after twice as long each time, up to a minute.
  static constexpr int kSliceMs = 20;
  static constexpr int kFirstRetryMs = 1000;
  static constexpr int kLastRetryMs = 60'000;

  RecordRoad(RecordArchive& archive, Notifier& notifier, HookRunner& hooks, Files& files,
             Clock& clock, Timer& timer);
  RecordRoad(const RecordRoad&) = delete;
  RecordRoad& operator=(const RecordRoad&) = delete;

  void storeLoaded(const MailStoreArrays& store, const Text& directory) override;
  void recordStored(const StoredRecord& record, const MailStoreArrays& store,
                    const std::optional<Text>& savedIn) override;
  void stopping() override;
  std::vector<Text> takeLines() override;
  // Called when the road's own tick or a hook's end has lines to show.
  void setOnLines(std::function<void()> handler) { onLines_ = std::move(handler); }
  // Called with the count once a catch-up has filed every record it found.
  void setOnCaughtUp(std::function<void(int)> handler) { onCaughtUp_ = std::move(handler); }

 private:
  struct Filing {
    StoredRecord record;
    std::string id;
    Text directory;     // where the store was: the Maildir and the hook beside it
    bool live = false;  // stored by this run: told on the desktop
    bool told = false;
    bool forward = true;     // handed to the hook once archived
    bool lookFirst = false;  // an earlier try may have reached new/ all the same
  };
  struct Forward {
    Text message;
    RecordKind kind;
    Text caller;
    std::string id;
    Text directory;
  };

  void tick();
  void tellDesktop();
  void catchUp();
  bool fileFirst();
  void filed(const Filing& filing, const Text& message);
  void runNextHook();
  void hookEnded(const HookEnd& end);
  void note(const Text& line);
  void mark(const Text& directory, Filed state, const std::string& id);
  void compact(const StoreIds& ids);
  Text messageWithId(const Text& directory, const std::string& id);

  RecordArchive& archive_;
  Notifier& notifier_;
  HookRunner& hooks_;
  Files& files_;
  Clock& clock_;
  Timer& timer_;
  const MailStoreArrays* store_ = nullptr;
  Text home_;              // the program directory: where the store was loaded
  bool caughtUp_ = false;  // the start's look at the store and the ledger is done
  bool stopping_ = false;
  std::deque<Filing> filings_;
  std::deque<Forward> forwards_;
  bool hookRunning_ = false;
  std::map<std::string, Filed> ledger_;
  std::size_t ledgerLines_ = 0;
  int retryMs_ = 0;
  int filedLate_ = 0;  // records of earlier runs filed by this catch-up
  bool refusedSaid_ = false;
  std::vector<Text> lines_;
  std::function<void()> onLines_;
  std::function<void(int)> onCaughtUp_;
};

}  // namespace ondrix
