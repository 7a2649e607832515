#pragma once
// Desktop services of the real desktop.
#include <QPointer>
#include <QWidget>

#include "platform/desktop.h"

namespace ondrix {

class QtDesktop : public Desktop {
 public:
  // Message boxes are shown over `owner` once it is set.
  void setOwner(QWidget* owner) { owner_ = owner; }
  void messageBox(const Text& message) override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace ondrix
