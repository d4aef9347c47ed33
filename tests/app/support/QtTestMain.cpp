// One QCoreApplication for the whole run, made before any test, as the model and its
// services expect. Settings and autostart entries go to a scratch folder, never the user's.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#if defined(__SANITIZE_THREAD__)
// Qt comes uninstrumented from the distribution, so ThreadSanitizer cannot see its atomics and
// reports races inside its own threads (the network manager's); those are not ours to judge.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so.6\n"
         "race:libQt6Network.so.6\n"
         "race:libglib-2.0.so.0\n";
}
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir scratch;
  qputenv("XDG_CONFIG_HOME", scratch.path().toUtf8());
  QCoreApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
