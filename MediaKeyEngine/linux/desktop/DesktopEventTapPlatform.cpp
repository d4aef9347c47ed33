#include "MediaKeyEngineDesktop/DesktopEventTapPlatform.h"

#include "DesktopRunLoop.h"
#include "DesktopTap.h"
#include "MediaKeyEngineDesktop/DeliveredKeys.h"

namespace tonvara::linux_desktop {

std::shared_ptr<EventTapPort> DesktopEventTapPlatform::createEventTap(
    EventTapLocation /*location*/, EventTapPlacement /*placement*/, EventTapOptions /*options*/,
    EventMask mask, EventTapCallBack callback, void* userInfo) {
  // Only media keys are delivered, and only while a channel brings them.
  if ((mask & kSystemDefinedEventMask) == 0 || callback == nullptr || !isDeliveryOpen()) {
    return nullptr;
  }
  auto tap = std::make_shared<DesktopTap>(callback, userInfo);
  registerTap(tap);
  return tap;
}

std::shared_ptr<RunLoopSource> DesktopEventTapPlatform::createRunLoopSource(
    const std::shared_ptr<EventTapPort>& port) {
  auto tap = std::dynamic_pointer_cast<DesktopTap>(port);
  return tap ? std::make_shared<DesktopRunLoopSource>(std::move(tap)) : nullptr;
}

std::shared_ptr<RunLoop> DesktopEventTapPlatform::currentRunLoop() {
  return linux_common::currentThreadLoop<DesktopRunLoop>();
}

void DesktopEventTapPlatform::enableTap(EventTapPort& port, bool enable) {
  if (auto* tap = dynamic_cast<DesktopTap*>(&port)) {
    tap->setEnabled(enable);
  }
}

bool DesktopEventTapPlatform::isProcessTrusted() { return isDeliveryOpen(); }

std::optional<SystemDefinedEventFields> DesktopEventTapPlatform::systemDefinedFields(
    EventRef event) {
  if (event == nullptr) {
    return std::nullopt;
  }
  const auto* fields = static_cast<const DesktopSystemDefinedEvent*>(event);
  return SystemDefinedEventFields{fields->subtype, fields->data1};
}

}  // namespace tonvara::linux_desktop
