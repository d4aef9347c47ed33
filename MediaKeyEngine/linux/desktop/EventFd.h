#pragma once

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tonvara::linux_desktop {

// An eventfd that wakes a poll() on another thread: signal() from anywhere, drain() on the
// waiting thread.
class EventFd {
 public:
  EventFd() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~EventFd() {
    if (fd_ >= 0) {
      close(fd_);
    }
  }
  EventFd(const EventFd&) = delete;
  EventFd& operator=(const EventFd&) = delete;

  int fd() const { return fd_; }
  void signal() const {
    const std::uint64_t one = 1;
    // Non-blocking: a full counter already means "wake up".
    [[maybe_unused]] const auto written = write(fd_, &one, sizeof one);
  }
  void drain() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const auto readBytes = read(fd_, &count, sizeof count);
  }

 private:
  int fd_;
};

}  // namespace tonvara::linux_desktop
