// SPDX-License-Identifier: GPL-3.0-or-later
// ondrix-bare-window: an empty top-level Qt window of a given client size,
// the baseline that scripts/figures.sh sets the server's start-up time and
// memory against. Test-only; never installed.
//   ondrix-bare-window WIDTH HEIGHT
#include <QApplication>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QStringList args = QApplication::arguments();
  bool okWidth = false;
  bool okHeight = false;
  const int width = args.size() == 3 ? args[1].toInt(&okWidth) : 0;
  const int height = args.size() == 3 ? args[2].toInt(&okHeight) : 0;
  if (!okWidth || !okHeight || width <= 0 || height <= 0) {
    std::fprintf(stderr, "usage: ondrix-bare-window WIDTH HEIGHT\n");
    return 2;
  }
  QWidget window;
  window.setWindowTitle(QStringLiteral("Bare Window"));
  window.setFixedSize(width, height);
  window.show();
  return QApplication::exec();
}
