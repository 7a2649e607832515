// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A pseudo-terminal for driving the real serial line in tests: the line
// opens the slave end (through a COMn link), the test plays the modem on the
// master end. Also event-loop helpers for the Qt tests.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <cerrno>
#include <string>

namespace ondrix::testing {

// Runs the event loop for `ms` milliseconds, sleeping while nothing happens.
inline void pumpFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Runs the event loop until `done()` or the deadline; false on the deadline.
// The deadline only bounds a failing test, so it is far beyond what a
// loaded machine needs.
template <typename Pred>
bool pumpUntil(Pred done, int timeoutMs = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return;
    const char* name = nullptr;
    if (::grantpt(master_) == 0 && ::unlockpt(master_) == 0) name = ::ptsname(master_);
    if (name == nullptr) {
      closeMaster();
      return;
    }
    slave_ = name;
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { closeMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool ok() const { return master_ >= 0; }
  QString slavePath() const { return QString::fromStdString(slave_); }

  // The modem sends.
  bool send(const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
      if (n < 0) return false;
      done += n;
    }
    return true;
  }

  // What the line wrote: everything that arrives within `ms`, or until
  // `expected` bytes have come. The event loop runs meanwhile, so bytes the
  // line still holds are written out.
  QByteArray receive(qsizetype expected, int ms = 10000) {
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < expected && clock.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN)) continue;
      char buf[256];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) got.append(buf, n);
    }
    return got;
  }

  // The far end goes away.
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

}  // namespace ondrix::testing
