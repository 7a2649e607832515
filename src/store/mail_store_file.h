// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mail store file "\amp.dat".
#include "core/text.h"
#include "platform/files.h"
#include "state/connection_state.h"

namespace ondrix {

// Its name in the program directory.
inline const Text kMailStoreFile = u"\\amp.dat";

void LoadMailStore(Files& files, const Text& path, MailStoreArrays& store);
// False when the file could not be written; it then stays as it was.
bool SaveMailStore(Files& files, const Text& path, const MailStoreArrays& store);

}  // namespace ondrix
