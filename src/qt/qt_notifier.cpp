// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop notification: one Notify call on the session bus, sent from
// the bus's own thread without waiting for its reply; no bus, no service or
// a bus that does not answer, and the notice is dropped.
#include "qt/qt_notifier.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDeadlineTimer>
#include <QStringList>
#include <QThread>
#include <QVariantMap>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <tuple>

#include "qt/qt_text.h"

namespace ondrix {
namespace {

// The icon's name in the theme (packaging/icons, installed under hicolor).
constexpr auto kIconName = "ondrix-server";
// An unanswered call's reply is given up after this; nobody awaits it.
constexpr int kCallLimitMs = 5000;
// Notices handed over while the bus is being joined; the rest are dropped.
constexpr int kMostWaiting = 16;
// How long the end waits for the bus's thread.
constexpr int kJoinLimitMs = 500;
// The bus address that no transport takes: a connection fails at once.
constexpr auto kNoBus = "disabled:";

QString connectionName() { return QStringLiteral("ondrix-notices"); }

// "unix:path=/run/user/1000/bus,guid=…" (the first of a list): the socket's
// address, its %xx escapes undone; nothing for other transports.
bool unixSocketAddress(const std::string& addresses, sockaddr_un& out, socklen_t& length) {
  const std::string first = addresses.substr(0, addresses.find(';'));
  if (first.rfind("unix:", 0) != 0) return false;
  bool abstract = false;
  std::string path;
  std::size_t at = 5;
  while (at < first.size()) {
    std::size_t end = first.find(',', at);
    if (end == std::string::npos) end = first.size();
    const std::string pair = first.substr(at, end - at);
    if (pair.rfind("path=", 0) == 0 || pair.rfind("abstract=", 0) == 0) {
      abstract = pair[0] == 'a';
      const std::string value = pair.substr(pair.find('=') + 1);
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
          path += static_cast<char>(std::strtol(value.substr(i + 1, 2).c_str(), nullptr, 16));
          i += 2;
        } else {
          path += value[i];
        }
      }
    }
    at = end + 1;
  }
  out = sockaddr_un{};
  out.sun_family = AF_UNIX;
  const std::size_t offset = abstract ? 1 : 0;
  if (path.empty() || path.size() + offset >= sizeof out.sun_path) return false;
  std::memcpy(out.sun_path + offset, path.data(), path.size());
  length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() +
                                  (abstract ? 0 : 1));
  return true;
}

// The bus's first call, Hello, without a body: little-endian, serial 1,
// with the header fields path, destination, interface and member.
std::string helloCall() {
  std::string m("l\1\0\1", 4);
  const auto u32 = [&m](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m += static_cast<char>(v >> (8 * i) & 0xFF);
  };
  u32(0);  // the body's length
  u32(1);  // the serial
  u32(0);  // the fields' length, set below
  const std::tuple<char, char, std::string_view> fields[] = {{1, 'o', "/org/freedesktop/DBus"},
                                                             {6, 's', "org.freedesktop.DBus"},
                                                             {2, 's', "org.freedesktop.DBus"},
                                                             {3, 's', "Hello"}};
  for (const auto& [code, type, value] : fields) {
    m.resize((m.size() + 7) / 8 * 8, '\0');
    m += {code, '\1', type, '\0'};
    u32(static_cast<std::uint32_t>(value.size()));
    m += value;
    m += '\0';
  }
  const auto fieldsLength = static_cast<std::uint32_t>(m.size() - 16);
  for (int i = 0; i < 4; ++i) m[std::size_t(12 + i)] = static_cast<char>(fieldsLength >> (8 * i));
  m.resize((m.size() + 7) / 8 * 8, '\0');
  return m;
}

}  // namespace

// The bus's side: the connection, used only on the bus's thread.
class QtNotifier::BusSide : public QObject {
 public:
  QDBusConnection bus{QString()};
  std::atomic<int> waiting{0};
};

QtNotifier::QtNotifier(const QString& address)
    : address_(address), thread_(new QThread), side_(new BusSide) {
  thread_->setObjectName(QStringLiteral("session bus"));
  side_->moveToThread(thread_);
  thread_->start();
}

