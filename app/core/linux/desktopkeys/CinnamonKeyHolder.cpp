#include "GSettingsKeys.h"
#include "GSettingsTexts.h"

namespace tonvara::desktopkeys {

// Cinnamon's window manager grabs what this schema names and hands it to csd-media-keys.
std::unique_ptr<DesktopKeyHolder> makeCinnamonHolder() {
  return makeGSettingsHolder(
      {QStringLiteral("cinnamon"),
       "org.cinnamon.desktop.keybindings.media-keys",
       {QStringLiteral("play"), QStringLiteral("next"), QStringLiteral("previous"),
        QStringLiteral("audio-forward"), QStringLiteral("audio-rewind")},
       {QStringLiteral("Cinnamon's media keys (csd-media-keys)"),
        QStringLiteral("Cinnamon's shortcuts for Play, Next, Previous, Forward and Rewind "
                       "(org.cinnamon.desktop.keybindings.media-keys: play, next, previous, "
                       "audio-forward, audio-rewind) are set to none while Tonvara holds the "
                       "keys."),
        gsettingsUndoText()}});
}

}  // namespace tonvara::desktopkeys
