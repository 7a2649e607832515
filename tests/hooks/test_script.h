// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test-only automation of the real window (see test_script.cpp).
#include <QWidget>

namespace ondrix {

// Runs the script named by ONDRIX_TEST_SCRIPT against the window, if set:
// the main window, or the message box of a refused start.
void startTestScriptIfAsked(QWidget& window);

}  // namespace ondrix
