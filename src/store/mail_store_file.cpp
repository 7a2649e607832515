#include "store/mail_store_file.h"

namespace ondrix {

// Not built yet.
void LoadMailStore(Files&, const Text&, MailStoreArrays&) {}
void SaveMailStore(Files&, const Text&, const MailStoreArrays&) {}

}  // namespace ondrix
