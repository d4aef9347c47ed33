#include "MediaKeyEngineX11/X11EventTapPlatform.h"

#include <algorithm>
#include <utility>

#include "AccessProbe.h"
#include "X11EventTap.h"
#include "X11RunLoop.h"
#include "XcbConnection.h"

namespace tonvara::linux_x11 {

X11EventTapPlatform::X11EventTapPlatform(std::optional<std::string> displayName)
    : displayName_(std::move(displayName)) {}

X11EventTapPlatform::~X11EventTapPlatform() = default;

bool X11EventTapPlatform::canServe(const std::optional<std::string>& displayName) {
  const auto display = connectToDisplay(displayName);
  return display && !isXwayland(display->connection.get());
}

std::shared_ptr<EventTapPort> X11EventTapPlatform::createEventTap(
    EventTapLocation /*location*/, EventTapPlacement /*placement*/, EventTapOptions /*options*/,
    EventMask mask, EventTapCallBack callback, void* userInfo) {
  // Key grabs can only ever produce system-defined media-key events.
  if ((mask & kSystemDefinedEventMask) == 0 || callback == nullptr) {
    return nullptr;
  }
  auto tap = X11EventTap::create(displayName_, callback, userInfo);
  if (tap) {
    std::lock_guard lock(tapsLock_);
    std::erase_if(taps_, [](const auto& known) { return known.expired(); });
    taps_.push_back(tap);
  }
  return tap;
}

std::shared_ptr<RunLoopSource> X11EventTapPlatform::createRunLoopSource(
    const std::shared_ptr<EventTapPort>& port) {
  return std::make_shared<X11RunLoopSource>(std::dynamic_pointer_cast<X11EventTap>(port));
}

std::shared_ptr<RunLoop> X11EventTapPlatform::currentRunLoop() {
  return linux_common::currentThreadLoop<X11RunLoop>();
}

void X11EventTapPlatform::enableTap(EventTapPort& port, bool enable) {
  if (auto* tap = dynamic_cast<X11EventTap*>(&port)) {
    tap->setEnabled(enable);
  }
}

bool X11EventTapPlatform::isProcessTrusted() {
  return anyTapHoldsKeys() || mediaKeysCapturable(displayName_);
}

bool X11EventTapPlatform::anyTapHoldsKeys() {
  std::vector<std::shared_ptr<X11EventTap>> live;
  {
    std::lock_guard lock(tapsLock_);
    for (const auto& known : taps_) {
      if (auto tap = known.lock()) {
        live.push_back(std::move(tap));
      }
    }
  }
  return std::any_of(live.begin(), live.end(), [](const auto& tap) { return tap->holdsKeys(); });
}

std::optional<SystemDefinedEventFields> X11EventTapPlatform::systemDefinedFields(EventRef event) {
  if (event == nullptr) {
    return std::nullopt;
  }
  const auto* fields = static_cast<const X11SystemDefinedEvent*>(event);
  return SystemDefinedEventFields{fields->subtype, fields->data1};
}

}  // namespace tonvara::linux_x11
