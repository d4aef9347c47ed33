#include "X11RunLoop.h"

#include <poll.h>

#include <algorithm>

#include "X11EventTap.h"

namespace tonvara::linux_x11 {

void X11RunLoop::addSource(const std::shared_ptr<RunLoopSource>& source) {
  auto x11Source = std::dynamic_pointer_cast<X11RunLoopSource>(source);
  if (!x11Source || !x11Source->tap()) {
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (std::find(sources_.begin(), sources_.end(), x11Source) == sources_.end()) {
      sources_.push_back(std::move(x11Source));
    }
  }
  wake_.signal();
}

void X11RunLoop::removeSource(const std::shared_ptr<RunLoopSource>& source) {
  {
    std::lock_guard lock(mutex_);
    std::erase_if(sources_, [&](const auto& known) { return known == source; });
  }
  wake_.signal();
}

void X11RunLoop::run() {
  std::vector<std::shared_ptr<X11RunLoopSource>> sources;
  std::vector<pollfd> descriptors;
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stopped_) {
        return;
      }
      sources = sources_;
    }
    // Events may already sit in a connection's queue, where poll() cannot see them.
    for (const auto& source : sources) {
      source->tap()->dispatch();
    }
    descriptors.assign(1, pollfd{wake_.fd(), POLLIN, 0});
    for (const auto& source : sources) {
      descriptors.push_back(pollfd{source->tap()->connectionFd(), POLLIN, 0});
      descriptors.push_back(pollfd{source->tap()->wakeFd(), POLLIN, 0});
    }
    sources.clear();
    if (poll(descriptors.data(), descriptors.size(), -1) > 0 && descriptors[0].revents != 0) {
      wake_.drain();
    }
  }
}

void X11RunLoop::stop() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
  }
  wake_.signal();
}

}  // namespace tonvara::linux_x11
