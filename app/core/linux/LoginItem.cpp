#include "LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

#include "BundleInfo.h"

namespace tonvara::LoginItem {

namespace {

// The [Desktop Entry] group's value for `key`, or nothing.
std::optional<QString> entryValue(const QString& text, QStringView key) {
  bool inMainGroup = false;
  const auto lines = QStringView(text).split(u'\n');
  for (auto line : lines) {
    line = line.trimmed();
    if (line.startsWith(u'[')) {
      inMainGroup = line == u"[Desktop Entry]";
      continue;
    }
    if (!inMainGroup || line.startsWith(u'#')) {
      continue;
    }
    const auto equals = line.indexOf(u'=');
    if (equals > 0 && line.left(equals).trimmed() == key) {
      return line.mid(equals + 1).trimmed().toString();
    }
  }
  return std::nullopt;
}

bool needsQuoting(const QString& argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  return argument.isEmpty() || std::any_of(argument.begin(), argument.end(),
                                           [](QChar c) { return reserved.contains(c); });
}

}  // namespace

Location defaultLocation() {
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) {
    base = QDir::homePath() + QStringLiteral("/.config");
  }
  return Location{base + QStringLiteral("/autostart/") + QLatin1String(BundleInfo::kIdentifier) +
                      QStringLiteral(".desktop"),
                  QCoreApplication::instance() != nullptr ? QCoreApplication::applicationFilePath()
                                                          : QString()};
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
             "Terminal=false\n"
             "X-GNOME-Autostart-enabled=true\n")
      .arg(BundleInfo::name(), execArgument(executable));
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
  QFile entry(location.entryPath);
  if (!entry.open(QIODevice::ReadOnly)) {
    return kNotRegistered;
  }
  const QString text = QString::fromUtf8(entry.readAll());
  if (entryValue(text, u"Hidden") == QStringLiteral("true") ||
      entryValue(text, u"X-GNOME-Autostart-enabled") == QStringLiteral("false")) {
    return kNotRegistered;
  }
  return kEnabled;
}

}  // namespace tonvara::LoginItem
