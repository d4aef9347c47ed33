// One QCoreApplication for the whole run, made before any test, as the model and its
// services expect. Settings and autostart entries go to a scratch folder, never the user's.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "QtThreadSanitizerSuppressions.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir scratch;
  qputenv("XDG_CONFIG_HOME", scratch.path().toUtf8());
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
