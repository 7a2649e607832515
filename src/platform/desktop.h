// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the console asks of the desktop beyond its own window.
#include <cstdint>
#include <optional>

#include "core/text.h"

namespace ondrix {

// A file dialog as the console sets it up. The filter is "description|pattern"
// with the bar as part of the text. Every dialog starts with an empty name.
struct FileDialogSetup {
  Text title;
  Text filter;
  // The kDialog* bits below.
  std::int32_t flags = 0;
};

// Flags of a file dialog.
inline constexpr std::int32_t kDialogOverwritePrompt = 2;   // save: ask before replacing
inline constexpr std::int32_t kDialogHideReadOnly = 4;      // save: no read-only check box
inline constexpr std::int32_t kDialogFileMustExist = 4096;  // open: only an existing file

class Desktop {
 public:
  virtual ~Desktop() = default;
  // A message box with a single OK button; returns when it is closed.
  virtual void messageBox(const Text& message) = 0;

  // The chosen full path, or nullopt when the operator cancels.
  virtual std::optional<Text> openFileDialog(const FileDialogSetup& setup) = 0;
  virtual std::optional<Text> saveFileDialog(const FileDialogSetup& setup) = 0;

  // Opens the help file with the desktop's handler for it; no wait, no check.
  virtual void openHelp(const Text& path) = 0;

  // Starts the program `commandLine` names (the whole line when it is the
  // path of a program, else split into program and arguments as a desktop
  // does) with `argument` added whole as one more argument, in a normal
  // window, without waiting, not even for its start: false only when the
  // line names nothing or no process can be made.
  virtual bool startProgram(const Text& commandLine, const Text& argument) = 0;

  // Loads the bitmap file into the main window's picture box Image1, which
  // shows it from then on; an empty path clears the box. False when the box
  // cannot show the file: it is then empty.
  virtual bool showPicture(const Text& bitmapPath) = 0;

  // The preview window Form2: shows the bitmap file at its natural size,
  // centred over the main window; one window, reused.
  virtual void showPreview(const Text& bitmapPath) = 0;

  // The about box FormHelp, owned by the main window, which it disables
  // while open.
  virtual void showAbout() = 0;
};

}  // namespace ondrix
