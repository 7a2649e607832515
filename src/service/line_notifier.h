// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The notices of a server that serves one of several lines: each names its
// line, so the operator knows which line took the record.
#include "platform/notifier.h"

namespace ondrix {

class LineNotifier : public Notifier {
 public:
  LineNotifier(Notifier& notifier, Text line) : notifier_(notifier), line_(std::move(line)) {}
  void notify(const DesktopNotice& notice) override {
    DesktopNotice named = notice;
    named.summary += u"（" + line_ + u"）";
    notifier_.notify(named);
  }

 private:
  Notifier& notifier_;
  Text line_;
};

}  // namespace ondrix
