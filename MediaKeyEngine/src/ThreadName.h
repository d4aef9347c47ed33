#pragma once

#include <string_view>

namespace tonvara::detail {

// Names the calling thread for debuggers and process listings; platforms with short name
// limits keep the most specific end of the name.
void setCurrentThreadName(std::string_view name);

}  // namespace tonvara::detail
