#include "platform/qt/qt_desktop.h"

#include <QMessageBox>

#include "platform/qt/qt_text.h"

namespace ondrix {

void QtDesktop::messageBox(const Text& message) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ondrix Server"), toQString(message),
                  QMessageBox::Ok, owner_.data());
  box.exec();
}

}  // namespace ondrix

// Not built yet: the operator's dialogs, help, player, preview and about box.
namespace ondrix {

std::optional<Text> QtDesktop::openFileDialog(const FileDialogSpec&) { return std::nullopt; }
std::optional<Text> QtDesktop::saveFileDialog(const FileDialogSpec&) { return std::nullopt; }
void QtDesktop::openHelp(const Text&) {}
bool QtDesktop::startProgram(const Text&, const Text&) { return false; }
void QtDesktop::showPreview(const Text&) {}
void QtDesktop::showAbout() {}

}  // namespace ondrix
