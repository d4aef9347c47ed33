#include "SavedDesktopKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

#include "ConfigFolder.h"
#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

namespace {

std::unique_ptr<DesktopKeyHolder> holderNamed(const QString& id) {
  if (id == QLatin1String("gnome")) {
    return makeGnomeHolder();
  }
  if (id == QLatin1String("cinnamon")) {
    return makeCinnamonHolder();
  }
  if (id == QLatin1String("mate")) {
    return makeMateHolder();
  }
  if (id == QLatin1String("xfce")) {
    return makeXfceHolder();
  }
  return id == QLatin1String("kde") ? makeKdeHolder() : nullptr;
}

}  // namespace

QString savedDesktopKeysPath() {
  return userConfigFolder() + QStringLiteral("/tonvara/desktop-keys.json");
}

bool writeSavedDesktopKeys(const QString& path, const SavedDesktopKeys& saved) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QSaveFile file(path);
  const QJsonObject root{{QStringLiteral("holder"), saved.holder},
                         {QStringLiteral("values"), saved.values}};
  return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(root).toJson()) >= 0 &&
         file.commit();
}

std::optional<SavedDesktopKeys> readSavedDesktopKeys(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return std::nullopt;
  }
  const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
  if (!root.value(QStringLiteral("holder")).isString()) {
    return std::nullopt;
  }
  return SavedDesktopKeys{root.value(QStringLiteral("holder")).toString(),
                          root.value(QStringLiteral("values")).toObject()};
}

bool restoreSavedDesktopKeys(const QString& path) {
  if (!QFile::exists(path)) {
    return true;
  }
  const auto saved = readSavedDesktopKeys(path);
  const auto holder = saved ? holderNamed(saved->holder) : nullptr;
  if (!holder) {
    return false;  // kept: a later version may know how to read it
  }
  if (saved->holder == QLatin1String("gnome")) {
    makeGnomeKeybindingChannel(QString())->close();
  }
  return holder->restore(saved->values) && QFile::remove(path);
}

}  // namespace tonvara::desktopkeys
