#include "FileDescriptor.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace tonvara::linux_common {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) {
    close(fd_);
  }
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) {
      close(fd_);
    }
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

WakeSignal::WakeSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void WakeSignal::signal() const {
  const std::uint64_t one = 1;
  // Non-blocking: a full counter already means "wake up".
  [[maybe_unused]] const auto written = write(fd_.get(), &one, sizeof one);
}

void WakeSignal::drain() const {
  std::uint64_t count = 0;
  [[maybe_unused]] const auto readBytes = read(fd_.get(), &count, sizeof count);
}

}  // namespace tonvara::linux_common
