// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulator's command line: its options, their defaults and the usage
// text of both forms (the running modem, and `call NAME` against it).
#include <cstdio>
#include <string>
#include <vector>

#include "call.h"
#include "modem.h"

namespace linesim {

struct Options {
  std::string dir = ".";
  int port = 1;
  std::string log;
  std::string report;
  std::string noise;
  ModemConfig modem;
  std::vector<std::string> calls;
  CallOptions call;
};

void usage(std::FILE* to);

// A port number, 1 to 99.
bool parseNumber(const std::string& v, int& out);

// Options shared by both forms; `i` is advanced past a value taken.
// Returns 1 when taken, 0 when not an option of these, -1 on a bad value.
int parseCallOption(int argc, char** argv, int& i, CallOptions& o, std::string& error);

// The running modem's form; false on a usage error (`error` says which when
// it can).
bool parse(int argc, char** argv, Options& o, std::string& error);

}  // namespace linesim
