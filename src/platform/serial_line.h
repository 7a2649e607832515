// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The modem's serial port as the handlers use it: polled reads, plain writes,
// and one notification for carrier-detect changes.
#include <cstdint>
#include <functional>

#include "core/text.h"

namespace ondrix {

// Kinds of line event delivered to the notification handler.
enum class CommEvent : std::int16_t {
  None = 0,
  CarrierDetectChange = 5,  // the only kind the handlers act on
};

class SerialLine {
 public:
  virtual ~SerialLine() = default;

  // Chooses the port for the next open. False when the number cannot name a
  // port; the following open then fails too.
  virtual bool selectPort(std::int16_t port) = 0;
  // True when the port is open afterwards (also when it was open already).
  virtual bool open() = 0;
  virtual bool isOpen() const = 0;
  // Opens the selected port again after it went away: a port that was
  // reached through a link of its own counts as absent while the link is
  // gone, so nothing else is opened in its place.
  virtual bool reopen() { return open(); }
  // Closes without sending anything to the modem.
  virtual void close() = 0;

  // Number of received bytes not yet read.
  virtual int pendingInput() = 0;
  // Everything received so far, decoded from CP932; a split double-byte
  // character is completed by a later read.
  virtual Text readAll() = 0;
  // Sends the CP932 bytes of the text, nothing added.
  virtual void write(const Text& text) = 0;

  virtual bool carrierDetect() const = 0;
  // Raises or drops the DTR line; false when the device has no modem
  // control lines (a pseudo-terminal) or the port is closed.
  virtual bool setDataTerminalReady(bool /*on*/) { return false; }
  // Kind of the event being reported (valid inside the notification).
  virtual CommEvent commEvent() const = 0;

  // The notification, delivered on the event-loop thread.
  void setOnComm(std::function<void()> handler) { onComm_ = std::move(handler); }

 protected:
  void notify() {
    if (onComm_) onComm_();
  }

 private:
  std::function<void()> onComm_;
};

}  // namespace ondrix
