// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The about box FormHelp: product line, version, "ＯＫ". While it is open its
// owner (the main window) is disabled; it is not modal, so the owner's timers
// and serial line go on serving calls.
#include <QPointer>
#include <QString>
#include <QWidget>

class QCloseEvent;
class QPushButton;

namespace ondrix {

// "Ver" major "." minor revision " by Hesket": minor and revision are written
// next to each other.
QString versionLine(int major, int minor, int revision);

class FormHelpWindow : public QWidget {
 public:
  // Form_Load: the controls, with the version line of this build. The box
  // deletes itself when closed.
  FormHelpWindow();
  ~FormHelpWindow() override;

  // Remembers and disables the owner, centres the box on it and shows it.
  void Start(QWidget* owner);

 protected:
  // Form_Unload, however the box closes: the owner takes input again.
  void closeEvent(QCloseEvent* event) override;

 private:
  void enableOwner();

  QPointer<QWidget> owner_;
};

}  // namespace ondrix
