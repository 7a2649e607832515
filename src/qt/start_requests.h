// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The start's requests: the data folder the command line names, a request
// handed to the server already serving it, and that server's answers.
#include <QString>
#include <string>

#include "qt/store_lock.h"
#include "service/start_options.h"

namespace ondrix {

class Form1;
class Form1Window;

// The folder of --dir, made the owner's alone when missing, or the program
// directory; empty, with a line on standard error, when it cannot be made.
QString dataFolder(const StartOptions& options);

// Hands the start's request to the server holding `lock`'s folder and prints
// its reply; the exit status.
int askServingServer(const StoreLock& lock, const StartOptions& options);

// What the server serving the folder answers to a request over its channel.
StoreLock::Reply answerStartRequest(Form1& form, Form1Window& window, const std::string& request);

// The start's own offer (--offer, --withdraw), once the window is up, printed
// as a second start would print the reply; false when it was refused.
bool offerAtStart(Form1& form, const StartOptions& options);

}  // namespace ondrix
