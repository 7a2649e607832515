// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The autostart entry's text and what an entry found there says.
#include <optional>

#include "core/text.h"
#include "platform/login_start.h"

namespace ondrix {

// The entry that starts `programPath` with --start (and --dir `folder`,
// when one is given) at login, in UTF-8; nullopt when a path cannot stand
// in an entry's command (not absolute, or holding a control character).
std::optional<Bytes> loginEntryBytes(const Text& programPath, const Text& folder = {});

// What a click on the item does, from what stands where the entry goes.
enum class LoginStartStep : std::int16_t { Write, Remove, Refuse };

// Whether the desktop starts the program at login: an entry stands there
// and neither hides itself nor is switched off.
bool loginEntryActive(LoginEntryPlace place, const Bytes& content);
LoginStartStep loginStartStep(LoginEntryPlace place, const Bytes& content);

}  // namespace ondrix
