// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The control channel of a running simulator: a UNIX socket next to its COMn
// link. A client asks for a call; the simulator plays it on its line and
// streams the transcript back, then the verdict.
//
// Request: lines "call NAME", then option lines ("melody TEXT", "image TEXT",
// "sub TEXT", "calling NUMBER", "callingsub TEXT", "number N", "away MS",
// "unlink", "boot MS", "refusals N"), then an empty line.
// Reply: transcript lines prefixed "| ", then "= passed" or "= failed".
#include <string>

#include "call.h"

namespace linesim {

// "COM<port>.linesim" in `dir`.
std::string controlPath(const std::string& dir, int port);

std::string encodeRequest(const std::string& call, const CallOptions& options);
// Parses a complete request (up to its empty line); false with `error` when
// it is not one.
bool decodeRequest(const std::string& text, std::string& call, CallOptions& options,
                   std::string& error);

// A listening socket at `path` (a stale socket there is replaced), or -1.
int listenControl(const std::string& path, std::string& error);
// A connection to the simulator listening at `path`, or -1.
int connectControl(const std::string& path, std::string& error);

// Sends all of `text` on the socket `fd`; stops quietly when its reader is gone.
void sendAll(int fd, const std::string& text);

// Reads an offered element from a file: its bytes, without trailing line ends.
bool readElement(const std::string& path, std::string& element, std::string& error);

}  // namespace linesim
