// SPDX-License-Identifier: GPL-3.0-or-later
// The shipped server. Its only configuration is its settings file; its one
// option, --start, starts the line without a person at the keys. It reads no
// environment variable of its own.
#include "app/server_app.h"

int main(int argc, char** argv) { return ondrix::runServer(argc, argv); }
