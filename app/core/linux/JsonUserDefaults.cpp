#include "JsonUserDefaults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSaveFile>
#include <cerrno>
#include <optional>

#include "ConfigFolder.h"
#include "SystemLog.h"

namespace tonvara {

namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The file's whole text, or nothing when it is no regular file, is too large or cannot be
// read. O_NONBLOCK: a FIFO put in its place must not hold the start-up.
std::optional<QByteArray> readRegularFile(const QString& path, qint64 limit) {
  const FileDescriptor file(
      ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      info.st_size > limit) {
    return std::nullopt;
  }
  QByteArray text;
  char buffer[16384];
  for (;;) {
    const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count < 0 || text.size() + count > limit) {
      return std::nullopt;  // also a file that grew past the limit while read
    }
    if (count == 0) {
      return text;
    }
    text.append(buffer, count);
  }
}

}  // namespace

QString JsonUserDefaults::defaultPath(const QString& domain) {
  return userConfigFolder() + QStringLiteral("/tonvara/") + domain + QStringLiteral(".json");
}

JsonUserDefaults::JsonUserDefaults(QString path) : path_(std::move(path)) {
  removeStaleTemporaries();
  load();
}

QJsonValue JsonUserDefaults::object(const QString& key) const {
  return values_.value(key);  // undefined when absent
}

void JsonUserDefaults::setObject(const QString& key, const QJsonValue& value) {
  values_.insert(key, value);
  save();
}

void JsonUserDefaults::removeStaleTemporaries() const {
  // Where the system cannot make unnamed files, each write goes through "<name>.XXXXXX";
  // an interrupted one leaves it behind. Only one instance runs, so none is in use now.
  const QFileInfo live(path_);
  const QRegularExpression temporary(QRegularExpression::anchoredPattern(
      QRegularExpression::escape(live.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
  const QDir folder = live.absoluteDir();
  for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    if (temporary.match(name).hasMatch()) {
      QFile::remove(folder.filePath(name));
    }
  }
}

void JsonUserDefaults::load() {
  struct stat link {};
  if (::lstat(QFile::encodeName(path_).constData(), &link) != 0) {
    return;  // nothing stored yet
  }
  const auto text = readRegularFile(path_, kMaxFileSize);
  if (!text) {
    unreadableFileOnDisk_ = true;
    return;
  }
  QJsonParseError error{};
  const auto document = QJsonDocument::fromJson(*text, &error);
  if (error.error != QJsonParseError::NoError || !document.isObject()) {
    unreadableFileOnDisk_ = true;
    return;
  }
  values_ = document.object();
}

bool JsonUserDefaults::setAsideUnreadableFile() {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QString keptAs = path_ + QStringLiteral(".unreadable-") + stamp;
  for (int n = 2; QFileInfo::exists(keptAs) || QFileInfo(keptAs).isSymLink(); ++n) {
    keptAs = path_ + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
  }
  // rename(2) moves a link itself, never what it points to.
  if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(keptAs).constData()) != 0) {
    logWarning(QStringLiteral("settings file %1 could not be read and could not be kept aside; "
                              "it is left as it is and settings are not saved")
                   .arg(QDir::toNativeSeparators(path_)));
    return false;
  }
  logWarning(QStringLiteral("settings file %1 could not be read; it was kept as %2 and replaced "
                            "with new settings")
                 .arg(QDir::toNativeSeparators(path_), QDir::toNativeSeparators(keptAs)));
  return true;
}

void JsonUserDefaults::save() {
  if (savingRefused_) {
    return;
  }
  if (unreadableFileOnDisk_) {
    struct stat link {};
    const bool stillThere = ::lstat(QFile::encodeName(path_).constData(), &link) == 0;
    if (stillThere && !setAsideUnreadableFile()) {
      // Said once; what the user had stays untouched for the rest of this run.
      savingRefused_ = true;
      return;
    }
    unreadableFileOnDisk_ = false;
  }
  const QString folder = QFileInfo(path_).absolutePath();
  if (!QDir().mkpath(folder)) {
    reportWriteFailure(
        QStringLiteral("the folder %1 could not be made").arg(QDir::toNativeSeparators(folder)));
    return;
  }
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) {
    reportWriteFailure(file.errorString());
    return;
  }
  file.write(QJsonDocument(values_).toJson(QJsonDocument::Indented));
  if (!file.commit()) {
    reportWriteFailure(file.errorString());
  }
}

void JsonUserDefaults::reportWriteFailure(const QString& reason) {
  if (writeFailureReported_) {
    return;
  }
  writeFailureReported_ = true;
  logWarning(QStringLiteral("settings could not be saved to %1 (%2); changes last only until "
                            "Tonvara quits")
                 .arg(QDir::toNativeSeparators(path_), reason));
}

}  // namespace tonvara
