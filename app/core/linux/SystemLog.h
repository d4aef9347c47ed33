#pragma once

#include <QString>

namespace tonvara {

// One warning line on the standard error, prefixed with the program's name, and in the system
// log (the journal on systemd systems) when one is there.
void logWarning(const QString& line);

}  // namespace tonvara
