// The windows need an application object; without a screen they render offscreen.

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {
QtMessageHandler DefaultHandler = nullptr;

// The offscreen platform warns about every top-level window it cannot size; that says nothing here.
void QuietOffscreen(QtMsgType Type, const QMessageLogContext& Context, const QString& Message) {
  if (Message.contains("propagateSizeHints")) return;
  DefaultHandler(Type, Context, Message);
}
} // namespace

int main(int argc, char** argv) {
  // Test discovery runs the program outside CTest's environment.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  DefaultHandler = qInstallMessageHandler(QuietOffscreen);
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
