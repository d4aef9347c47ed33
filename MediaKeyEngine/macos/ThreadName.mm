#include "ThreadName.h"

#include <pthread.h>

#include <string>

namespace tonvara::detail {

void setCurrentThreadName(std::string_view name) { pthread_setname_np(std::string(name).c_str()); }

}  // namespace tonvara::detail
