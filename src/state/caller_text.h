// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The caller of a call or a record as everything beyond the status box
// writes it (the archive, the notice, the hook, the journal): one rule and
// one word for a call without a number.
#include "core/text.h"
#include "state/connection_state.h"

namespace ondrix {

// A call whose number was not reported, wherever a caller is written.
inline constexpr TextView kNoCaller = u"番号通知なし";

// The number, and "*" and the subaddress when one was reported; empty when
// no number was reported (a subaddress alone names nobody). A "-" ahead of
// the number is a dial separator that carries nothing, and a caller never
// begins with one, so no program takes it for an option.
inline Text callerText(TextView number, TextView subaddress) {
  const std::size_t first = number.find_first_not_of(u'-');
  if (first == TextView::npos) return {};
  Text caller(number.substr(first));
  if (isReported(Text(subaddress))) caller += u"*" + Text(subaddress);
  return caller;
}

// The same from the store's caller field ("number", "number*sub", "-*sub").
inline Text callerOfStored(TextView stored) {
  const std::size_t star = stored.find(u'*');
  if (star == TextView::npos) return callerText(stored, {});
  return callerText(stored.substr(0, star), stored.substr(star + 1));
}

// The caller, or kNoCaller.
inline Text callerOrNone(const Text& caller) { return caller.empty() ? Text(kNoCaller) : caller; }

}  // namespace ondrix
