#include "XServer.h"

#include <stdexcept>

namespace tonvara::testing {

bool XServer::isInstalled() { return hasProgram("Xvfb"); }

XServer::XServer() {
  ChildProcess::Options options;
  // -displayfd: the server finds a free display itself and writes its number to stdout once
  // it accepts connections, so parallel tests never race for a number.
  options.argv = {"Xvfb",     "-displayfd", "1", "-nolisten", "tcp",
                  "-noreset", "-screen",    "0", "640x480x24"};
  options.captureStdout = true;
  options.stderrPath = "/dev/null";
  process_ = std::make_unique<ChildProcess>(options);
  const auto number = process_->readLine(std::chrono::seconds(10));
  if (!number || number->empty()) {
    throw std::runtime_error("Xvfb did not report a display");
  }
  displayName_ = ":" + *number;
}

XServer::~XServer() = default;

void XServer::kill() { process_->kill(); }

}  // namespace tonvara::testing
