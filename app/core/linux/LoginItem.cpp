#include "LoginItem.h"

#include <glib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <memory>

#include "BundleInfo.h"
#include "ConfigFolder.h"

namespace tonvara::LoginItem {

namespace {

constexpr char kMainGroup[] = "Desktop Entry";

// The entry as GLib reads desktop files; false when it is missing or unreadable. Only a
// regular file is read: something else in its place must not hold the caller.
bool loadEntry(const QString& path, GKeyFile* entry) {
  return QFileInfo(path).isFile() &&
         g_key_file_load_from_file(entry, QFile::encodeName(path).constData(), G_KEY_FILE_NONE,
                                   nullptr);
}

// The Boolean under `key` in the main group, or nothing when it is absent or not a Boolean.
std::optional<bool> booleanValue(GKeyFile* entry, const char* key) {
  GError* error = nullptr;
  const bool value = g_key_file_get_boolean(entry, kMainGroup, key, &error);
  if (error != nullptr) {
    g_error_free(error);
    return std::nullopt;
  }
  return value;
}

bool needsQuoting(const QString& argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  return argument.isEmpty() || std::any_of(argument.begin(), argument.end(),
                                           [](QChar c) { return reserved.contains(c); });
}

// The running program's path, or the package's /usr/bin/tonvara when that is the same file (a
// symbolic link, /bin on a merged /usr): the entry then outlives where this run came from.
QString runningProgram() {
  if (QCoreApplication::instance() == nullptr) {
    return {};
  }
  const QString running = QCoreApplication::applicationFilePath();
  const QString installed = QStringLiteral("/usr/bin/tonvara");
  const QString canonical = QFileInfo(running).canonicalFilePath();
  return !canonical.isEmpty() && canonical == QFileInfo(installed).canonicalFilePath() ? installed
                                                                                       : running;
}

// A desktop entry's string value: backslashes and control characters escaped.
QString stringValue(QString text) {
  text.replace(u'\\', QStringLiteral("\\\\"));
  text.replace(u'\n', QStringLiteral("\\n"));
  text.replace(u'\t', QStringLiteral("\\t"));
  text.replace(u'\r', QStringLiteral("\\r"));
  return text;
}

}  // namespace

Location defaultLocation() {
  return Location{userConfigFolder() + QStringLiteral("/autostart/") +
                      QLatin1String(BundleInfo::kIdentifier) + QStringLiteral(".desktop"),
                  runningProgram()};
}

QString execArgument(const QString& argument) {
  QString text = argument;
  text.replace(u'%', QStringLiteral("%%"));
  if (needsQuoting(argument)) {
    QString quoted;
    for (const QChar c : text) {
      if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
        quoted += u'\\';
      }
      quoted += c;
    }
    text = u'"' + quoted + u'"';
  }
  // The value itself is a string: its backslashes are escaped once more.
  text.replace(u'\\', QStringLiteral("\\\\"));
  return text;
}

QString desktopEntry(const QString& executable) {
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=%1\n"
             "Comment=Media keys for your music player\n"
             "Exec=%2\n"
             "TryExec=%3\n"
             "Terminal=false\n"
             "X-GNOME-Autostart-enabled=true\n")
      .arg(BundleInfo::name(), execArgument(executable), stringValue(executable));
}

std::optional<QString> setEnabled(bool enabled) { return setEnabled(defaultLocation(), enabled); }

std::optional<QString> setEnabled(const Location& location, bool enabled) {
  if (!enabled) {
    QFile entry(location.entryPath);
    if (entry.exists() && !entry.remove()) {
      return QCoreApplication::translate("LoginItem", "Couldn't remove %1: %2")
          .arg(location.entryPath, entry.errorString());
    }
    return std::nullopt;
  }
  if (location.executable.isEmpty()) {
    return QCoreApplication::translate("LoginItem", "The program's location is unknown.");
  }
  const QString folder = QFileInfo(location.entryPath).absolutePath();
  if (!QDir().mkpath(folder)) {
    return QCoreApplication::translate("LoginItem", "Couldn't create the folder %1.").arg(folder);
  }
  QSaveFile entry(location.entryPath);
  if (!entry.open(QIODevice::WriteOnly)) {
    return QCoreApplication::translate("LoginItem", "Couldn't write %1: %2")
        .arg(location.entryPath, entry.errorString());
  }
  entry.write(desktopEntry(location.executable).toUtf8());
  if (!entry.commit()) {
    return QCoreApplication::translate("LoginItem", "Couldn't write %1: %2")
        .arg(location.entryPath, entry.errorString());
  }
  return std::nullopt;
}

int status() { return status(defaultLocation()); }

int status(const Location& location) {
  if (location.executable.isEmpty()) {
    return kNotFound;
  }
  const std::unique_ptr<GKeyFile, decltype(&g_key_file_free)> entry(g_key_file_new(),
                                                                    &g_key_file_free);
  if (!loadEntry(location.entryPath, entry.get()) || booleanValue(entry.get(), "Hidden") == true ||
      booleanValue(entry.get(), "X-GNOME-Autostart-enabled") == false) {
    return kNotRegistered;
  }
  return kEnabled;
}

}  // namespace tonvara::LoginItem
