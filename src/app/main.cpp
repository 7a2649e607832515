// The server's entry point: the Qt objects of the platform, the core Form1
// and its window, wired together, then the event loop.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "console/form1.h"
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

// Test-only automation. The system itself takes no command line and no
// configuration besides its settings file; the end-to-end tests, however,
// must press buttons and read the status box of the real window. When the
// environment variable ONDRIX_TEST_SCRIPT names a file, its lines are run in
// order once the window is shown:
//   click NAME              click the button (or trigger the menu item) NAME
//   wait MS                 let the event loop run for MS milliseconds
//   waitfor MS NAME TEXT    wait up to MS ms until control NAME shows TEXT
//   dump NAME FILE          write the text control NAME shows to FILE (UTF-8)
//   enabled NAME FILE       write 1 to FILE when control NAME is enabled, else 0
//   close                   close the window as the operator would
// Failures are reported on standard error; the script carries on.
class TestScript : public QObject {
 public:
  TestScript(ondrix::Form1Window& window, QStringList lines)
      : window_(window), lines_(std::move(lines)) {
    poll_.setInterval(20);
    connect(&poll_, &QTimer::timeout, this, [this] { step(); });
  }
  void start() {
    QTimer::singleShot(0, this, [this] { step(); });
  }

 private:
  QString shownText(const QString& name) const {
    if (auto* b = window_.findChild<QAbstractButton*>(name)) return b->text();
    if (auto* e = window_.findChild<QLineEdit*>(name)) return e->text();
    if (auto* t = window_.findChild<QPlainTextEdit*>(name)) return t->toPlainText();
    return {};
  }

  void fail(const QString& what) {
    std::fprintf(stderr, "ondrix-server: test script: %s\n", qUtf8Printable(what));
  }

  void step() {
    poll_.stop();
    while (next_ < lines_.size()) {
      const QString line = lines_[next_].trimmed();
      const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
      if (w.isEmpty() || line.startsWith(QLatin1Char('#'))) {
        ++next_;
        continue;
      }
      const QString cmd = w[0];
      if (cmd == QLatin1String("waitfor") && w.size() >= 4) {
        if (!waiting_.isValid()) waiting_.start();
        const QString text = line.section(QLatin1Char(' '), 3, -1, QString::SectionSkipEmpty);
        if (!shownText(w[2]).contains(text)) {
          if (waiting_.elapsed() < w[1].toLongLong()) {
            poll_.start();
            return;
          }
          fail(QStringLiteral("timed out waiting for %1 to show %2").arg(w[2], text));
        }
        waiting_.invalidate();
      } else if (cmd == QLatin1String("wait") && w.size() == 2) {
        ++next_;
        QTimer::singleShot(w[1].toInt(), this, [this] { step(); });
        return;
      } else if (cmd == QLatin1String("click") && w.size() == 2) {
        if (auto* b = window_.findChild<QAbstractButton*>(w[1])) {
          b->click();
        } else if (auto* a = window_.findChild<QAction*>(w[1])) {
          a->trigger();
        } else {
          fail(QStringLiteral("no control %1").arg(w[1]));
        }
      } else if (cmd == QLatin1String("dump") && w.size() == 3) {
        QFile out(w[2]);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
          out.write(shownText(w[1]).toUtf8());
        } else {
          fail(QStringLiteral("cannot write %1").arg(w[2]));
        }
      } else if (cmd == QLatin1String("enabled") && w.size() == 3) {
        QWidget* control = window_.findChild<QWidget*>(w[1]);
        QFile out(w[2]);
        if (control == nullptr) {
          fail(QStringLiteral("no control %1").arg(w[1]));
        } else if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
          out.write(control->isEnabled() ? "1" : "0");
        } else {
          fail(QStringLiteral("cannot write %1").arg(w[2]));
        }
      } else if (cmd == QLatin1String("close")) {
        ++next_;
        window_.close();
        return;
      } else {
        fail(QStringLiteral("cannot understand: %1").arg(line));
      }
      ++next_;
    }
  }

  ondrix::Form1Window& window_;
  QStringList lines_;
  qsizetype next_ = 0;
  QTimer poll_;
  QElapsedTimer waiting_;
};

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

  std::unique_ptr<TestScript> script;
  const QString scriptPath = qEnvironmentVariable("ONDRIX_TEST_SCRIPT");
  if (!scriptPath.isEmpty()) {
    QFile f(scriptPath);
    if (f.open(QIODevice::ReadOnly)) {
      script = std::make_unique<TestScript>(
          window, QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')));
      script->start();
    } else {
      std::fprintf(stderr, "ondrix-server: cannot read %s\n", qUtf8Printable(scriptPath));
    }
  }
  return QApplication::exec();
}
