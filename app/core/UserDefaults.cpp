#include "PlatformServices.h"

namespace tonvara {

std::optional<QString> UserDefaults::string(const QString& key) const {
  const QJsonValue value = object(key);
  if (!value.isString()) {
    return std::nullopt;
  }
  return value.toString();
}

bool UserDefaults::boolean(const QString& key) const {
  const QJsonValue value = object(key);
  if (value.isBool()) {
    return value.toBool();
  }
  if (value.isDouble()) {
    return value.toDouble() != 0.0;
  }
  return false;
}

}  // namespace tonvara
