// The desktop program: the main window, then the hidden list window, then the event loop.

#include "ZELList/ZELList.h"
#include "ZELWorldHome/ZELWorldHome.h"

#include <QApplication>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  TZELWorldHomeForm home;
  TZELListForm list([&home](const std::string& Text, int FirstIndex) { home.ShowProgram(Text, FirstIndex); });
  home.SetListForm(&list);
  home.show();
  return QApplication::exec();
}
