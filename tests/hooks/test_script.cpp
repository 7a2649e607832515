// SPDX-License-Identifier: GPL-3.0-or-later
// The test build's window automation: the steps ONDRIX_TEST_SCRIPT lists, run in order.
#include "test_script.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace ondrix {

namespace {

// Test-only automation. The system itself takes no command line and no
// configuration besides its settings file; the end-to-end tests, however,
// must press buttons and read the status box of the real window. When the
// environment variable ONDRIX_TEST_SCRIPT names a file, its lines are run in
// order once the window is shown:
//   click NAME              click the button (or trigger the menu item) NAME
//   menu NAME               run what opening the menu NAME runs (CMFILE)
//   drop NAME PATH...       drop the files PATH... on control NAME, in order;
//                           a path holding blanks goes in double quotes
//   wait MS                 let the event loop run for MS milliseconds
//   waitfor MS NAME TEXT    wait up to MS ms until control NAME shows TEXT
//   waitfile MS FILE TEXT   wait up to MS ms until FILE holds TEXT (UTF-8): what
//                           another process, such as the line simulator, has
//                           done; a relative FILE is in the script's directory
//   dump NAME FILE          write the text control NAME shows to FILE (UTF-8)
//   enabled NAME FILE       write 1 to FILE when control or menu item NAME is
//                           enabled, else 0
//   visible NAME FILE       write 1 to FILE when control or window NAME is
//                           shown, else 0 (also when it does not exist)
//   screenshot NAME FILE    save window NAME (Form1, Form2, FormHelp) as PNG;
//                           NAME "screen": the whole screen, every window
//   close [NAME]            close window NAME (default: the main window) as
//                           its close button would
//   run PROGRAM ARG...      run PROGRAM and wait for it: a fault brought about
//                           at an exact point of the script
// NAME is a control of the main window, a window (Form1, Form2, FormHelp),
// MessageBox for the message box shown, or WINDOW.CONTROL for a control of
// another window (FormHelp.Command1). A click that opens a message box
// returns at once; the script goes on while the box waits for its OK. A
// start refused because another server holds the folder has no main window:
// the script then runs against its message box, and "close" ends the program.
// Failures are reported on standard error; the script carries on.
class TestScript : public QObject {
 public:
  TestScript(QWidget& window, QStringList lines, QDir dir)
      : QObject(&window), window_(window), lines_(std::move(lines)), dir_(std::move(dir)) {
    poll_.setInterval(20);
    connect(&poll_, &QTimer::timeout, this, [this] { step(); });
  }
  void start() {
    QTimer::singleShot(0, this, [this] { step(); });
  }

