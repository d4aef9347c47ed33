#pragma once

#include <QJsonObject>
#include <QString>

#include "PlatformServices.h"

namespace tonvara {

// The settings domain as one JSON object in a file. Read once when made; reads never touch the
// file. Each write replaces the whole file atomically. A file that cannot be read as a JSON
// object (or is no regular file, or is larger than kMaxFileSize) is kept aside, renamed with a
// timestamp, before the first write replaces it. A write that fails is said once; the values
// stay in memory for the rest of the run.
class JsonUserDefaults final : public UserDefaults {
 public:
  static constexpr qint64 kMaxFileSize = 1024 * 1024;

  // <generic config folder>/tonvara/<domain>.json.
  static QString defaultPath(const QString& domain);

  // Removes temporary copies left by interrupted writes, then reads the file.
  explicit JsonUserDefaults(QString path);

  QJsonValue object(const QString& key) const override;
  void setObject(const QString& key, const QJsonValue& value) override;

  const QString& path() const { return path_; }

 private:
  void removeStaleTemporaries() const;
  void load();
  bool setAsideUnreadableFile();
  void save();
  void reportWriteFailure(const QString& reason);

  const QString path_;
  QJsonObject values_;
  bool unreadableFileOnDisk_ = false;
  bool savingRefused_ = false;
  bool writeFailureReported_ = false;
};

}  // namespace tonvara
