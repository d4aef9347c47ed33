#include "SystemLog.h"

#include <syslog.h>

#include <cstdio>

namespace tonvara {

void logWarning(const QString& line) {
  const QByteArray text = line.toLocal8Bit();
  std::fprintf(stderr, "tonvara: %s\n", text.constData());
  ::syslog(LOG_USER | LOG_WARNING, "%s", text.constData());
}

}  // namespace tonvara
