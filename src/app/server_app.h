// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The server's start: the Qt objects of the platform, the core Form1 and its
// window, wired together, then the event loop.
#include <functional>

#include "qt/form1_window.h"

namespace ondrix {

// `shown` runs once the window is shown, before the event loop; `refused`
// runs with the message box of a start refused because another server holds
// the folder (given, the box is shown even with no screen: the automation
// reads it). The shipped program passes nothing, test builds attach their
// automation there.
int runServer(int argc, char** argv, const std::function<void(Form1Window&)>& shown = {},
              const std::function<void(QWidget&)>& refused = {});

}  // namespace ondrix
