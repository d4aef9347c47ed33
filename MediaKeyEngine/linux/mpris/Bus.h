#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tonvara::mpris {

inline constexpr const char* kMprisPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kMprisRootInterface = "org.mpris.MediaPlayer2";
inline constexpr const char* kMprisPlayerInterface = "org.mpris.MediaPlayer2.Player";
inline constexpr std::string_view kMprisNamePrefix = "org.mpris.MediaPlayer2.";

struct BusDeleter {
  void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
// One connection; sd-bus objects must not be used by two threads at once.
using BusPtr = std::unique_ptr<sd_bus, BusDeleter>;

// Opens a client connection to `address`, or to the session bus of the environment when
// there is none. Every method call on it gives up after `callTimeout`. Null on failure.
BusPtr openBus(const std::optional<std::string>& address, std::chrono::microseconds callTimeout);

// How a call ended: success, or the error's name (empty for a local failure).
struct CallResult {
  int code = 0;
  std::string errorName;

  bool ok() const { return code >= 0; }
  // The bus's own refusal. Compared by name: sd-bus maps a player's plain Failed error to
  // -EACCES as well.
  bool accessDenied() const;
};

// A method call without arguments whose reply carries nothing of interest.
CallResult callMethod(sd_bus* bus, const std::string& destination, const char* path,
                      const char* interface, const char* member);
CallResult getStringProperty(sd_bus* bus, const std::string& destination, const char* path,
                             const char* interface, const char* property, std::string& value);

// One connection per calling thread, opened on first use and reopened after the bus has
// gone, so that any thread may make calls without sharing an sd-bus object. A thread's
// connections close when the thread ends.
class BusConnections {
 public:
  BusConnections(std::optional<std::string> address, std::chrono::microseconds callTimeout);

  // This thread's connection; null when the bus cannot be reached.
  sd_bus* forCurrentThread();

 private:
  const std::optional<std::string> address_;
  const std::chrono::microseconds callTimeout_;
  // Keys this instance's connections in each thread's table; never reused.
  const std::uint64_t id_;
};

}  // namespace tonvara::mpris
