// SPDX-License-Identifier: GPL-3.0-or-later
// ondrix-server-scripted: the server built from the same sources with the
// test-only automation attached (see test_script.cpp). Only the end-to-end
// tests and the screenshot script use it; it is never installed.
#include <QFile>
#include <cstdio>

#include "app/server_app.h"
#include "test_script.h"

#ifdef __linux__
#include <time.h>
#include <unistd.h>
#endif

namespace {

// Milliseconds since the process was started by the system (not since
// main()), or -1 where that cannot be told.
long long msSinceProcessStart() {
#ifdef __linux__
  QFile stat(QStringLiteral("/proc/self/stat"));
  if (!stat.open(QIODevice::ReadOnly)) return -1;
  const QByteArray line = stat.readAll();
  // The fields after the command name (which may hold blanks) start at ')'.
  const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
  if (fields.size() < 20) return -1;
  const double startTicks = fields[19].toDouble();  // field 22: start time
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double nowMs = static_cast<double>(now.tv_sec) * 1000.0 + now.tv_nsec / 1e6;
  return static_cast<long long>(nowMs - startTicks * 1000.0 / sysconf(_SC_CLK_TCK));
#else
  return -1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  return ondrix::runServer(
      argc, argv,
      [](ondrix::Form1Window& window) {
        if (qEnvironmentVariableIsSet("ONDRIX_REPORT_STARTUP")) {
          QObject::connect(&window, &ondrix::Form1Window::firstPainted, &window, [] {
            std::fprintf(stderr, "ondrix-server: window shown %lld ms after process start\n",
                         msSinceProcessStart());
          });
        }
        ondrix::startTestScriptIfAsked(window);
      },
      // Only a script reads the box of a refused start; without one, the
      // start is refused as the shipped program's is.
      qEnvironmentVariableIsSet("ONDRIX_TEST_SCRIPT")
          ? std::function<void(QWidget&)>([](QWidget& box) { ondrix::startTestScriptIfAsked(box); })
          : std::function<void(QWidget&)>());
}
