// SPDX-License-Identifier: GPL-3.0-or-later
// The Help menu. The about box itself is a window of the desktop layer.
#include "state/form1.h"

namespace ondrix {

void Form1::CMHELPMENU_Click() { desktop_.openHelp(AppDir + u"\\Tavixsv.hlp"); }

void Form1::CMINFO_Click() { desktop_.showAbout(); }

}  // namespace ondrix
