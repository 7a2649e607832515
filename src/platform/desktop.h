#pragma once
// What the console asks of the desktop beyond its own window.
#include "core/text.h"

namespace ondrix {

class Desktop {
 public:
  virtual ~Desktop() = default;
  // A message box with a single OK button; returns when it is closed.
  virtual void messageBox(const Text& message) = 0;
};

}  // namespace ondrix
