#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tonvara::mpris {

// What the field codes of an Exec line stand for when an application is started without files.
struct ExecFields {
  std::string icon;       // %i
  std::string name;       // %c
  std::string entryPath;  // %k
};

// Splits an Exec value (string escapes already resolved) into a program and its arguments, by
// the Desktop Entry quoting rules, so that it can be started without a shell. File and URL
// codes (%f %F %u %U) and deprecated codes vanish; %i, %c, %k and %% are filled in. A line
// that needs a shell (reserved characters outside quotes), has unbalanced or malformed quoting,
// an unknown field code, or no program gives nothing.
std::optional<std::vector<std::string>> parseExecLine(std::string_view exec,
                                                      const ExecFields& fields);

}  // namespace tonvara::mpris
