#pragma once

#include <QJsonObject>
#include <QString>

#include "PlatformServices.h"

namespace tonvara {

// The settings domain as one JSON object in a file. Read once when made; reads never touch the
// file. Each write replaces the whole file atomically. A file that cannot be read as a JSON
// object is kept aside, renamed with a timestamp, before the first write replaces it.
class JsonUserDefaults final : public UserDefaults {
 public:
  // $XDG_CONFIG_HOME/tonvara/<domain>.json, with ~/.config when the variable is unset or
  // not absolute.
  static QString defaultPath(const QString& domain);

  explicit JsonUserDefaults(QString path);

  QJsonValue object(const QString& key) const override;
  void setObject(const QString& key, const QJsonValue& value) override;

  const QString& path() const { return path_; }

 private:
  void load();
  bool setAsideUnreadableFile();
  void save();

  const QString path_;
  QJsonObject values_;
  bool unreadableFileOnDisk_ = false;
  bool savingRefused_ = false;
};

}  // namespace tonvara
