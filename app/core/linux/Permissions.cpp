// On Linux the two privacy panes do not exist. What stands between the program and the keys is
// another program holding them, freed in the desktop's keyboard-shortcut settings, so that is
// what both addresses open; the README's section stands in when no such settings are installed.
#include "Permissions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <array>
#include <vector>

#include "MediaKeyEngine/WorkQueue.h"

namespace tonvara::Permissions {

namespace {

constexpr auto kPaneScheme = "x-apple.systempreferences";
constexpr auto kHelpAnchor = "freeing-the-media-keys";

struct ShortcutSettings {
  const char* desktop;  // as XDG_CURRENT_DESKTOP names it
  const char* program;
  const char* page;  // its one argument; nullptr for none
  const char* name;  // as its users know it
};

// Plain constants, never destroyed: a lookup on a worker thread may outlive the main function.
constexpr std::array<ShortcutSettings, 4> kShortcutSettings{{
    {"GNOME", "gnome-control-center", "keyboard", "GNOME Settings"},
    {"KDE", "systemsettings", "kcm_keys", "KDE System Settings"},
    {"KDE", "systemsettings5", "kcm_keys", "KDE System Settings"},
    {"XFCE", "xfce4-keyboard-settings", nullptr, "Xfce Keyboard Settings"},
}};

const std::array<ShortcutSettings, 4>& shortcutSettings() { return kShortcutSettings; }

QStringList argumentsOf(const ShortcutSettings& settings) {
  return settings.page != nullptr ? QStringList{QString::fromLatin1(settings.page)} : QStringList{};
}

// The first settings that `take` accepts, the running desktop's own tried first.
const ShortcutSettings* firstTaken(const Desktop& desktop,
                                   const std::function<bool(const ShortcutSettings&)>& take) {
  const auto names = desktop.currentDesktop.split(u':', Qt::SkipEmptyParts);
  for (const auto& settings : shortcutSettings()) {
    if (names.contains(QLatin1String(settings.desktop), Qt::CaseInsensitive) && take(settings)) {
      return &settings;
    }
  }
  const auto other = std::find_if(shortcutSettings().begin(), shortcutSettings().end(), take);
  return other == shortcutSettings().end() ? nullptr : &*other;
}

QString installed(const ShortcutSettings& settings, const Desktop& desktop) {
  return desktop.findExecutable(QString::fromLatin1(settings.program));
}

bool openShortcutSettings(const Desktop& desktop) {
  return firstTaken(desktop, [&](const ShortcutSettings& settings) {
           const QString program = installed(settings, desktop);
           return !program.isEmpty() && desktop.startDetached(program, argumentsOf(settings));
         }) != nullptr;
}

void openUrl(const QUrl& url, const Desktop& desktop) {
  const QString opener = desktop.findExecutable(QStringLiteral("xdg-open"));
  if (!opener.isEmpty()) {
    desktop.startDetached(opener, {url.toString(QUrl::FullyEncoded)});
  }
}

QUrl readmeHelpUrl() {
  QStringList candidates;
  if (QCoreApplication::instance() != nullptr) {
    candidates << QCoreApplication::applicationDirPath() +
                      QStringLiteral("/../share/doc/tonvara/README.md");
  }
#ifdef TONVARA_SOURCE_README
  candidates << QStringLiteral(TONVARA_SOURCE_README);
#endif
  for (const auto& candidate : candidates) {
    if (QFileInfo::exists(candidate)) {
      QUrl url = QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(candidate).absoluteFilePath()));
      url.setFragment(QLatin1String(kHelpAnchor));
      return url;
    }
  }
  return {};
}

}  // namespace

Desktop currentDesktop() {
  return Desktop{
      qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
      [](const QString& program) { return QStandardPaths::findExecutable(program); },
      [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
      },
      readmeHelpUrl(),
  };
}

void open(const QString& address) {
  // Searching PATH and starting a program wait on the disk and on the child: not on the main
  // thread.
  DispatchQueue::global(QualityOfService::userInitiated)->async([address] {
    open(address, currentDesktop());
  });
}

QString settingsAppName(const Desktop& desktop) {
  const auto* settings = firstTaken(desktop, [&](const ShortcutSettings& candidate) {
    return !installed(candidate, desktop).isEmpty();
  });
  return settings != nullptr ? QString::fromLatin1(settings->name) : QString();
}

void open(const QString& address, const Desktop& desktop) {
  const QUrl url(address, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty()) {
    return;
  }
  if (url.scheme() == QLatin1String(kPaneScheme)) {
    if (!openShortcutSettings(desktop) && desktop.helpUrl.isValid()) {
      openUrl(desktop.helpUrl, desktop);
    }
    return;
  }
  openUrl(url, desktop);
}

}  // namespace tonvara::Permissions
