#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <optional>
#include <vector>

namespace tonvara {

// One release announced by an update feed (an RSS "appcast").
struct AppcastItem {
  QString title;
  // The machine-comparable version (sparkle:version), else the display version.
  QString version;
  // The version shown to people (sparkle:shortVersionString), else `version`.
  QString displayVersion;
  QUrl downloadUrl;
  QUrl releaseNotesUrl;
};

// The items of a feed that name a version; nothing when the text is not an RSS document with
// at least one such item.
std::optional<std::vector<AppcastItem>> parseAppcast(const QByteArray& document);

// The item with the highest version; the first of equals wins.
std::optional<AppcastItem> newestItem(const std::vector<AppcastItem>& items);

// Negative, zero or positive as `a` is older than, the same as or newer than `b`. Numeric
// parts compare as numbers; at equal numbers a suffixed version ("1.2b1") is the older one.
int compareVersions(const QString& a, const QString& b);

}  // namespace tonvara
