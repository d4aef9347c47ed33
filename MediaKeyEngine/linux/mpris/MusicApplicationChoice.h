#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tonvara::mpris {

// A desktop entry as a player picker shows it.
struct PlayerEntry {
  std::string id;    // the desktop file ID, "org.example.Player.desktop"
  std::string name;  // the entry's Name
};

// Which installed player is the music application on a Linux desktop. Choosing and observing
// never wait; the lookups read desktop entries, so never make them on a thread that must not.
class MusicApplicationChoice {
 public:
  virtual ~MusicApplicationChoice() = default;

  // Installed players (Audio and Player categories), the default audio application, the chosen
  // one and the installed applications of the players on the bus now, each once, by name.
  virtual std::vector<PlayerEntry> pickablePlayers() = 0;
  // Empty: the desktop's default audio application. Never waits; takes effect at once for
  // running players, launches, commands and the Automation check.
  virtual void chooseMusicApplication(const std::string& desktopId) = 0;
  // The entry in effect: the chosen one while it is installed, else the default; an empty ID
  // when there is neither.
  virtual PlayerEntry musicApplication() = 0;
  // `handler` runs on a thread of the platform's whenever players come, go or name their entry,
  // or the choice changes; it replaces the one before.
  virtual void onPlayersChanged(std::function<void()> handler) = 0;
};

}  // namespace tonvara::mpris
