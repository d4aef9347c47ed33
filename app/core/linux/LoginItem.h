#pragma once

#include <QString>
#include <optional>

namespace tonvara {

// Launch at login through an XDG autostart entry for the running program.
namespace LoginItem {

// The service's status values; only kEnabled means the program starts at login.
inline constexpr int kNotRegistered = 0;
inline constexpr int kEnabled = 1;
inline constexpr int kRequiresApproval = 2;
inline constexpr int kNotFound = 3;

struct Location {
  QString entryPath;   // the autostart entry's file
  QString executable;  // the program it starts; empty when it cannot be determined
};

// $XDG_CONFIG_HOME/autostart/com.tonvara.app.desktop (~/.config by default) for this program,
// named /usr/bin/tonvara when it is that file.
Location defaultLocation();

// Writes (true) or removes (false) the entry; the error's description on failure.
std::optional<QString> setEnabled(bool enabled);
std::optional<QString> setEnabled(const Location& location, bool enabled);

// kEnabled when the entry exists and is neither hidden nor disabled, kNotRegistered otherwise,
// kNotFound when the program's location cannot be determined.
int status();
int status(const Location& location);

// The entry's text for `executable`, which it runs and whose absence (TryExec) skips it.
QString desktopEntry(const QString& executable);
// One Exec argument quoted and escaped as desktop entries require.
QString execArgument(const QString& argument);

}  // namespace LoginItem

}  // namespace tonvara
