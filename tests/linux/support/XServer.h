#pragma once

#include <memory>
#include <string>

#include "ChildProcess.h"

namespace tonvara::testing {

// A private Xvfb for one test, on a display number it picks itself; stopped by its process id
// when the object goes, also when the test fails part-way.
class XServer {
 public:
  static bool isInstalled();

  // Throws when the server does not come up.
  XServer();
  ~XServer();

  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  // ":N"
  const std::string& displayName() const { return displayName_; }
  // Ends the server at once, as a crash would.
  void kill();

 private:
  std::unique_ptr<ChildProcess> process_;
  std::string displayName_;
};

}  // namespace tonvara::testing
