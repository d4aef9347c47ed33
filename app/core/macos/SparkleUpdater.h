#pragma once

#include <functional>
#include <memory>

namespace tonvara::mac {

// The update framework's standard controller, loaded from the application bundle. Without a
// configured feed and key it is never started, so checking stays unavailable (the menu item
// greys out).
class SparkleUpdater {
 public:
  // `changed` runs on the main thread with each new "can check for updates" value.
  SparkleUpdater(bool configured, std::function<void(bool canCheck)> changed);
  ~SparkleUpdater();
  SparkleUpdater(const SparkleUpdater&) = delete;
  SparkleUpdater& operator=(const SparkleUpdater&) = delete;

  bool canCheckForUpdates() const;
  // Shows the framework's own progress and result windows.
  void checkForUpdates();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tonvara::mac
