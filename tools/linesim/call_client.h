// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `ondrix-linesim call NAME ...`: asks the running simulator for one call
// and prints its transcript.
namespace linesim {

// `argv[0]` is "call"; returns the exit status the usage text gives.
int callClient(int argc, char** argv);

}  // namespace linesim
