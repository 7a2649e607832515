// SPDX-License-Identifier: GPL-3.0-or-later
// The preview window Form2 at run time: the picture and the window fitted to it.
#include "qt/form2_window.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>

#include "qt/accessible_controls.h"
#include "qt/window_style.h"

namespace ondrix {

Form2Window::Form2Window() {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral(u"イメージ"));
  image1_ = new QLabel(this);
  image1_->setObjectName(QStringLiteral("Image1"));
  nameControl(image1_, QStringLiteral(u"メールのイメージ"));
  image1_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  image1_->move(0, 0);
}

void Form2Window::form_show(const QString& bitmapPath, QWidget* main) {
  // Read through QImage: a pixmap loaded by name is cached by name, time to
  // the second and size, so a file rewritten with a picture of the same size
  // within a second would show the old picture.
  const QImage picture(bitmapPath);
  if (picture.isNull()) {
    // Nothing to fit the window to: show it empty at the size it has.
    image1_->clear();
  } else {
    image1_->setPixmap(QPixmap::fromImage(picture));
    image1_->resize(picture.size());
    resize(picture.size());
  }
  if (main != nullptr) {
    keepAbove(this, main);
    const QSize frame = frameGeometry().size() - geometry().size();
    move(centredOver(main->frameGeometry(), size() + frame));
  }
  show();
  raise();
  activateWindow();
}

}  // namespace ondrix
