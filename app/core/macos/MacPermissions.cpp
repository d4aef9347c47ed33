#include <QUrl>

#include "MacSystem.h"
#include "Permissions.h"

namespace tonvara::Permissions {

// System Settings opens its privacy panes from their x-apple.systempreferences addresses
// itself; nothing about the desktop needs finding out.
Desktop currentDesktop() { return {}; }

void open(const QString& address) {
  if (QUrl(address, QUrl::StrictMode).isValid()) {
    mac::openAddress(address.toStdString());
  }
}

void open(const QString& address, const Desktop& /*desktop*/) { open(address); }

QString settingsAppName(const Desktop& /*desktop*/) { return QStringLiteral("System Settings"); }

}  // namespace tonvara::Permissions
