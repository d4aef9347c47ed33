// One QCoreApplication for the whole run; settings and autostart entries in a scratch folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "QtThreadSanitizerSuppressions.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QTemporaryDir scratch;
  qputenv("XDG_CONFIG_HOME", scratch.path().toUtf8());
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
