#include "DesktopRunLoop.h"

#include <poll.h>

#include <algorithm>

namespace tonvara::linux_desktop {

void DesktopRunLoop::addSource(const std::shared_ptr<RunLoopSource>& source) {
  auto desktopSource = std::dynamic_pointer_cast<DesktopRunLoopSource>(source);
  if (!desktopSource || !desktopSource->tap()) {
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (std::find(sources_.begin(), sources_.end(), desktopSource) == sources_.end()) {
      sources_.push_back(std::move(desktopSource));
    }
  }
  wake_.signal();
}

void DesktopRunLoop::removeSource(const std::shared_ptr<RunLoopSource>& source) {
  {
    std::lock_guard lock(mutex_);
    std::erase_if(sources_, [&](const auto& known) { return known == source; });
  }
  wake_.signal();
}

void DesktopRunLoop::run() {
  std::vector<std::shared_ptr<DesktopRunLoopSource>> sources;
  std::vector<pollfd> descriptors;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) {
        return;
      }
      sources = sources_;
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
