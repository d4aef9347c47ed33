#pragma once

// Include once per test program, from its main file.
#if defined(__SANITIZE_THREAD__)
// Qt comes uninstrumented from the distribution, so ThreadSanitizer cannot see its atomics and
// reports races inside its own threads (the network manager's, the widgets' pooled threads, and
// QtDBus's, whose libdbus locks it cannot see either); those are not ours to judge.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt6Core.so.6\n"
         "race:libQt6Gui.so.6\n"
         "race:libQt6Widgets.so.6\n"
         "race:libQt6Network.so.6\n"
         "race:libQt6DBus.so.6\n"
         "race:libdbus-1.so.3\n"
         "deadlock:libdbus-1.so.3\n"
         "race:libglib-2.0.so.0\n"
         "race:libgio-2.0.so.0\n";
}
#endif
