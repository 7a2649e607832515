// SPDX-License-Identifier: GPL-3.0-or-later
// What the operator is told of each record stored (nothing yet).
#include "state/form1.h"

namespace ondrix {

void Form1::announceRecord(const StoredRecord&, const Text&) {}

}  // namespace ondrix
