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

bool MprisPlayerObject::can(const char* property) {
  sd_bus* bus = connections_->forCurrentThread();
  bool value = false;
  return bus != nullptr &&
         getBoolProperty(bus, owner_, kMprisPath, kMprisPlayerInterface, property, value).ok() &&
         value;
}

bool MprisPlayerObject::respondsToSelector(std::string_view selector) {
  if (selector == "playpause") {
    return can("CanPause") || can("CanPlay");
  }
  if (selector == "nextTrack") {
    return can("CanGoNext");
  }
  if (selector == "previousTrack") {
    return can("CanGoPrevious");
  }
  if (selector == "play") {
    return can("CanPlay");
  }
  return false;
}

void MprisPlayerObject::performSelector(std::string_view selector) {
  const char* method = methodFor(selector);
  sd_bus* bus = connections_->forCurrentThread();
  if (method != nullptr && bus != nullptr) {
    callMethod(bus, owner_, kMprisPath, kMprisPlayerInterface, method);
  }
}

}  // namespace tonvara::mpris
