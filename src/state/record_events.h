// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What Form1 tells the consumers of its records and calls (the archive,
// the notice and the hook; the call journal), and the status lines they
// hand back for the operator. Form1 knows nothing else of them.
#include <optional>
#include <vector>

#include "core/text.h"
#include "platform/clock.h"
#include "state/call_record.h"
#include "state/connection_state.h"
#include "state/stored_record.h"

namespace ondrix {

class RecordEvents {
 public:
  virtual ~RecordEvents() = default;
  // The store was loaded from `directory` at the start.
  virtual void storeLoaded(const MailStoreArrays& /*store*/, const Text& /*directory*/) {}
  // `record` went into slot 1 of `store` and its reply has gone out;
  // `savedIn` is the directory the store reached, none when no disk took it.
  virtual void recordStored(const StoredRecord& /*record*/, const MailStoreArrays& /*store*/,
                            const std::optional<Text>& /*savedIn*/) {}
  // A call has ended, after its end notice.
  virtual void callEnded(const CallRecord& /*call*/) {}
  // This server took over the lock of one that died.
  virtual void serverRestarted(const LocalTime& /*at*/) {}
  // The window is closing.
  virtual void stopping() {}
  // Status lines to show; taken only while no call is in progress, whose
  // end notice would replace them, so a line taken is a line seen.
  virtual std::vector<Text> takeLines() { return {}; }
};

}  // namespace ondrix
