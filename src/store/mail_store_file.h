#pragma once
// The mail store file "\amp.dat".
#include "core/text.h"
#include "state/connection_state.h"
#include "platform/files.h"

namespace ondrix {

void LoadMailStore(Files& files, const Text& path, MailStoreArrays& store);
// False when the file could not be written; it then stays as it was.
bool SaveMailStore(Files& files, const Text& path, const MailStoreArrays& store);

}  // namespace ondrix
