// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modem's serial port over QSerialPort.
//
// Port n opens the device that an entry named COMn (any case) in the program
// directory points to, else /dev/ttyS<n-1>. Text goes both ways in CP932.
// QSerialPort has no carrier-change signal, so the carrier-detect line is
// polled while the port is open. A port that goes away while open (adapter
// pulled, far end of a pseudo-terminal closed) is closed and reported once as
// a carrier drop, so a call in progress ends the way a lost carrier ends it.
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "platform/serial_line.h"
#include "qt/qt_cp932.h"

namespace ondrix {

class QtSerialLine : public QObject, public SerialLine {
  Q_OBJECT

 public:
  static constexpr int kCarrierPollMs = 50;

  explicit QtSerialLine(Text programDirectory, QObject* parent = nullptr);
  ~QtSerialLine() override;

  bool selectPort(std::int16_t port) override;
  bool open() override;
  bool reopen() override;
  bool isOpen() const override;
  void close() override;
  int pendingInput() override;
  Text readAll() override;
  void write(const Text& text) override;
  bool carrierDetect() const override { return carrier_; }
  bool setDataTerminalReady(bool on) override;
  CommEvent commEvent() const override { return event_; }

  // The device the selected port opens; empty when no port is selected.
  QString devicePath() const;
  // Where a port without a COMn entry leads ("/dev/ttyS" and n-1); tests
  // point it into a folder of their own.
  void setFallbackDevicePrefix(const QString& prefix) { fallbackPrefix_ = prefix; }

 protected:
  // The carrier-detect line as the device reports it, or nullopt when the
  // device has no modem lines.
  virtual std::optional<bool> readCarrierLine();

 private:
  class LineSettings;
  void pollCarrier();
  void onError(QSerialPort::SerialPortError error);
  void checkPort(unsigned session);
  bool deviceHungUp() const;
  void closePort();
  void raise(CommEvent kind);
  // byEntry: the device was named by a COMn entry of the program directory.
  QString devicePath(bool& byEntry) const;

  QString programDir_;
  std::int16_t port_ = 0;
  QString fallbackPrefix_ = QStringLiteral("/dev/ttyS");
  // The port last opened, and whether its COMn entry named the device.
  std::int16_t openedPort_ = 0;
  bool openedByEntry_ = false;
  QSerialPort serial_;
  QTimer carrierPoll_;
  // Lives as long as the port is open, so a split character is completed
  // by the next read but never carried into another session.
  std::optional<Cp932Decoder> decoder_;
  bool carrier_ = false;
  CommEvent event_ = CommEvent::None;
  // Counts opens, so a close queued for one session cannot hit the next.
  unsigned session_ = 0;
  bool checkQueued_ = false;
  bool probing_ = false;
};

}  // namespace ondrix