 private:
  // A window of the program by its object name.
  QWidget* topLevel(const QString& name) const {
    if (window_.objectName() == name) return &window_;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == name) return w;
      if (name == QLatin1String("MessageBox") && w->isVisible() && qobject_cast<QMessageBox*>(w)) {
        return w;
      }
    }
    return nullptr;
  }

  QObject* control(const QString& name) const {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
      QWidget* w = topLevel(name.left(dot));
      return w == nullptr ? nullptr : w->findChild<QObject*>(name.mid(dot + 1));
    }
    if (QWidget* w = topLevel(name)) return w;
    return window_.findChild<QObject*>(name);
  }

  QWidget* widget(const QString& name) const { return qobject_cast<QWidget*>(control(name)); }

  QString shownText(const QString& name) const {
    QObject* c = control(name);
    if (auto* b = qobject_cast<QAbstractButton*>(c)) return b->text();
    if (auto* e = qobject_cast<QLineEdit*>(c)) return e->text();
    if (auto* t = qobject_cast<QPlainTextEdit*>(c)) return t->toPlainText();
    if (auto* l = qobject_cast<QLabel*>(c)) return l->text();
    if (auto* m = qobject_cast<QMessageBox*>(c)) return m->text();
    if (auto* w = qobject_cast<QWidget*>(c); w != nullptr && w->isWindow()) {
      return w->windowTitle();
    }
    return {};
  }

  QString fileText(const QString& path) const {
    QFile in(dir_.absoluteFilePath(path));
    return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
  }

  void writeFlag(const QString& path, bool flag) {
    QFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
      out.write(flag ? "1" : "0");
    } else {
      fail(QStringLiteral("cannot write %1").arg(path));
    }
  }

  // Drags the files onto the control and drops them there, through the
  // events the desktop's file manager would cause.
  void drop(const QString& name, const QStringList& paths) {
    QWidget* target = widget(name);
    if (target == nullptr) {
      fail(QStringLiteral("no control %1").arg(name));
      return;
    }
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(QFileInfo(p).absoluteFilePath());
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
      fail(QStringLiteral("%1 refuses the drop").arg(name));
      return;
    }
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
  }

  void screenshot(const QString& name, const QString& path) {
    if (name == QLatin1String("screen")) {
      QScreen* screen = QGuiApplication::primaryScreen();
      if (screen == nullptr || !screen->grabWindow(0).save(path, "PNG")) {
        fail(QStringLiteral("cannot grab the screen to %1").arg(path));
      }
      return;
    }
    QWidget* w = topLevel(name);
    if (w == nullptr || !w->isVisible()) {
      fail(QStringLiteral("no window %1 shown").arg(name));
    } else if (!w->grab().save(path, "PNG")) {
      fail(QStringLiteral("cannot write %1").arg(path));
    }
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
      const bool inFile = cmd == QLatin1String("waitfile");
      if ((inFile || cmd == QLatin1String("waitfor")) && w.size() >= 4) {
        if (!waiting_.isValid()) waiting_.start();
        const QString text = line.section(QLatin1Char(' '), 3, -1, QString::SectionSkipEmpty);
        if (!(inFile ? fileText(w[2]) : shownText(w[2])).contains(text)) {
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
        QObject* c = control(w[1]);
        if (auto* b = qobject_cast<QAbstractButton*>(c)) {
          // Queued, and the script resumes after it: a click that opens a
          // modal box runs the event loop of the box, and the script goes on
          // inside it.
          ++next_;
          QTimer::singleShot(0, b, &QAbstractButton::click);
          QTimer::singleShot(0, this, [this] { step(); });
          return;
        } else if (auto* a = qobject_cast<QAction*>(c)) {
          a->trigger();
        } else {
          fail(QStringLiteral("no control %1").arg(w[1]));
        }
      } else if (cmd == QLatin1String("menu") && w.size() == 2) {
        if (auto* m = qobject_cast<QMenu*>(control(w[1]))) {
          emit m->aboutToShow();
        } else {
          fail(QStringLiteral("no menu %1").arg(w[1]));
        }
      } else if (cmd == QLatin1String("drop") && w.size() >= 3) {
        const QStringList args = QProcess::splitCommand(line);
        drop(args.value(1), args.mid(2));
      } else if (cmd == QLatin1String("dump") && w.size() == 3) {
        QFile out(w[2]);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
          out.write(shownText(w[1]).toUtf8());
        } else {
          fail(QStringLiteral("cannot write %1").arg(w[2]));
        }
      } else if (cmd == QLatin1String("enabled") && w.size() == 3) {
        QObject* c = control(w[1]);
        if (auto* widget = qobject_cast<QWidget*>(c)) {
          writeFlag(w[2], widget->isEnabled());
        } else if (auto* action = qobject_cast<QAction*>(c)) {
          writeFlag(w[2], action->isEnabled());
        } else {
          fail(QStringLiteral("no control %1").arg(w[1]));
        }
      } else if (cmd == QLatin1String("visible") && w.size() == 3) {
        // A window that no longer exists is not shown either.
        QWidget* c = widget(w[1]);
        writeFlag(w[2], c != nullptr && c->isVisible());
      } else if (cmd == QLatin1String("run") && w.size() >= 2) {
        const QStringList args = QProcess::splitCommand(line).mid(1);
        if (QProcess::execute(args.first(), args.mid(1)) != 0) {
          fail(QStringLiteral("failed: %1").arg(line));
        }
      } else if (cmd == QLatin1String("screenshot") && w.size() == 3) {
        screenshot(w[1], w[2]);
      } else if (cmd == QLatin1String("close") && w.size() <= 2) {
        ++next_;
        QWidget* target = w.size() == 2 ? topLevel(w[1]) : &window_;
        if (target == nullptr) {
          fail(QStringLiteral("no window %1").arg(w[1]));
        } else {
          target->close();
        }
        // Closing the main window ends the program; any other, the script goes on.
        if (target != &window_) QTimer::singleShot(0, this, [this] { step(); });
        return;
      } else {
        fail(QStringLiteral("cannot understand: %1").arg(line));
      }
      ++next_;
    }
  }

  QWidget& window_;
  QStringList lines_;
  QDir dir_;
  qsizetype next_ = 0;
  QTimer poll_;
  QElapsedTimer waiting_;
};

}  // namespace

void startTestScriptIfAsked(QWidget& window) {
  const QString scriptPath = qEnvironmentVariable("ONDRIX_TEST_SCRIPT");
  if (scriptPath.isEmpty()) return;
  QFile f(scriptPath);
  if (!f.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "ondrix-server: cannot read %s\n", qUtf8Printable(scriptPath));
    return;
  }
  // Owned by the window, so it lives exactly as long as there is a window to drive.
  auto* script = new TestScript(window, QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')),
                                QFileInfo(scriptPath).absoluteDir());
  script->start();
}

}  // namespace ondrix
