// SPDX-License-Identifier: GPL-3.0-or-later
// The shipped server. Its only configuration is its settings file: it reads
// no command line and no environment variable of its own.
#include "app/server_app.h"

int main(int argc, char** argv) { return ondrix::runServer(argc, argv); }
