// SPDX-License-Identifier: GPL-3.0-or-later
// Accessible names, Return on buttons and the Tab order of the windows.
#include "qt/accessible_controls.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace ondrix {

namespace {

class ReturnPresses : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    // A key held down presses once, as Space does.
    if (!key->isAutoRepeat()) static_cast<QAbstractButton*>(watched)->click();
    return true;
  }
};

}  // namespace

void nameControl(QWidget* control, const QString& name) {
  control->setAccessibleName(name);
  const auto* button = qobject_cast<QAbstractButton*>(control);
  if (button != nullptr && button->text() != name) control->setToolTip(name);
}

void pressOnReturn(QAbstractButton* button) {
  button->installEventFilter(new ReturnPresses(button));
}

void chainTabOrder(std::initializer_list<QWidget*> controls) {
  QWidget* previous = nullptr;
  for (QWidget* control : controls) {
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
}

}  // namespace ondrix
