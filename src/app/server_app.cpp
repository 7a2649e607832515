// SPDX-License-Identifier: GPL-3.0-or-later
// The server's start: one server per folder, the Qt objects of the platform
// wired to the core Form1 and its window, then the event loop.
#include "app/server_app.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "journal/call_journal.h"
#include "qt/durable_queue.h"
#include "qt/maildir_archive.h"
#include "qt/qt_clock.h"
#include "qt/qt_desktop.h"
#include "qt/qt_files.h"
#include "qt/qt_hook_runner.h"
#include "qt/qt_login_start.h"
#include "qt/qt_notifier.h"
#include "qt/qt_serial_line.h"
#include "qt/qt_text.h"
#include "qt/qt_timer.h"
#include "qt/qt_translations.h"
#include "qt/start_requests.h"
#include "qt/store_lock.h"
#include "records/record_road.h"
#include "service/line_notifier.h"
#include "service/service_notify.h"
#include "service/start_options.h"
#include "service/stream_echo.h"
#include "state/form1.h"
#include "state/status_texts.h"

namespace ondrix {

#ifdef Q_OS_UNIX
namespace {

int signalPipe[2] = {-1, -1};

void onTerminate(int) {
  const char one = 1;
  [[maybe_unused]] const auto n = ::write(signalPipe[1], &one, 1);
}

// A logout or a service manager stops the program with a signal. It is turned
// into the window's own close, so the store and the settings are written as
// when the operator closes the window.
void closeOnTerminate(QWidget& window) {
  // Close-on-exec: nothing the server starts may end or stall it through the
  // pair; non-blocking, so a burst of signals never stalls the handler.
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char c = 0;
    [[maybe_unused]] const auto n = ::read(signalPipe[0], &c, 1);
    window.close();
  });
  struct sigaction sa {};
  sa.sa_handler = onTerminate;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(sig, &sa, nullptr);
}

// The form served while the event loop runs; null before and after.
Form1* servedForm = nullptr;
// Its folder's lock: released at the session's end as at a close, so the
// next start does not take the end for a crash.
StoreLock* servedLock = nullptr;
// The disk's worker of that form.
DurableQueue* servedQueue = nullptr;

// A display that goes away (a logout that closes it before any signal
// comes) makes Qt end the process with exit() from inside the event loop.
// That is the session's end, not a fault: the store and the settings are
// written as at a close, and the status says so, so that a service manager
// does not start the server again into a session that has gone.
void endWithTheSession() {
  Form1* form = std::exchange(servedForm, nullptr);
  if (form == nullptr) return;
  form->Form_Unload();
  // Every record on the disk while the folder is still this server's.
  if (servedQueue != nullptr) servedQueue->drain();
  if (servedLock != nullptr) servedLock->release();
  std::_Exit(0);
}

}  // namespace
#endif

namespace {

// Exit status of a start refused because another server holds the folder,
// of a command line the program does not take, and of a request refused or
// not answered.
constexpr int kFolderInUse = 3;
constexpr int kUsage = 2;
constexpr int kRefused = 1;

#ifndef ONDRIX_VERSION_MAJOR
#define ONDRIX_VERSION_MAJOR 0
#define ONDRIX_VERSION_MINOR 0
#define ONDRIX_VERSION_REVISION 0
#endif

}  // namespace

