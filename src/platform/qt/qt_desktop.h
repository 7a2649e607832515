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
  std::optional<Text> openFileDialog(const FileDialogSpec& spec) override;
  std::optional<Text> saveFileDialog(const FileDialogSpec& spec) override;
  void openHelp(const Text& path) override;
  bool startProgram(const Text& commandLine, const Text& argument) override;
  void showPreview(const Text& bitmapPath) override;
  void showAbout() override;

 private:
  QPointer<QWidget> owner_;
};

}  // namespace ondrix
