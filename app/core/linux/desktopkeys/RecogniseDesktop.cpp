#include <algorithm>

#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

namespace {

bool names(const MediaKeyHolders::Session& session, const char* desktop) {
  return session.currentDesktop.split(u':', Qt::SkipEmptyParts)
      .contains(QLatin1String(desktop), Qt::CaseInsensitive);
}

bool runs(const MediaKeyHolders::Session& session, const char* process) {
  return std::any_of(
      session.processNames.begin(), session.processNames.end(),
      [process](const QString& name) { return name.startsWith(QLatin1String(process)); });
}

}  // namespace

std::optional<RecognisedDesktop> recogniseDesktop(const MediaKeyHolders::Session& session,
                                                  const QString& keyCommand) {
  // Cinnamon and MATE name GNOME too on some systems: look at them first.
  if (names(session, "X-Cinnamon") || runs(session, "csd-media-keys")) {
    return RecognisedDesktop{
        makeCinnamonHolder(),
        makeMediaPlayerKeysChannel(QStringLiteral("org.gnome.SettingsDaemon"),
                                   QStringLiteral("/org/gnome/SettingsDaemon/MediaKeys"),
                                   QStringLiteral("org.gnome.SettingsDaemon.MediaKeys"))};
  }
  if (names(session, "MATE") || runs(session, "mate-settings-d")) {
    return RecognisedDesktop{
        makeMateHolder(),
        makeMediaPlayerKeysChannel(QStringLiteral("org.mate.SettingsDaemon"),
                                   QStringLiteral("/org/mate/SettingsDaemon/MediaKeys"),
                                   QStringLiteral("org.mate.SettingsDaemon.MediaKeys"))};
  }
  if (names(session, "GNOME") || runs(session, "gsd-media-keys")) {
    return RecognisedDesktop{makeGnomeHolder(), makeGnomeKeybindingChannel(keyCommand)};
  }
  if (names(session, "KDE") || runs(session, "kglobalaccel")) {
    return RecognisedDesktop{makeKdeHolder(), makeKdeComponentChannel()};
  }
  if (names(session, "XFCE")) {
    // Xfce has no Wayland session to deliver keys in; the X11 grab takes them once freed.
    return RecognisedDesktop{makeXfceHolder(), nullptr};
  }
  return std::nullopt;
}

}  // namespace tonvara::desktopkeys
