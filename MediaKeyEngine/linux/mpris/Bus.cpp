#include "mpris/Bus.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>
#include <utility>

namespace tonvara::mpris {

namespace {

// Frees an sd_bus_error however the call ends.
struct ErrorHolder {
  sd_bus_error error{};  // SD_BUS_ERROR_NULL is a C compound literal
  ErrorHolder() = default;
  ErrorHolder(const ErrorHolder&) = delete;
  ErrorHolder& operator=(const ErrorHolder&) = delete;
  ~ErrorHolder() { sd_bus_error_free(&error); }

  CallResult result(int code) const {
    CallResult outcome;
    outcome.code = code;
    if (code < 0 && error.name != nullptr) {
      outcome.errorName = error.name;
    }
    return outcome;
  }
};

struct MessageDeleter {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageDeleter>;

// Ids only grow, so a thread's table never mistakes a new set of connections for an old one.
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables)
std::atomic<std::uint64_t> nextConnectionsId{0};

}  // namespace

BusPtr openBus(const std::optional<std::string>& address, std::chrono::microseconds callTimeout) {
  sd_bus* raw = nullptr;
  BusPtr bus;
  if (address) {
    if (sd_bus_new(&raw) < 0) {
      return nullptr;
    }
    bus.reset(raw);
    if (sd_bus_set_address(raw, address->c_str()) < 0 || sd_bus_set_bus_client(raw, 1) < 0 ||
        sd_bus_start(raw) < 0) {
      return nullptr;
    }
  } else {
    if (sd_bus_open_user(&raw) < 0) {
      return nullptr;
    }
    bus.reset(raw);
  }
  sd_bus_set_method_call_timeout(raw, static_cast<std::uint64_t>(callTimeout.count()));
  return bus;
}

bool CallResult::accessDenied() const { return errorName == SD_BUS_ERROR_ACCESS_DENIED; }

CallResult callMethod(sd_bus* bus, const std::string& destination, const char* path,
                      const char* interface, const char* member) {
  ErrorHolder holder;
  sd_bus_message* reply = nullptr;
  const int r = sd_bus_call_method(bus, destination.c_str(), path, interface, member, &holder.error,
                                   &reply, "");
  MessagePtr owned(reply);
  return holder.result(r);
}

CallResult getStringProperty(sd_bus* bus, const std::string& destination, const char* path,
                             const char* interface, const char* property, std::string& value) {
  ErrorHolder holder;
  char* text = nullptr;
  const int r = sd_bus_get_property_string(bus, destination.c_str(), path, interface, property,
                                           &holder.error, &text);
  if (r >= 0 && text != nullptr) {
    value = text;
  }
  std::free(text);  // NOLINT: sd-bus hands over a malloc'd string
  return holder.result(r);
}

BusConnections::BusConnections(std::optional<std::string> address,
                               std::chrono::microseconds callTimeout)
    : address_(std::move(address)), callTimeout_(callTimeout), id_(nextConnectionsId++) {}

sd_bus* BusConnections::forCurrentThread() {
  // Destroyed, and so closed, when the thread ends.
  thread_local std::unordered_map<std::uint64_t, BusPtr> buses;
  auto& slot = buses[id_];
  if (slot && sd_bus_is_open(slot.get()) > 0) {
    return slot.get();
  }
  slot = openBus(address_, callTimeout_);
  return slot.get();
}

}  // namespace tonvara::mpris
