#pragma once

#include <QJsonObject>
#include <QString>
#include <optional>

namespace tonvara::desktopkeys {

// The desktop's values as they were before Tonvara took its keys. The file exists exactly while
// the desktop may be left changed, so a crash leaves it for the next start.
struct SavedDesktopKeys {
  QString holder;  // DesktopKeyHolder::id()
  QJsonObject values;
};

// <configuration folder>/tonvara/desktop-keys.json.
QString savedDesktopKeysPath();
// Replaces the file atomically; false when it could not be written.
bool writeSavedDesktopKeys(const QString& path, const SavedDesktopKeys& saved);
std::optional<SavedDesktopKeys> readSavedDesktopKeys(const QString& path);

// Puts the desktop back as the file says and removes Tonvara's own keybindings, then the file.
// True when nothing is left to restore. Blocking: never on the main thread of a running program.
bool restoreSavedDesktopKeys(const QString& path);

}  // namespace tonvara::desktopkeys
