#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <chrono>
#include <functional>

namespace tonvara::testing {

// Runs the main thread's event loop until `done` holds or `timeout` passes; true when done.
inline bool runEventsUntil(const std::function<bool()>& done,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  QDeadlineTimer deadline(timeout);
  while (!done()) {
    if (deadline.hasExpired()) {
      return false;
    }
    QCoreApplication::processEvents();
    QThread::msleep(1);
  }
  return true;
}

}  // namespace tonvara::testing
