#pragma once

#include <QDir>
#include <QStandardPaths>
#include <QString>

namespace tonvara {

// The user's configuration folder ($XDG_CONFIG_HOME, ~/.config by default). A relative
// $XDG_CONFIG_HOME is not valid there and is ignored.
inline QString userConfigFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return QDir::isAbsolutePath(folder) ? folder : QDir::homePath() + QStringLiteral("/.config");
}

}  // namespace tonvara
