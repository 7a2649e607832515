// SPDX-License-Identifier: GPL-3.0-or-later
// Reads the simulator's command line into Options and CallOptions.
#include "options.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "control.h"
#include "startup.h"

namespace linesim {

void usage(std::FILE* to) {
  std::fputs(
      "usage: ondrix-linesim [options]\n"
      "       ondrix-linesim call NAME [--dir DIR] [--port N] [call options]\n"
      "The first form runs the simulated modem; the second makes a call arrive on a\n"
      "simulator that is already running (on port N of DIR; DIR defaults to the\n"
      "directory of this program, where scripts/run.sh starts it), prints the\n"
      "dialogue and exits 0 when the server answered every step as expected,\n"
      "1 when not (saying where), 2 on a usage error or when no simulator runs.\n"
      "\n"
      "Options:\n"
      "  --dir DIR        program directory of the server (default: .); made, with\n"
      "                   its missing parents, the owner's alone, when not there\n"
      "  --port N         link the line as COM<N> in DIR (default: 1)\n"
      "  --model TEXT     model line answered to ati3 (default: QV-M7)\n"
      "  --start CMD      start command answered OK (default: at#sy1=40)\n"
      "  --setup CMD      set-up command answered OK (default: atu3v1q0\\v2#ps2=1)\n"
      "  --ok CMD         one more command answered OK (repeatable)\n"
      "  --no-echo        do not echo what the server sends\n"
      "  --silent         never answer (the server's replies time out)\n"
      "  --log FILE       append every byte received from the server to FILE\n"
      "  --noise FILE     send FILE's bytes, once, as soon as the server has started\n"
      "                   the line (line noise before any call)\n"
      "  --call NAME      play this call once the server has started the line\n"
      "                   (repeatable; calls follow each other)\n"
      "  --report FILE    append each call's verdict to FILE\n"
      "Call options:\n"
      "  --melody FILE    a melody the operator offers: FILE holds its element\n"
      "                   text (\"<MEL=...>\"); repeatable, in the order offered\n"
      "  --image FILE     an offered image: FILE holds its element text\n"
      "                   (\"<IMAGE>...</IMAGE>\"); repeatable, in order\n"
      "  --sub TEXT       connected subaddress (the voice call's message, or the\n"
      "                   service another data call asks for)\n"
      "  --calling N[/S]  the caller's number and subaddress\n"
      "  --number N       the number the operator dials in the dial call\n"
      "                   (default: 0312345678)\n"
      "  --away SECONDS   how long the unplug call keeps the device away (default: 3)\n"
      "  --unlink         the unplug call removes the COM<N> link with the device and\n"
      "                   makes it again when the device returns\n"
      "  --boot-delay N   the modem of the returned device answers nothing, not even\n"
      "                   an echo, for N seconds (default: 0); the server must then\n"
      "                   send its start command again within 65 s\n"
      "  --refusals N     hang-ups the modem refuses in the hang-up calls, 1 to 4\n"
      "                   (default: 1; 4: every try, so the server starts the modem anew)\n"
      "Calls:\n"
      "  terminal    a terminal logs in, uploads a mail, takes every offered page\n"
      "  voice       a voice call carrying a message in its subaddress\n"
      "  unanswered  a ring for nobody: the server must not answer\n"
      "  other       a data ring for another service: must not be answered\n"
      "  lost        the carrier drops in the middle of an upload\n"
      "  dial        the operator dials with the keypad (\"atdv\" and the number)\n"
      "              and stops the ringing dial with the cut key (\"at\")\n"
      "  answer      a voice ring without message: the operator answers with the\n"
      "              call key and hangs up with the cut key (\"+++\", then \"ath\")\n"
      "  unplug      the device is removed while the server waits for calls and\n"
      "              returned (a new pseudo-terminal behind the same COM<N> link);\n"
      "              the server must send its start command again, unprompted,\n"
      "              within 30 s\n"
      "  hangup-error   a voice call whose hang-up the modem answers \"ERROR\";\n"
      "              the server must try again (escape, \"ath\") and, after three\n"
      "              refused tries, send its start command\n"
      "  hangup-silent  the same with no answer at all to the hang-up\n"
      "A pseudo-terminal has no modem control lines, so the server's DTR drop\n"
      "before a new try cannot be seen here; it pauses a second instead.\n"
      "The running simulator stops on SIGINT or SIGTERM and removes its COM<N> link;\n"
      "its exit status is 1 when a call of --call failed or was never played.\n",
      to);
}

namespace {

// Seconds, 0 to an hour, fractions allowed, as milliseconds.
bool parseSeconds(const std::string& v, int& ms) {
  char* end = nullptr;
  const double seconds = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != '\0' || seconds < 0 || seconds > 3600) return false;
  ms = static_cast<int>(seconds * 1000);
  return true;
}

}  // namespace

