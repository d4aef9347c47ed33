#include "DesktopRunLoop.h"

#include <poll.h>

#include <algorithm>

namespace tonvara::linux_desktop {

void DesktopRunLoop::run() {
  std::vector<std::shared_ptr<DesktopRunLoopSource>> sources;
  std::vector<pollfd> descriptors;
  for (;;) {
    if (!sourcesUnlessStopped(sources)) {
      return;
    }
    descriptors.assign(1, pollfd{wake_.fd(), POLLIN, 0});
    for (const auto& source : sources) {
      descriptors.push_back(pollfd{source->tap()->inboxFd(), POLLIN, 0});
    }
    if (poll(descriptors.data(), descriptors.size(), -1) <= 0) {
      continue;
    }
    if (descriptors[0].revents != 0) {
      wake_.drain();
    }
    {
      std::lock_guard lock(mutex_);
      if (stopped_) {
        return;
      }
    }
    for (std::size_t index = 0; index < sources.size(); ++index) {
      if (descriptors[index + 1].revents != 0) {
        sources[index]->tap()->deliverQueued();
      }
    }
  }
}

void DesktopRunLoop::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  wake_.signal();
}

}  // namespace tonvara::linux_desktop
