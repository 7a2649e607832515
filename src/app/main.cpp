// SPDX-License-Identifier: GPL-3.0-or-later
// The shipped server. Its only configuration is its settings file and its
// command line (--start, --dir, the offer's requests; see --help). It reads
// no environment variable of its own.
#include "app/server_app.h"

int main(int argc, char** argv) { return ondrix::runServer(argc, argv); }
