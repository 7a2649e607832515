// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a screen reader and the keyboard need of the windows' controls: a
// name that says what each one is, Return pressing a button, and a Tab
// order that reads the window.
#include <initializer_list>

class QAbstractButton;
class QString;
class QWidget;

namespace ondrix {

// Names the control for screen readers. A button whose caption does not say
// the same (a symbol, a picture, a word two buttons share) shows the name as
// its tooltip too.
void nameControl(QWidget* control, const QString& name);

// Return and Enter press the button, as Space does.
void pressOnReturn(QAbstractButton* button);

// Tab visits the controls in the order given.
void chainTabOrder(std::initializer_list<QWidget*> controls);

}  // namespace ondrix
