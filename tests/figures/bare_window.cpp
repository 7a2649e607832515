// SPDX-License-Identifier: GPL-3.0-or-later
// ondrix-bare-window: a top-level Qt window of a given size whose menu bar
// carries the server's two menu titles and nothing else, the baseline that
// scripts/figures.sh sets the server's start-up time and memory against: the
// titles make it load the Japanese faces the server's window needs too.
// Test-only; never installed.
//   ondrix-bare-window WIDTH HEIGHT
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
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
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Bare Window"));
  // The server's own titles (src/qt/form1_layout.cpp), byte for byte.
  window.menuBar()->addMenu(QStringLiteral(u"ﾌｧｲﾙ(&F)"));
  window.menuBar()->addMenu(QStringLiteral(u"ﾍﾙﾌﾟ(&H)"));
  window.setFixedSize(width, height);
  window.show();
  return QApplication::exec();
}
