#include "MediaKeyEngineDesktop/DeliveredKeys.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "DesktopTap.h"

namespace tonvara::linux_desktop {

namespace {

// The desktop delivers to the process, not to one object: the platform layer keeps the taps.
struct Delivery {
  std::mutex mutex;
  std::vector<std::weak_ptr<DesktopTap>> taps;
  std::atomic<bool> open{false};
};

Delivery& delivery() {
  static Delivery instance;
  return instance;
}

std::vector<std::shared_ptr<DesktopTap>> liveTaps() {
  std::vector<std::shared_ptr<DesktopTap>> live;
  std::lock_guard lock(delivery().mutex);
  std::erase_if(delivery().taps, [](const auto& known) { return known.expired(); });
  for (const auto& known : delivery().taps) {
    if (auto tap = known.lock()) {
      live.push_back(std::move(tap));
    }
  }
  return live;
}

}  // namespace

void registerTap(const std::shared_ptr<DesktopTap>& tap) {
  std::lock_guard lock(delivery().mutex);
  delivery().taps.push_back(tap);
}

bool deliverKey(MediaKey key) {
  bool taken = false;
  for (const auto& tap : liveTaps()) {
    taken = tap->post(key) || taken;
  }
  return taken;
}

void setDeliveryOpen(bool open) { delivery().open = open; }

bool isDeliveryOpen() { return delivery().open; }

}  // namespace tonvara::linux_desktop
