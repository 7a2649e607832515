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