bool parseNumber(const std::string& v, int& out) {
  char* end = nullptr;
  const long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != '\0' || n < 1 || n > 99) return false;
  out = static_cast<int>(n);
  return true;
}

// Options shared by both forms; `i` is advanced past a value taken.
// Returns 1 when taken, 0 when not an option of these, -1 on a bad value.
int parseCallOption(int argc, char** argv, int& i, CallOptions& o, std::string& error) {
  const std::string a = argv[i];
  if (a == "--unlink") {
    o.unlink = true;
    return 1;
  }
  if (a != "--melody" && a != "--image" && a != "--sub" && a != "--calling" && a != "--number" &&
      a != "--away" && a != "--boot-delay" && a != "--refusals") {
    return 0;
  }
  if (i + 1 >= argc) return -1;
  const std::string v = argv[++i];
  if (a == "--sub") {
    o.subaddress = v;
  } else if (a == "--number") {
    o.dialNumber = v;
  } else if (a == "--away") {
    if (!parseSeconds(v, o.awayMs)) return -1;
  } else if (a == "--boot-delay") {
    if (!parseSeconds(v, o.bootMs)) return -1;
  } else if (a == "--refusals") {
    if (!parseNumber(v, o.refusals)) return -1;
  } else if (a == "--calling") {
    const std::size_t slash = v.find('/');
    o.callingId = v.substr(0, slash);
    if (slash != std::string::npos) o.callingSub = v.substr(slash + 1);
  } else {
    std::string element;
    if (!readElement(v, element, error)) return -1;
    (a == "--melody" ? o.offer.melodies : o.offer.images).push_back(element);
  }
  return 1;
}

bool parse(int argc, char** argv, Options& o, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const int taken = parseCallOption(argc, argv, i, o.call, error);
    if (taken < 0) return false;
    if (taken > 0) continue;
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--dir") {
      if (!value(o.dir)) return false;
    } else if (a == "--port") {
      if (!value(v) || !parseNumber(v, o.port)) return false;
    } else if (a == "--model") {
      if (!value(o.modem.model)) return false;
    } else if (a == "--start") {
      if (!value(o.modem.startCommand)) return false;
    } else if (a == "--setup") {
      if (!value(o.modem.setupCommand)) return false;
    } else if (a == "--ok") {
      if (!value(v)) return false;
      o.modem.extraOk.push_back(v);
    } else if (a == "--no-echo") {
      o.modem.echo = false;
    } else if (a == "--silent") {
      o.modem.silent = true;
    } else if (a == "--log") {
      if (!value(o.log)) return false;
    } else if (a == "--report") {
      if (!value(o.report)) return false;
    } else if (a == "--noise") {
      if (!value(v)) return false;
      std::ifstream in(v, std::ios::binary);
      if (!in) {
        error = startFailure(StartFailure::Noise, v, errno);
        return false;
      }
      o.noise.assign(std::istreambuf_iterator<char>(in), {});
    } else if (a == "--call") {
      if (!value(v)) return false;
      o.calls.push_back(v);
    } else {
      error = "unknown option " + a;
      return false;
    }
  }
  return true;
}

}  // namespace linesim
