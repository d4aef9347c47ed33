#pragma once

#include <QString>

namespace tonvara {

class PlatformServices;

namespace UpdateConfiguration {

inline constexpr auto kPublicKeyKey = "SUPublicEDKey";
inline constexpr auto kFeedUrlKey = "SUFeedURL";
// Template values carry this text until a real key and feed are configured.
inline constexpr auto kPlaceholderMarker = "REPLACE";

// A usable value is a non-empty string without the placeholder marker (case-sensitive).
bool hasUsableValue(const PlatformServices& services, const QString& key);
// Both keys usable; the feed is read only when the public key passes.
bool isConfigured(const PlatformServices& services);

}  // namespace UpdateConfiguration

}  // namespace tonvara
