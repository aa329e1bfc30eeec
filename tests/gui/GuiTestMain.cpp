// The windows need an application object; without a screen they render offscreen.

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // Test discovery runs the program outside CTest's environment.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  // The offscreen platform warns about every top-level window it cannot size; that says nothing here.
  static QtMessageHandler defaultHandler = nullptr;
  defaultHandler =
      qInstallMessageHandler([](QtMsgType Type, const QMessageLogContext& Context, const QString& Text) {
        if (!Text.contains("propagateSizeHints")) defaultHandler(Type, Context, Text);
      });
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
