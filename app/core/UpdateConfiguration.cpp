#include "UpdateConfiguration.h"

#include "PlatformServices.h"

namespace tonvara::UpdateConfiguration {

bool hasUsableValue(const PlatformServices& services, const QString& key) {
  const QVariant value = services.infoDictionaryValue(key);
  if (value.typeId() != QMetaType::QString) {
    return false;
  }
  const QString text = value.toString();
  return !text.isEmpty() && !text.contains(QLatin1String(kPlaceholderMarker), Qt::CaseSensitive);
}

bool isConfigured(const PlatformServices& services) {
  return hasUsableValue(services, QLatin1String(kPublicKeyKey)) &&
         hasUsableValue(services, QLatin1String(kFeedUrlKey));
}

}  // namespace tonvara::UpdateConfiguration
