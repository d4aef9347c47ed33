#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tonvara::mpris {

// Where an executable program is: an absolute path as it is, a bare name searched on PATH.
// Nothing when it is missing, not executable, or a relative path with a directory part.
std::optional<std::string> findProgram(std::string_view program);

}  // namespace tonvara::mpris
