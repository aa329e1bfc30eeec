// The desktop program: the main window, which creates its list window hidden, then the event loop.

#include "ZELWorldHome/ZELWorldHome.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  TZELWorldHomeForm home;
  home.show();
  return QApplication::exec();
}
