// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test-only automation of the real window (see test_script.cpp).
#include "qt/form1_window.h"

namespace ondrix {

// Runs the script named by ONDRIX_TEST_SCRIPT against the window, if set.
void startTestScriptIfAsked(Form1Window& window);

}  // namespace ondrix
