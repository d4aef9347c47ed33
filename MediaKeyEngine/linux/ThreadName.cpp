#include "ThreadName.h"

#include <pthread.h>

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

}  // namespace tonvara::detail
