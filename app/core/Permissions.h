#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace tonvara {

// Opens the places where the user grants the program's permissions.
namespace Permissions {

inline constexpr auto kAccessibilityPaneAddress =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility";
inline constexpr auto kAutomationPaneAddress =
    "x-apple.systempreferences:com.apple.preference.security?Privacy_Automation";

// What opening needs from the desktop; the default one is the running session's.
struct Desktop {
  QString currentDesktop;  // XDG_CURRENT_DESKTOP
  std::function<QString(const QString& program)> findExecutable;
  std::function<bool(const QString& program, const QStringList& arguments)> startDetached;
  QUrl helpUrl;  // where freeing the media keys is explained; may be empty
};

Desktop currentDesktop();

// Opens `address` when it forms a URL; anything else does nothing. The two privacy-pane
// addresses open the nearest thing the desktop has.
void open(const QString& address);
void open(const QString& address, const Desktop& desktop);

// The settings program the privacy-pane addresses open, as its users know it; empty when
// there is none. Looks for installed programs: not on the main thread.
QString settingsAppName(const Desktop& desktop);

}  // namespace Permissions

}  // namespace tonvara