QtNotifier::~QtNotifier() {
  QMetaObject::invokeMethod(
      side_,
      [side = side_] {
        // A failed connection keeps its name too, and would be given back
        // to the next notifier's join.
        side->bus = QDBusConnection(QString());
        QDBusConnection::disconnectFromBus(connectionName());
        side->deleteLater();  // as the thread finishes
        QThread::currentThread()->quit();
      },
      Qt::QueuedConnection);
  if (thread_->wait(QDeadlineTimer(kJoinLimitMs))) {
    delete thread_;
    return;
  }
  // Held by a bus that does not answer: the thread and what it holds are
  // left as they are (destroying a running thread would end the process
  // badly), and the process ends before Qt's own bus thread, as stuck,
  // would be waited for at its exit.
  std::fprintf(stderr, "ondrix-server: the session bus does not answer\n");
  ::on_exit(
      [](int status, void*) {
        std::fflush(nullptr);
        std::_Exit(status);
      },
      nullptr);
}

void QtNotifier::connectToSessionBus() {
  QMetaObject::invokeMethod(
      side_,
      [side = side_, address = address_] {
        side->bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                                      connectionName())
                                      : QDBusConnection::connectToBus(address, connectionName());
      },
      Qt::QueuedConnection);
}

void QtNotifier::notify(const DesktopNotice& notice) {
  if (side_->waiting.fetch_add(1) >= kMostWaiting) {
    --side_->waiting;
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  call << QCoreApplication::applicationName() << 0u << QString::fromLatin1(kIconName)
       << toQString(notice.summary) << toQString(notice.body) << QStringList() << QVariantMap()
       << -1;
  QMetaObject::invokeMethod(
      side_,
      [side = side_, call] {
        --side->waiting;
        // The reply (the notice's id, or an error) is of no use: it is not awaited.
        if (side->bus.isConnected()) side->bus.asyncCall(call, kCallLimitMs);
      },
      Qt::QueuedConnection);
}

bool sessionBusAnswers(std::chrono::milliseconds limit) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  sockaddr_un where{};
  socklen_t length = 0;
  if (address == nullptr || !unixSocketAddress(address, where, length)) return true;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return true;
  const QDeadlineTimer deadline(limit);
  const auto ready = [&](short events) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, int(deadline.remainingTime())) == 1 && !(p.revents & POLLERR);
  };
  const auto say = [&](const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
  };
  // What came before the deadline, until `enough` holds or the bus hangs up.
  std::string heard;
  const auto hear = [&](auto enough) {
    char buf[256];
    ssize_t n = 1;
    while (!enough() && n > 0 && ready(POLLIN)) {
      n = ::recv(fd, buf, sizeof buf, 0);
      if (n > 0) heard.append(buf, std::size_t(n));
    }
    return enough();
  };
  bool answered = false;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&where), length) == 0 ||
      (errno == EAGAIN && ready(POLLOUT))) {
    // The greeting: a nul byte, then the EXTERNAL mechanism with the user's
    // number in hex digits of its decimal text; a bus that takes it must
    // also answer the first call, as Qt's join waits for both.
    std::string greeting("\0AUTH EXTERNAL ", 15);
    for (char c : std::to_string(::getuid())) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(c));
      greeting += hex;
    }
    answered = say(greeting + "\r\n") &&
               hear([&] { return heard.find("\r\n") != std::string::npos; }) &&
               (heard.rfind("OK ", 0) != 0 ||
                (say("BEGIN\r\n" + helloCall()) &&
                 hear([&, greeted = heard.size()] { return heard.size() > greeted; })));
  }
  ::close(fd);
  return answered;
}

void keepAwayFromASilentSessionBus() {
  if (sessionBusAnswers(std::chrono::milliseconds(1500))) return;
  std::fprintf(stderr, "ondrix-server: the session bus does not answer; no desktop notices\n");
  ::setenv("DBUS_SESSION_BUS_ADDRESS", kNoBus, 1);
}

}  // namespace ondrix
