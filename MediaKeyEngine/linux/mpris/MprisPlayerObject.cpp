#include "mpris/MprisPlayerObject.h"

#include <utility>

namespace tonvara::mpris {

namespace {

const char* methodFor(std::string_view selector) {
  if (selector == "playpause") {
    return "PlayPause";
  }
  if (selector == "nextTrack") {
    return "Next";
  }
  if (selector == "previousTrack") {
    return "Previous";
  }
  if (selector == "play") {
    return "Play";
  }
  return nullptr;
}

}  // namespace

MprisPlayerObject::MprisPlayerObject(std::shared_ptr<BusConnections> connections, std::string owner)
    : connections_(std::move(connections)), owner_(std::move(owner)) {}

bool MprisPlayerObject::respondsToSelector(std::string_view selector) {
  // Every MPRIS player implements these methods; one that cannot act on one ignores the call.
  // Asking its Can* properties first would cost a bus round trip on every key.
  return methodFor(selector) != nullptr;
}

void MprisPlayerObject::performSelector(std::string_view selector) {
  const char* method = methodFor(selector);
  sd_bus* bus = connections_->forCurrentThread();
  if (method != nullptr && bus != nullptr) {
    callMethod(bus, owner_, kMprisPath, kMprisPlayerInterface, method);
  }
}

}  // namespace tonvara::mpris
