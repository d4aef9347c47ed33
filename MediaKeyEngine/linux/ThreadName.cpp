#include "ThreadName.h"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

namespace tonvara::detail {

void setCurrentThreadName(std::string_view name) {
  // Linux allows 15 characters; the tail ("ara.MediaKeyTap") tells our threads apart.
  constexpr std::size_t kMaxLength = 15;
  if (name.size() > kMaxLength) {
    name.remove_prefix(name.size() - kMaxLength);
  }
  pthread_setname_np(pthread_self(), std::string(name).c_str());
}

void setCurrentThreadQualityOfService(QualityOfService qos) {
  // Nice values are per thread on Linux. Only lowering priority needs no privilege, so the
  // two user-facing classes keep the inherited value.
  int nice = 0;
  switch (qos) {
    case QualityOfService::userInteractive:
    case QualityOfService::userInitiated:
      return;
    case QualityOfService::utility:
      nice = 10;
      break;
    case QualityOfService::background:
      nice = 19;
      break;
  }
  const auto thread = static_cast<id_t>(gettid());
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, thread);
  if (current == -1 && errno != 0) {
    return;
  }
  // Never raise a thread that already runs at a lower priority.
  setpriority(PRIO_PROCESS, thread, std::max(current, nice));
}

}  // namespace tonvara::detail
