#include "app/test_script.h"

#include <QAbstractButton>
#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>

namespace ondrix {

namespace {

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
  TestScript(Form1Window& window, QStringList lines)
      : QObject(&window), window_(window), lines_(std::move(lines)) {
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

  Form1Window& window_;
  QStringList lines_;
  qsizetype next_ = 0;
  QTimer poll_;
  QElapsedTimer waiting_;
};

}  // namespace

void startTestScriptIfAsked(Form1Window& window) {
  const QString scriptPath = qEnvironmentVariable("ONDRIX_TEST_SCRIPT");
  if (scriptPath.isEmpty()) return;
  QFile f(scriptPath);
  if (!f.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "ondrix-server: cannot read %s\n", qUtf8Printable(scriptPath));
    return;
  }
  // Owned by the window, so it lives exactly as long as there is a window to drive.
  auto* script = new TestScript(window, QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')));
  script->start();
}

}  // namespace ondrix
