#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "MediaKeyEngine/ApplicationPlatform.h"
#include "mpris/Bus.h"

namespace tonvara::mpris {

// The scripting object of one MPRIS player: the engine's command names map onto the
// player's methods, and "responds" means the name is one of them.
//   "playpause"     → PlayPause
//   "nextTrack"     → Next
//   "previousTrack" → Previous
//   "play"          → Play
class MprisPlayerObject final : public ScriptableApplication {
 public:
  MprisPlayerObject(std::shared_ptr<BusConnections> connections, std::string owner);

  bool respondsToSelector(std::string_view selector) override;
  void performSelector(std::string_view selector) override;

 private:
  std::shared_ptr<BusConnections> connections_;
  std::string owner_;
};

}  // namespace tonvara::mpris
