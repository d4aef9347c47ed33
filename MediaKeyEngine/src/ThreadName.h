#pragma once

#include <string_view>

#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara::detail {

// Names the calling thread for debuggers and process listings; platforms with short name
// limits keep the most specific end of the name.
void setCurrentThreadName(std::string_view name);

// Applies a queue's scheduling hint to the calling thread, as far as the platform lets an
// unprivileged process do so.
void setCurrentThreadQualityOfService(QualityOfService qos);

}  // namespace tonvara::detail
