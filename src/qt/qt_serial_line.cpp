// SPDX-License-Identifier: GPL-3.0-or-later
// The modem's serial port over QSerialPort: the COMn device, reads, writes, carrier, loss.
#include "qt/qt_serial_line.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <climits>

#include "qt/qt_text.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace ondrix {

#ifdef Q_OS_UNIX
// The device's speed, data format and handshake, read through a descriptor
// of its own that stays open until the port has been opened, so a
// pseudo-terminal never sees its last slave go away in between.
class QtSerialLine::LineSettings {
 public:
  explicit LineSettings(const QString& path) {
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    valid_ = fd_ >= 0 && ::tcgetattr(fd_, &saved_) == 0;
  }
  ~LineSettings() {
    if (fd_ >= 0) ::close(fd_);
  }
  LineSettings(const LineSettings&) = delete;
  LineSettings& operator=(const LineSettings&) = delete;

  // Keeps the raw mode the port was opened in; only the line's own
  // settings go back to what they were.
  void restoreOn(int fd) const {
    termios now{};
    if (!valid_ || fd < 0 || ::tcgetattr(fd, &now) != 0) return;
    constexpr tcflag_t kLineFlags = CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS
#ifdef CBAUD
                                    | CBAUD
#endif
#ifdef CBAUDEX
                                    | CBAUDEX
#endif
#ifdef CMSPAR
                                    | CMSPAR
#endif
        ;
    constexpr tcflag_t kHandshake = IXON | IXOFF | IXANY;
    now.c_cflag = (now.c_cflag & ~kLineFlags) | (saved_.c_cflag & kLineFlags);
    now.c_iflag = (now.c_iflag & ~kHandshake) | (saved_.c_iflag & kHandshake);
    ::cfsetispeed(&now, ::cfgetispeed(&saved_));
    ::cfsetospeed(&now, ::cfgetospeed(&saved_));
    ::tcsetattr(fd, TCSANOW, &now);
  }

 private:
  int fd_ = -1;
  bool valid_ = false;
  termios saved_{};
};
#else
class QtSerialLine::LineSettings {
 public:
  explicit LineSettings(const QString&) {}
  void restoreOn(int) const {}
};
#endif

