#pragma once

#include <QJsonObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "MediaKeyEngine/MediaKey.h"
#include "MediaKeyHolders.h"

namespace tonvara::desktopkeys {

// What taking the keys over changes, as the confirmation dialog says it.
struct TakeoverText {
  QString holder;   // the program holding the keys, as its users know it
  QString changes;  // exactly which settings change, and to what
  QString undo;     // how to undo it
};

// One desktop program that holds the media keys, and how to take them from it and give them
// back. Every call but id() and text() may wait on the session bus or the settings backend:
// never call them on the main thread.
class DesktopKeyHolder {
 public:
  virtual ~DesktopKeyHolder() = default;

  // Stored with the saved values: "gnome", "cinnamon", "mate", "xfce" or "kde".
  virtual QString id() const = 0;
  virtual TakeoverText text() const = 0;
  // The values a takeover changes, as they are now; nothing when they cannot be read.
  virtual std::optional<QJsonObject> read() = 0;
  // Frees the keys. False when the desktop refused; the caller then restores what read() gave.
  virtual bool release() = 0;
  // Puts back exactly what read() gave.
  virtual bool restore(const QJsonObject& saved) = 0;
};

// How the desktop hands the keys to this process while Tonvara holds them and no X11 grab can
// (a Wayland session): keybinding commands, a global-shortcut component, a media-player-key grab.
// Blocking like the holder: never on the main thread.
class KeyDeliveryChannel {
 public:
  using Deliver = std::function<void(MediaKey)>;

  virtual ~KeyDeliveryChannel() = default;
  // Starts handing each key-down to `deliver`, on any thread. False when the desktop refused.
  virtual bool open(Deliver deliver) = 0;
  // Stops; the desktop's own handling is back once the holder restored its values.
  virtual void close() = 0;
};

// A recognised desktop: who holds the keys and, where it has one, its delivery channel.
struct RecognisedDesktop {
  std::unique_ptr<DesktopKeyHolder> holder;
  std::unique_ptr<KeyDeliveryChannel> channel;
};

// The running desktop's holder; nothing when the desktop is not recognised (the user then frees
// the keys by hand). `keyCommand` is the program a keybinding runs to hand a key over.
std::optional<RecognisedDesktop> recogniseDesktop(const MediaKeyHolders::Session& session,
                                                  const QString& keyCommand);

// One per desktop family, each in its own file.
std::unique_ptr<DesktopKeyHolder> makeGnomeHolder();
std::unique_ptr<DesktopKeyHolder> makeCinnamonHolder();
std::unique_ptr<DesktopKeyHolder> makeMateHolder();
std::unique_ptr<DesktopKeyHolder> makeXfceHolder();
std::unique_ptr<DesktopKeyHolder> makeKdeHolder();
std::unique_ptr<KeyDeliveryChannel> makeGnomeKeybindingChannel(const QString& keyCommand);
// Cinnamon and MATE: GrabMediaPlayerKeys on the settings daemon's MediaKeys object.
std::unique_ptr<KeyDeliveryChannel> makeMediaPlayerKeysChannel(const QString& service,
                                                               const QString& path,
                                                               const QString& interface);
std::unique_ptr<KeyDeliveryChannel> makeKdeComponentChannel();

}  // namespace tonvara::desktopkeys
