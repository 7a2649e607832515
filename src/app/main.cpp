// The server's entry point: the Qt objects of the platform, the core Form1
// and its window, wired together, then the event loop.
#include <QApplication>
#include <QFile>
#include <cstdio>

#include "app/test_script.h"
#include "state/form1.h"
#include "platform/qt/form1_window.h"
#include "platform/qt/qt_clock.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_files.h"
#include "platform/qt/qt_serial_line.h"
#include "platform/qt/qt_timer.h"

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
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ondrix Server"));

  ondrix::QtFiles files;
  ondrix::QtSerialLine serial(files.programDirectory());
  ondrix::QtTimer timer1;
  ondrix::QtTimer timer2;
  ondrix::QtClock clock;
  ondrix::QtDesktop desktop;

  ondrix::Form1 form({serial, timer1, timer2, clock, files, desktop});
  ondrix::Form1Window window(form);
  desktop.setOwner(&window);

  // Every event the core handles is followed by a refresh of the widgets.
  timer1.setOnTick([&] {
    form.Timer1_Timer();
    window.refresh();
  });
  timer2.setOnTick([&] {
    form.Timer2_Timer();
    window.refresh();
  });
  serial.setOnComm([&] {
    form.MSComm1_OnComm();
    window.refresh();
  });

  if (qEnvironmentVariableIsSet("ONDRIX_REPORT_STARTUP")) {
    QObject::connect(&window, &ondrix::Form1Window::firstPainted, &window, [] {
      std::fprintf(stderr, "ondrix-server: window shown %lld ms after process start\n",
                   msSinceProcessStart());
    });
  }

  form.Form_Load();
  window.refresh();
  window.show();

  ondrix::startTestScriptIfAsked(window);
  return QApplication::exec();
}
