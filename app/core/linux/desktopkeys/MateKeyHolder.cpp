#include "GSettingsKeys.h"
#include "GSettingsTexts.h"

namespace tonvara::desktopkeys {

// MATE has no Forward or Rewind shortcut; an empty text disables a binding.
std::unique_ptr<DesktopKeyHolder> makeMateHolder() {
  return makeGSettingsHolder(
      {QStringLiteral("mate"),
       "org.mate.SettingsDaemon.plugins.media-keys",
       {QStringLiteral("play"), QStringLiteral("next"), QStringLiteral("previous")},
       {QStringLiteral("MATE's media keys (mate-settings-daemon)"),
        QStringLiteral("MATE's shortcuts for Play, Next and Previous "
                       "(org.mate.SettingsDaemon.plugins.media-keys: play, next, previous) are "
                       "set to none while Tonvara holds the keys."),
        gsettingsUndoText()}});
}

}  // namespace tonvara::desktopkeys
