#include "app/server_app.h"

#include <QApplication>

#include "platform/qt/qt_clock.h"
#include "platform/qt/qt_desktop.h"
#include "platform/qt/qt_files.h"
#include "platform/qt/qt_serial_line.h"
#include "platform/qt/qt_timer.h"
#include "state/form1.h"

namespace ondrix {

int runServer(int argc, char** argv, const std::function<void(Form1Window&)>& shown) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ondrix Server"));

  QtFiles files;
  QtSerialLine serial(files.programDirectory());
  QtTimer timer1;
  QtTimer timer2;
  QtClock clock;
  QtDesktop desktop;

  Form1 form({serial, timer1, timer2, clock, files, desktop});
  Form1Window window(form);
  desktop.setOwner(&window);

  // Every event the core handles is followed by a refresh of the widgets.
  timer1.setOnTick([&] {
    form.Timer1_Timer();
    window.refresh();
  });
  timer2.setOnTick([&] {
    form.Timer2_Timer();
    window.refresh();
  });
  serial.setOnComm([&] {
    form.MSComm1_OnComm();
    window.refresh();
  });

  form.Form_Load();
  window.refresh();
  window.show();

  if (shown) shown(window);
  return QApplication::exec();
}

}  // namespace ondrix
