// SPDX-License-Identifier: GPL-3.0-or-later
// The archive of every record stored (not written yet).
#include "state/form1.h"

namespace ondrix {

Text Form1::archiveRecord(const StoredRecord&) { return {}; }

}  // namespace ondrix
