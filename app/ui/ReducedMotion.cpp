#include "ReducedMotion.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <array>
#include <utility>

#ifdef Q_OS_MACOS
#include "SystemMotion.h"
#endif

namespace tonvara::ui {
namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kSettingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGnomeGroup = QStringLiteral("org.gnome.desktop.interface");
const QString kGnomeKey = QStringLiteral("enable-animations");
const QString kKdeGroup = QStringLiteral("org.kde.kdeglobals.KDE");
const QString kKdeKey = QStringLiteral("AnimationDurationFactor");

// The session bus's address without autolaunching one: empty when no bus is running.
QString sessionBusAddress() {
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (address.isEmpty() && !runtime.isEmpty() &&
      QFileInfo::exists(runtime + QStringLiteral("/bus"))) {
    return QStringLiteral("unix:path=") + runtime + QStringLiteral("/bus");
  }
  return address;
}

}  // namespace

std::optional<bool> reducedMotionFromSetting(const QString& group, const QString& key,
                                             QVariant value) {
  // Older portals wrap the value in a second variant.
  while (value.metaType() == QMetaType::fromType<QDBusVariant>()) {
    value = value.value<QDBusVariant>().variant();
  }
  if (!value.isValid()) {
    return std::nullopt;
  }
  if (group == kGnomeGroup && key == kGnomeKey) {
    return !value.toBool();
  }
  bool isNumber = false;
  const double factor = value.toDouble(&isNumber);
  if (group == kKdeGroup && key == kKdeKey && isNumber) {
    return factor == 0;
  }
  return std::nullopt;
}

ReducedMotion::ReducedMotion(QObject* parent) : QObject(parent) {
#ifdef Q_OS_MACOS
  // The system's own setting; there is no desktop portal to ask.
  gnomeReduced_ = mac::systemPrefersReducedMotion();
  return;
#endif
  const QString address = sessionBusAddress();
  if (address.isEmpty()) {
    return;
  }
  QDBusConnection bus =
      QDBusConnection::connectToBus(address, QStringLiteral("tonvara-portal-settings"));
  if (!bus.isConnected()) {
    return;
  }
  bus.connect(kPortalService, kPortalPath, kSettingsInterface, QStringLiteral("SettingChanged"),
              this, SLOT(settingChanged(QDBusMessage)));
  for (const auto& [group, key] :
       std::array{std::pair{kGnomeGroup, kGnomeKey}, std::pair{kKdeGroup, kKdeKey}}) {
    QDBusMessage read = QDBusMessage::createMethodCall(kPortalService, kPortalPath,
                                                       kSettingsInterface, QStringLiteral("Read"));
    read << group << key;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, group = group, key = key](QDBusPendingCallWatcher* call) {
              const QDBusPendingReply<QDBusVariant> reply = *call;
              // An unknown setting or no portal at all leaves animations on.
              if (!reply.isError()) {
                apply(group, key, reply.value().variant());
              }
              call->deleteLater();
            });
  }
}

void ReducedMotion::apply(const QString& group, const QString& key, const QVariant& value) {
  const std::optional<bool> reduced = reducedMotionFromSetting(group, key, value);
  if (!reduced) {
    return;
  }
  const bool before = isReduced();
  (group == kGnomeGroup ? gnomeReduced_ : kdeReduced_) = *reduced;
  if (isReduced() != before) {
    emit changed(isReduced());
  }
}

void ReducedMotion::settingChanged(const QDBusMessage& change) {
  const QVariantList arguments = change.arguments();
  if (arguments.size() == 3) {
    apply(arguments[0].toString(), arguments[1].toString(), arguments[2]);
  }
}

}  // namespace tonvara::ui
