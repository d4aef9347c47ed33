#include "JsonUserDefaults.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <cstdio>

namespace tonvara {

QString JsonUserDefaults::defaultPath(const QString& domain) {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) {
    base = QDir::homePath() + QStringLiteral("/.config");
  }
  return base + QStringLiteral("/tonvara/") + domain + QStringLiteral(".json");
}

JsonUserDefaults::JsonUserDefaults(QString path) : path_(std::move(path)) { load(); }

QJsonValue JsonUserDefaults::object(const QString& key) const {
  return values_.value(key);  // undefined when absent
}

void JsonUserDefaults::setObject(const QString& key, const QJsonValue& value) {
  values_.insert(key, value);
  save();
}

void JsonUserDefaults::load() {
  QFile file(path_);
  if (!file.exists()) {
    return;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    unreadableFileOnDisk_ = true;
    return;
  }
  QJsonParseError error{};
  const auto document = QJsonDocument::fromJson(file.readAll(), &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) {
    unreadableFileOnDisk_ = true;
    return;
  }
  values_ = document.object();
}

bool JsonUserDefaults::setAsideUnreadableFile() {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString keptAs = path_ + QStringLiteral(".unreadable-") + stamp;
  for (int n = 2; QFileInfo::exists(keptAs); ++n) {
    keptAs = path_ + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
  }
  if (!QFile::rename(path_, keptAs)) {
    std::fprintf(stderr,
                 "tonvara: settings file %s could not be read and could not be kept "
                 "aside; it is left as it is and settings are not saved\n",
                 qPrintable(QDir::toNativeSeparators(path_)));
    return false;
  }
  std::fprintf(stderr,
               "tonvara: settings file %s could not be read; it was kept as %s and "
               "replaced with new settings\n",
               qPrintable(QDir::toNativeSeparators(path_)),
               qPrintable(QDir::toNativeSeparators(keptAs)));
  return true;
}

void JsonUserDefaults::save() {
  if (savingRefused_) {
    return;
  }
  if (unreadableFileOnDisk_) {
    if (QFileInfo::exists(path_) && !setAsideUnreadableFile()) {
      // Said once; what the user had stays untouched for the rest of this run.
      savingRefused_ = true;
      return;
    }
    unreadableFileOnDisk_ = false;
  }
  if (!QDir().mkpath(QFileInfo(path_).absolutePath())) {
    return;
  }
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) {
    return;
  }
  file.write(QJsonDocument(values_).toJson(QJsonDocument::Indented));
  file.commit();
}

}  // namespace tonvara
