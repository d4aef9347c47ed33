#include <gtest/gtest.h>

#include <QApplication>

#include "QtThreadSanitizerSuppressions.h"

namespace {

QtMessageHandler defaultHandler = nullptr;

// The offscreen platform says so each time a window asks to be raised or to grab the keyboard.
void quietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith(QLatin1String("This plugin does not support"))) {
    return;
  }
  defaultHandler(type, context, message);
}

}  // namespace

// Widgets need an application object; the offscreen platform needs no display.
int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  defaultHandler = qInstallMessageHandler(quietMessages);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
