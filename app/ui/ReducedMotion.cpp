#include "ReducedMotion.h"

#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

namespace tonvara::ui {
namespace {

bool isGnomeFamilyDesktop() {
  const QString desktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
  for (const char* name : {"GNOME", "Unity", "Budgie", "Pantheon", "ubuntu"}) {
    if (desktop.contains(QLatin1String(name), Qt::CaseInsensitive)) {
      return true;
    }
  }
  return false;
}

bool gnomeAnimationsDisabled() {
  const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
  if (gsettings.isEmpty()) {
    return false;
  }
  QProcess process;
  process.start(gsettings, {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.interface"),
                            QStringLiteral("enable-animations")});
  if (!process.waitForFinished(1000)) {
    process.kill();
    process.waitForFinished(100);
    return false;
  }
  return process.readAllStandardOutput().trimmed() == "false";
}

}  // namespace

bool reducedMotionFromConfigFiles(const QString& configHome) {
  const QSettings kde(configHome + QStringLiteral("/kdeglobals"), QSettings::IniFormat);
  bool isNumber = false;
  const double factor =
      kde.value(QStringLiteral("KDE/AnimationDurationFactor")).toDouble(&isNumber);
  if (isNumber && factor == 0) {
    return true;
  }
  const QSettings gtk(configHome + QStringLiteral("/gtk-3.0/settings.ini"), QSettings::IniFormat);
  const QString animations =
      gtk.value(QStringLiteral("Settings/gtk-enable-animations")).toString().trimmed();
  return animations == QLatin1String("false") || animations == QLatin1String("0");
}

bool desktopPrefersReducedMotion() {
  if (reducedMotionFromConfigFiles(
          QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))) {
    return true;
  }
  return isGnomeFamilyDesktop() && gnomeAnimationsDisabled();
}

}  // namespace tonvara::ui
