#pragma once

#include <utility>

namespace tonvara::linux_common {

// Owns one file descriptor and closes it.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// A counter that makes a poll() on another thread return: signal() from anywhere, drain() on
// the waiting thread.
class WakeSignal {
 public:
  WakeSignal();
  void signal() const;
  void drain() const;
  int fd() const { return fd_.get(); }

 private:
  FileDescriptor fd_;
};

}  // namespace tonvara::linux_common
