// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The preview window Form2: the working bitmap at its natural size.
#include <QString>
#include <QWidget>

class QLabel;

namespace ondrix {

class Form2Window : public QWidget {
 public:
  Form2Window();

  // Loads the bitmap into the picture box, makes the client area exactly as
  // large as the picture, centres the window over `main` and shows it (not
  // modal). Called again, the same window shows the newly written picture.
  void form_show(const QString& bitmapPath, QWidget* main);

 private:
  QLabel* image1_ = nullptr;
};

}  // namespace ondrix
