#include "platform/qt/qt_desktop.h"

#include <QMessageBox>

namespace ondrix {

void QtDesktop::messageBox(const Text& message) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ondrix Server"),
                  QString::fromUtf16(message.data(), static_cast<qsizetype>(message.size())),
                  QMessageBox::Ok, owner_.data());
  box.exec();
}

}  // namespace ondrix
