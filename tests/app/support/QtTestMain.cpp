// One QCoreApplication for the whole run, as the model and its services expect.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "QtThreadSanitizerSuppressions.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
