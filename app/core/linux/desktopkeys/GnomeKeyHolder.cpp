#include "GSettingsKeys.h"
#include "GSettingsTexts.h"

namespace tonvara::desktopkeys {

// Only the keys Tonvara answers: Pause and Stop keep working through GNOME.
std::unique_ptr<DesktopKeyHolder> makeGnomeHolder() {
  return makeGSettingsHolder(
      {QStringLiteral("gnome"),
       "org.gnome.settings-daemon.plugins.media-keys",
       {QStringLiteral("play"), QStringLiteral("play-static"), QStringLiteral("next"),
        QStringLiteral("next-static"), QStringLiteral("previous"),
        QStringLiteral("previous-static"), QStringLiteral("playback-forward"),
        QStringLiteral("playback-forward-static"), QStringLiteral("playback-rewind"),
        QStringLiteral("playback-rewind-static")},
       {QStringLiteral("GNOME's media-keys service (gsd-media-keys)"),
        QStringLiteral("GNOME's shortcuts for Play, Next, Previous, Forward and Rewind "
                       "(org.gnome.settings-daemon.plugins.media-keys: play, next, previous, "
                       "playback-forward, playback-rewind and their -static keys) are set to "
                       "none while Tonvara holds the keys. On a Wayland session Tonvara adds its "
                       "own shortcuts for these keys instead."),
        gsettingsUndoText()}});
}

}  // namespace tonvara::desktopkeys