int runServer(int argc, char** argv, const std::function<void(Form1Window&)>& shown,
              const std::function<void(QWidget&)>& refused) {
#ifdef Q_OS_UNIX
  // A file grown past the size limit the server was given fails its write,
  // as a full disk does, and the mail is then not acknowledged; the signal
  // would end the server with the mail in memory. Before Qt's start, whose
  // warnings may go to a log file already past the limit.
  ::signal(SIGXFSZ, SIG_IGN);
#endif
  // Read before Qt needs a display: help, the version and a wrong option are
  // told on a machine without one. Qt reads its own options later.
  const StartOptions options = parseStartOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "ondrix-server: %s\n%s\n", options.error.c_str(), usageLine().c_str());
    return kUsage;
  }
  if (options.help) {
    std::fputs(helpText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("ondrix-server %d.%d.%d\n", ONDRIX_VERSION_MAJOR, ONDRIX_VERSION_MINOR,
                ONDRIX_VERSION_REVISION);
    return 0;
  }
  // Before the folder is chosen: the per-user data folder is named by it.
  QCoreApplication::setApplicationName(QStringLiteral("Ondrix Server"));
  const QString folder = dataFolder(options);
  if (folder.isEmpty()) return kRefused;

  // Before any file is read: a second server in the same folder would write
  // the store it loaded over the mail the first one took since.
  StoreLock lock(folder);
  const StoreLock::Outcome held = lock.take();
  const bool screen = hasScreen(options, std::getenv("QT_QPA_PLATFORM"), std::getenv("DISPLAY"),
                                std::getenv("WAYLAND_DISPLAY"));
  if (held == StoreLock::Outcome::HeldByAnother) {
    if (options.request != StartRequest::None) return askServingServer(lock, options);
    lock.askHolderToShowItself();
    ServiceNotify::fromEnvironment().readyToEnd();
    // Started without a person (a login entry, a service manager), or with
    // no screen: the running server goes on, and nobody is there to read a
    // message box. Automation attached to the box reads it.
    if (options.startLine || (!screen && !refused)) {
      std::fprintf(stderr, "ondrix-server: another server already serves %s\n",
                   QFile::encodeName(QDir::toNativeSeparators(folder)).constData());
      return kFolderInUse;
    }
    keepAwayFromASilentSessionBus();
    QApplication app(argc, argv);
    installJapaneseQtTexts();
    runMessageBox(QStringLiteral(u"このフォルダではサーバーがすでに動いています。\n") +
                      QDir::toNativeSeparators(folder),
                  nullptr, refused);
    return kFolderInUse;
  }
  if (options.request == StartRequest::Offered || options.request == StartRequest::Quit) {
    std::fprintf(stderr, "ondrix-server: no server serves %s\n",
                 QFile::encodeName(QDir::toNativeSeparators(folder)).constData());
    return options.request == StartRequest::Quit ? 0 : kRefused;
  }

  // Before Qt, whose accessibility bridge would join a silent bus and wait.
  keepAwayFromASilentSessionBus();
  // Qt takes its own options (-platform and the like) out of argv.
  QApplication app(argc, argv);
  // The desktop entry's name: Wayland desktops match the window to its entry
  // (title, icon) by it.
  QApplication::setDesktopFileName(QStringLiteral("org.example.ondrix.server"));
  // Before any widget exists, so every dialog and menu of Qt's own is built
  // with the Japanese texts; without the file they stay English.
  installJapaneseQtTexts();

  QtFiles files(toText(QDir::toNativeSeparators(folder)));
  // What a power cut left in the middle of a replacement is no one's now.
  if (held == StoreLock::Outcome::Taken) QtFiles::removeLeftTemporaries(folder);

  // The syncs, off the window's thread. Made after the lock and ended
  // before it is given up: every record is on the disk while the folder is
  // still this server's.
  DurableQueue queue;
  files.setDurableQueue(&queue);
  QtSerialLine line(files.programDirectory());
  // Nothing reaches the caller, the desktop or a hook before the record it
  // tells of is durable.
  DurableReplies serial(line, queue);
  QtTimer timer1;
  QtTimer timer2;
  QtClock clock;
  QtDesktop desktop(&files);

  QtLoginStart loginStart(options.dir ? folder : QString());
  // A record's road (the archive, the notice, the hook) and the journal,
  // told by the form of every record stored and every call ended.
  MaildirArchive archive;
  archive.setDurableQueue(&queue);
  QtNotifier notifier;
  // A server of one line among several (--dir): its notices name the line.
  LineNotifier lineNotifier(notifier, toText(QFileInfo(folder).fileName()));
  DurableNotices notices(options.dir ? static_cast<Notifier&>(lineNotifier) : notifier, queue);
  QtHookRunner hookRunner(files);
  DurableHooks hooks(hookRunner, queue);
  // A catch-up's slice waits for the disk, so a reply waits for one at most.
  IdleDiskTimer recordsTimer(queue);
  RecordRoad road(archive, notices, hooks, files, clock, recordsTimer);
  CallJournal journal(files);
  road.setOnCaughtUp([&](int count) { journal.recordsCaughtUp(count, clock.now()); });

  // Where nobody sees the window: the journal and the service manager.
  StreamEcho echo = StreamEcho::standardError();
  ServiceNotify service = ServiceNotify::fromEnvironment();
  Form1 form({serial, timer1, timer2, clock, files, desktop, {&journal, &road}, &echo});
  form.loginStart = &loginStart;
  Form1Window window(form);
  // A sync or rename the worker could not do: what waited for it was
  // dropped, so the terminal heard no success, and the operator is told.
  queue.setOnFailure([&] {
    form.appendStatusLine(status::kStoreNotSaved);
    window.refresh();
  });
  desktop.setOwner(&window);
  desktop.setPictureBox(window.pictureBox());
  // A second after the start: the bus is no part of the first paint.
  QTimer::singleShot(1000, &window, [&notifier] { notifier.connectToSessionBus(); });
  // What the road says in its own time (a hook's end, a catch-up) shows as
  // soon as no call is in progress and the records it tells of are on the
  // disk.
  road.setOnLines([&] {
    queue.afterDone([&](bool) {
      form.sayRecordLines();
      window.refresh();
    });
  });

  // Every event the core handles is followed by a refresh of the widgets.
  timer1.setOnTick([&] {
    form.Timer1_Timer();
    window.refresh();
    service.poll(form);
  });
  timer2.setOnTick([&] {
    form.Timer2_Timer();
    window.refresh();
  });
  serial.setOnComm([&] {
    form.MSComm1_OnComm();
    window.refresh();
  });

  form.Form_Load();
  // The offer of the last run, then the one of the command line over it.
  form.restoreOffer();
  if (!offerAtStart(form, options)) return kRefused;
  if (lock.tookOverDeadHolder()) form.serverRestarted();
  // The mark is right from the start, not only once the menu has opened.
  form.loginStartShown();
  if (held == StoreLock::Outcome::Unavailable) {
    form.appendStatusLine(status::kFolderNotLocked);
  }
  window.refresh();
  window.show();
  // Once the window is mapped: until then a second start has nothing to raise.
  if (held == StoreLock::Outcome::Taken) {
    lock.listenForSecondStarts(window, [&form, &window](const std::string& request) {
      return answerStartRequest(form, window, request);
    });
  }
#ifdef Q_OS_UNIX
  closeOnTerminate(window);
#endif

  if (options.startLine) {
    // Once the window is shown, as a click on 開始 would be.
    QTimer::singleShot(0, &window, [&] {
      form.startUnattended();
      window.refresh();
    });
  }
  // After the start above: ready once the line is started or awaited. The
  // keep-alive comes from the poll while the line runs, else from a slow timer.
  QTimer keepAlive;
  if (service.enabled()) {
    QTimer::singleShot(0, &window, [&] { service.ready(form); });
    QObject::connect(&keepAlive, &QTimer::timeout, [&] {
      if (form.Timer1.interval() == 0) service.poll(form);
    });
    keepAlive.start(1000);
  }
  if (shown) shown(window);
#ifdef Q_OS_UNIX
  static const bool watching = std::atexit(endWithTheSession) == 0;
  // Once the loop is ending (the window closed, unloading the form), the
  // form is no longer served.
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [] { servedForm = nullptr; });
  if (watching) {
    servedForm = &form;
    servedQueue = &queue;
  }
  servedLock = &lock;
  const int status = QApplication::exec();
  servedForm = nullptr;
  servedQueue = nullptr;
  return status;
#else
  return QApplication::exec();
#endif
}

}  // namespace ondrix
