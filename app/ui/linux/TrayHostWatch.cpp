// A tray host going away, as the desktop announces it: Qt asks for the structure events of the
// XEmbed tray's window, so its DestroyNotify reaches the application; a status-notifier host
// leaves the session bus, or the watcher says so.
#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <cstdint>

#include "../TrayAvailability.h"

namespace tonvara::ui {
namespace {

const QString kWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
// xcb's response type for DestroyNotify, the event's first byte (its top bit marks a sent event).
constexpr std::uint8_t kDestroyNotify = 17;

class TrayWindowWatch final : public QObject, public QAbstractNativeEventFilter {
 public:
  explicit TrayWindowWatch(TrayAvailability& tray) : QObject(&tray), tray_(tray) {
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~TrayWindowWatch() override { QCoreApplication::instance()->removeNativeEventFilter(this); }

  bool nativeEventFilter(const QByteArray& type, void* message, qintptr* /*result*/) override {
    if (type == "xcb_generic_event_t" &&
        (*static_cast<const std::uint8_t*>(message) & 0x7f) == kDestroyNotify) {
      tray_.recheckSoon();
    }
    return false;
  }

 private:
  TrayAvailability& tray_;
};

// Never starts a bus of its own where the session has none.
bool hasSessionBus() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
         (!runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus")));
}

}  // namespace

void watchTrayHosts(TrayAvailability& tray) {
  if (QCoreApplication::instance() != nullptr) {
    new TrayWindowWatch(tray);  // owned by `tray`
  }
  if (!hasSessionBus()) {
    return;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    return;
  }
  auto* watcher =
      new QDBusServiceWatcher(kWatcher, bus, QDBusServiceWatcher::WatchForUnregistration, &tray);
  QObject::connect(watcher, &QDBusServiceWatcher::serviceUnregistered, &tray,
                   &TrayAvailability::recheckSoon);
  bus.connect(kWatcher, QStringLiteral("/StatusNotifierWatcher"), kWatcher,
              QStringLiteral("StatusNotifierHostUnregistered"), &tray, SLOT(recheckSoon()));
}

}  // namespace tonvara::ui
