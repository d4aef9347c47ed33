#include "TrayAvailability.h"

#include <QSystemTrayIcon>

namespace tonvara::ui {

TrayAvailability::TrayAvailability(Scheduler& scheduler, Probe probe, QObject* parent)
    : QObject(parent),
      scheduler_(scheduler),
      probe_(probe ? std::move(probe) : Probe(&QSystemTrayIcon::isSystemTrayAvailable)),
      available_(probe_()) {
  if (!available_) {
    poll_ = scheduler.every(kPollInterval, [this] { poll(); });
  }
}

TrayAvailability::~TrayAvailability() {
  poll_.cancel();
  soon_.cancel();
}

void TrayAvailability::poll() { recheck(); }

void TrayAvailability::recheck() {
  const bool available = probe_();
  if (available == available_) {
    return;
  }
  available_ = available;
  poll_.cancel();  // a tray is there: its icon shows, and nothing more is asked
  if (!available) {
    poll_ = scheduler_.every(kPollInterval, [this] { poll(); });
  }
  emit changed(available);
}

void TrayAvailability::recheckSoon() {
  soon_.cancel();
  soon_ = scheduler_.after(Scheduler::Duration{0}, [this] { recheck(); });
}

QString trayHint(const QString& currentDesktop) {
  if (currentDesktop.contains(QLatin1String("GNOME"), Qt::CaseInsensitive)) {
    return QStringLiteral(
        "No system tray here: to get the Tonvara icon, install the AppIndicator extension "
        "(gnome-shell-extension-appindicator) and turn it on in Extensions.");
  }
  return QStringLiteral(
      "No system tray here: to get the Tonvara icon, add a system tray (status notifier) to "
      "your panel.");
}

}  // namespace tonvara::ui
