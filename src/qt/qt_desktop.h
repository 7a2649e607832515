// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Desktop services of the real desktop.
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "platform/desktop.h"

namespace ondrix {

class Form2Window;
class FormHelpWindow;
class QtFiles;

// Qt's name filters for a dialog filter "description|pattern[|...]": one
// "description (patterns)" per pair, the patterns separated by blanks.
QStringList qtNameFilters(const Text& filter);

// A message box of the program, with a single OK button; returns when it is
// closed. `shown` runs once it is on screen (test builds drive it from there).
void runMessageBox(const QString& text, QWidget* owner,
                   const std::function<void(QWidget&)>& shown = {});

class QtDesktop : public Desktop {
 public:
  // The program's own files ("...\melody.mmd") are found through `files`;
  // without it every path is taken as a native path.
  explicit QtDesktop(const QtFiles* files = nullptr) : files_(files) {}
  ~QtDesktop() override;
  QtDesktop(const QtDesktop&) = delete;
  QtDesktop& operator=(const QtDesktop&) = delete;

  // Dialogs and windows are placed over `owner` once it is set.
  void setOwner(QWidget* owner) { owner_ = owner; }
  // The main window's picture box Image1; without one, showPicture only
  // tells whether the picture could be shown.
  void setPictureBox(QLabel* box) { pictureBox_ = box; }
  void messageBox(const Text& message) override;
  std::optional<Text> openFileDialog(const FileDialogSetup& setup) override;
  std::optional<Text> saveFileDialog(const FileDialogSetup& setup) override;
  void openHelp(const Text& path) override;
  bool startProgram(const Text& commandLine, const Text& argument) override;
  bool showPicture(const Text& bitmapPath) override;
  void showPreview(const Text& bitmapPath) override;
  void showAbout() override;

  // The preview window once shown, the about box while open (tests, script).
  Form2Window* preview() const;
  FormHelpWindow* about() const;

 private:
  std::optional<Text> fileDialog(const FileDialogSetup& setup, bool save);
  QString nativePath(const Text& path) const;

  const QtFiles* files_ = nullptr;
  QPointer<QWidget> owner_;
  QPointer<QLabel> pictureBox_;
  QPointer<Form2Window> form2_;
  QPointer<FormHelpWindow> formHelp_;
};

}  // namespace ondrix