QtSerialLine::QtSerialLine(Text programDirectory, QObject* parent)
    : QObject(parent), programDir_(toQString(programDirectory)) {
  carrierPoll_.setInterval(kCarrierPollMs);
  connect(&carrierPoll_, &QTimer::timeout, this, &QtSerialLine::pollCarrier);
  connect(&serial_, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
}

QtSerialLine::~QtSerialLine() { closePort(); }

bool QtSerialLine::selectPort(std::int16_t port) {
  port_ = port;
  return port >= 1;
}

QString QtSerialLine::devicePath() const {
  bool byEntry = false;
  return devicePath(byEntry);
}

QString QtSerialLine::devicePath(bool& byEntry) const {
  byEntry = false;
  if (port_ < 1) return {};
  const QString name = QStringLiteral("COM%1").arg(port_);
  // System entries include dangling links: a link to a device that is gone
  // still names the port, and the open then fails.
  const QDir dir(programDir_);
  QString found;
  const QStringList entries =
      dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
  for (const QString& entry : entries) {
    if (entry.compare(name, Qt::CaseInsensitive) != 0) continue;
    found = entry;
    if (entry == name) break;  // an exact match wins over other spellings
  }
  if (!found.isEmpty()) {
    byEntry = true;
    const QFileInfo info(dir.filePath(found));
    if (!info.isSymLink()) return info.absoluteFilePath();
    // Open the device itself, so lock files name the device, not the link.
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? info.symLinkTarget() : target;
  }
#ifdef Q_OS_WIN
  return name;
#else
  return fallbackPrefix_ + QString::number(port_ - 1);
#endif
}

bool QtSerialLine::reopen() {
  if (serial_.isOpen()) return true;
  bool byEntry = false;
  devicePath(byEntry);
  // A port reached through its COMn entry is that entry's device: while the
  // entry is gone the port is absent, and the fallback device (something
  // else altogether) is never opened in its place.
  if (openedPort_ == port_ && openedByEntry_ && !byEntry) return false;
  return open();
}

bool QtSerialLine::open() {
  if (serial_.isOpen()) return true;
  bool byEntry = false;
  const QString path = devicePath(byEntry);
  // A device that is not there (an adapter pulled, behind a dangling link)
  // fails at once, without the lock files and the settings an open costs:
  // the line's recovery asks again every few seconds from the poll tick.
  if (path.isEmpty() || !QFileInfo::exists(path)) return false;
  serial_.setPortName(path);
  // Speed, framing and handshake are the device's own: the modem was set up
  // for them, and nothing here ever sets them. The serial library applies
  // its defaults on open, so the device's settings are read before and put
  // back after.
  const LineSettings saved(path);
  if (!serial_.open(QIODevice::ReadWrite)) return false;
  saved.restoreOn(static_cast<int>(serial_.handle()));
#ifdef Q_OS_UNIX
  // The port stays the server's alone, whatever the serial library's open did.
  ::fcntl(static_cast<int>(serial_.handle()), F_SETFD, FD_CLOEXEC);
#endif
  openedPort_ = port_;
  openedByEntry_ = byEntry;
  ++session_;
  checkQueued_ = false;
  decoder_.emplace();
  event_ = CommEvent::None;
  const std::optional<bool> carrier = readCarrierLine();
  carrier_ = carrier.value_or(false);
  // Without modem lines there is nothing to watch: the carrier stays off.
  if (carrier) carrierPoll_.start();
  return true;
}

bool QtSerialLine::isOpen() const { return serial_.isOpen(); }

void QtSerialLine::close() { closePort(); }

void QtSerialLine::closePort() {
  carrierPoll_.stop();
  if (serial_.isOpen()) serial_.close();
  decoder_.reset();
  carrier_ = false;
}

int QtSerialLine::pendingInput() {
  if (!serial_.isOpen()) return 0;
  const qint64 n = serial_.bytesAvailable();
  return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

Text QtSerialLine::readAll() {
  if (!serial_.isOpen() || !decoder_) return {};
  return toText(decoder_->decode(serial_.readAll()));
}

void QtSerialLine::write(const Text& text) {
  if (!serial_.isOpen() || text.empty()) return;
  serial_.write(encodeCp932(toQString(text)));
  // Hand the bytes to the device now, without waiting, as a plain write
  // would; what the device cannot take yet goes out from the event loop.
  serial_.flush();
}

bool QtSerialLine::setDataTerminalReady(bool on) {
  if (!serial_.isOpen()) return false;
  // A device without modem lines refuses; that is an answer, not a fault.
  serial_.clearError();
  probing_ = true;
  const bool set = serial_.setDataTerminalReady(on);
  probing_ = false;
  if (!set || serial_.error() != QSerialPort::NoError) {
    serial_.clearError();
    return false;
  }
  return true;
}

std::optional<bool> QtSerialLine::readCarrierLine() {
  // A device without modem lines fails the query; that is an answer, not a
  // fault of the port, so the error it raises is not acted on.
  serial_.clearError();
  probing_ = true;
  const QSerialPort::PinoutSignals pins = serial_.pinoutSignals();
  probing_ = false;
  if (serial_.error() != QSerialPort::NoError) {
    serial_.clearError();
    return std::nullopt;
  }
  return pins.testFlag(QSerialPort::DataCarrierDetectSignal);
}

void QtSerialLine::pollCarrier() {
  if (!serial_.isOpen()) {
    carrierPoll_.stop();
    return;
  }
  const std::optional<bool> carrier = readCarrierLine();
  if (!carrier) {
    // The lines went away; if the port did too, the read side reports it.
    carrierPoll_.stop();
    return;
  }
  if (*carrier == carrier_) return;
  carrier_ = *carrier;
  raise(CommEvent::CarrierDetectChange);
}

void QtSerialLine::onError(QSerialPort::SerialPortError error) {
  if (probing_) return;
  if (error != QSerialPort::ReadError && error != QSerialPort::WriteError &&
      error != QSerialPort::ResourceError) {
    return;
  }
  if (!serial_.isOpen() || checkQueued_) return;
  // The error arrives from inside the port's own read or write handling,
  // which must not lose its notifiers under its feet, so the port is looked
  // at once control is back in the event loop.
  checkQueued_ = true;
  const unsigned session = session_;
  QMetaObject::invokeMethod(
      this, [this, session] { checkPort(session); }, Qt::QueuedConnection);
}

bool QtSerialLine::deviceHungUp() const {
#ifdef Q_OS_UNIX
  pollfd p{static_cast<int>(serial_.handle()), POLLIN | POLLOUT, 0};
  if (::poll(&p, 1, 0) < 0) return false;
  return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
  return true;
#endif
}

void QtSerialLine::checkPort(unsigned session) {
  // The operator may have closed (or closed and reopened) the port meanwhile.
  if (session != session_ || !serial_.isOpen()) return;
  checkQueued_ = false;
  // Not gone, only busy: a device that cannot take more output makes the
  // port report its write as failed, and the port carries on by itself.
  if (!deviceHungUp()) return;
  // A hung-up port keeps reporting errors for as long as it stays open, so
  // it is closed now; to the handlers it is a dropped carrier.
  closePort();
  raise(CommEvent::CarrierDetectChange);
}

void QtSerialLine::raise(CommEvent kind) {
  event_ = kind;
  notify();
}

}  // namespace ondrix
