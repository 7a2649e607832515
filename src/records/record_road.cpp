// SPDX-License-Identifier: GPL-3.0-or-later
// A record's road: what a stored record leads to, the desktop notice, and
// the new-mail hook beside the store, which forwards the archived message
// one record at a time, in order, so each end is the end of a known record.
#include "records/record_road.h"

#include <utility>

#include "records/desktop_notice.h"
#include "records/new_mail_hook.h"
#include "state/status_texts.h"

namespace ondrix {

RecordRoad::RecordRoad(RecordArchive& archive, Notifier& notifier, HookRunner& hooks, Files& files,
                       Clock& clock, Timer& timer)
    : archive_(archive),
      notifier_(notifier),
      hooks_(hooks),
      files_(files),
      clock_(clock),
      timer_(timer) {
  timer_.setOnTick([this] { tick(); });
  hooks_.setOnEnded([this](const HookEnd& end) { hookEnded(end); });
}

void RecordRoad::storeLoaded(const MailStoreArrays& store, const Text& directory) {
  store_ = &store;
  home_ = directory;
  caughtUp_ = false;
  // Once the window is shown: the loop's first turns are the window's.
  timer_.setInterval(kSliceMs);
}

void RecordRoad::recordStored(const StoredRecord& record, const MailStoreArrays& store,
                              const std::optional<Text>& savedIn) {
  store_ = &store;
  Filing filing;
  filing.record = record;
  filing.id = newestId(store);
  // The archive and the hook lie beside the store, wherever it went.
  filing.directory = savedIn.value_or(home_);
  filing.live = true;
  filings_.push_back(std::move(filing));
  // What fell out of the store cannot be filed any more.
  while (filings_.size() > static_cast<std::size_t>(kMailSlots)) filings_.pop_front();
  // The reply is still in the port's buffer: a delivery now, synced twice,
  // would hold it back. A refusing archive keeps its pause.
  if (retryMs_ == 0) timer_.setInterval(kSliceMs);
}

void RecordRoad::tellDesktop() {
  // This run's records are told at once, whether or not the archive takes
  // them.
  for (Filing& filing : filings_) {
    if (filing.live && !filing.told) notifier_.notify(desktopNotice(filing.record));
    filing.told = true;
  }
}

void RecordRoad::stopping() {
  stopping_ = true;
  timer_.setInterval(0);
  tellDesktop();
  // This run's records are filed now; the rest, and every hook not yet
  // ended, wait for the next start, as the ledger says.
  while (!filings_.empty() && filings_.front().live && fileFirst()) filings_.pop_front();
}

std::vector<Text> RecordRoad::takeLines() { return std::exchange(lines_, {}); }

void RecordRoad::note(const Text& line) { lines_.push_back(line); }

void RecordRoad::tick() {
  if (!caughtUp_) catchUp();
  tellDesktop();
  if (!filings_.empty()) {
    if (fileFirst()) {
      filings_.pop_front();
      retryMs_ = 0;
    } else {
      retryMs_ = retryMs_ == 0 ? kFirstRetryMs : std::min(retryMs_ * 2, kLastRetryMs);
    }
  }
  if (filings_.empty() && filedLate_ > 0) {
    note(Text(status::kArchiveCaughtUpBefore) + decimal(filedLate_) +
         Text(status::kArchiveCaughtUpAfter));
    if (onCaughtUp_) onCaughtUp_(filedLate_);
    filedLate_ = 0;
  }
  timer_.setInterval(filings_.empty() ? 0 : retryMs_ > 0 ? retryMs_ : kSliceMs);
  if (!lines_.empty() && onLines_) onLines_();
}

void RecordRoad::filed(const Filing& filing, const Text& message) {
  // An older store's import is no record left out: the box stays as it was.
  if (!filing.live && filing.forward) ++filedLate_;
  const Text hook = filing.directory + kNewMailHookFile;
  const HookVerdict verdict =
      filing.forward ? hookVerdict(hooks_.inspect(hook)) : HookVerdict::Absent;
  if (verdict != HookVerdict::Run) {
    if (verdict != HookVerdict::Absent) note(hookRefusalLine(verdict));
    mark(filing.directory, Filed::Done, filing.id);
    return;
  }
  // Until its hook has ended, a record is forwarded again at the next start.
  mark(filing.directory, Filed::Archived, filing.id);
  forwards_.push_back(
      {message, filing.record.kind, filing.record.caller, filing.id, filing.directory});
  runNextHook();
}

void RecordRoad::runNextHook() {
  while (!hookRunning_ && !stopping_ && !forwards_.empty()) {
    const Forward& next = forwards_.front();
    const Text hook = next.directory + kNewMailHookFile;
    // Asked again when it comes to run: a hook owed since an earlier run
    // may have been removed or opened to others since.
    const HookVerdict verdict = hookVerdict(hooks_.inspect(hook));
    if (verdict == HookVerdict::Run) {
      hookRunning_ = true;
      hooks_.run({hook, hookArguments(next.kind, next.caller, next.message), home_, next.message});
      return;
    }
    if (verdict != HookVerdict::Absent) note(hookRefusalLine(verdict));
    mark(next.directory, Filed::Done, next.id);
    forwards_.pop_front();
  }
}

void RecordRoad::hookEnded(const HookEnd& end) {
  if (!hookRunning_ || forwards_.empty()) return;
  hookRunning_ = false;
  const Forward ended = std::move(forwards_.front());
  forwards_.pop_front();
  mark(ended.directory, Filed::Done, ended.id);
  const Text line = hookEndLine(end);
  if (!line.empty()) note(line);
  runNextHook();
  if (!lines_.empty() && onLines_) onLines_();
}

}  // namespace ondrix
