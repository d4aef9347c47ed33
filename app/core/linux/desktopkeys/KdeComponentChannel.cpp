#include "BusSignalListener.h"
#include "DesktopKeyHolder.h"
#include "KdeGlobalAccel.h"

namespace tonvara::desktopkeys {

namespace {

namespace kga = kglobalaccel;

std::optional<MediaKey> keyOf(std::string_view action) {
  if (action == "playpause" || action == "pause") {
    return MediaKey::playPause;
  }
  if (action == "next" || action == "forward") {
    return MediaKey::next;
  }
  if (action == "previous" || action == "rewind") {
    return MediaKey::previous;
  }
  return std::nullopt;
}

// Tonvara's own kglobalaccel component holds the media keys; the daemon tells it of each press.
class KdeComponentChannel final : public KeyDeliveryChannel {
 public:
  ~KdeComponentChannel() override { close(); }

  bool open(Deliver deliver) override {
    close();
    // Listening first, so that no press between the shortcut and the match is lost.
    listener_ = BusSignalListener::start(
        "type='signal',sender='org.kde.kglobalaccel',path='/component/tonvara',"
        "interface='org.kde.kglobalaccel.Component',member='globalShortcutPressed'",
        [deliver = std::move(deliver)](sd_bus_message* message) {
          const char* component = nullptr;
          const char* action = nullptr;
          if (sd_bus_message_read(message, "ss", &component, &action) < 0 ||
              std::string_view(component) != "tonvara") {
            return;
          }
          if (const auto key = keyOf(action)) {
            deliver(*key);
          }
        });
    if (!listener_) {
      return false;
    }
    bool mainKeysHeld = true;
    for (const kga::OwnAction& action : kga::kOwnActions) {
      const QStringList id =
          kga::actionId(kga::kTonvara, QString::fromLatin1(action.name), QStringLiteral("Tonvara"),
                        QStringLiteral("Media key: %1").arg(QLatin1String(action.name)));
      kga::send(QStringLiteral("doRegister"), {id});
      // NoAutoloading: a plain registration would keep a shortcut the daemon saved earlier.
      const auto keys =
          kga::call<QList<int>>(QStringLiteral("setShortcut"), id, QList<int>{action.qtKey},
                                kga::kSetPresent | kga::kNoAutoloading);
      const bool held = keys && keys->contains(action.qtKey);
      const std::string_view name = action.name;
      if (name == "playpause" || name == "next" || name == "previous") {
        mainKeysHeld = mainKeysHeld && held;
      }
    }
    if (!mainKeysHeld) {
      close();
    }
    return mainKeysHeld;
  }

  void close() override {
    if (!listener_) {
      return;
    }
    kga::clearOwnComponent();
    listener_.reset();
  }

 private:
  std::unique_ptr<BusSignalListener> listener_;
};

}  // namespace

std::unique_ptr<KeyDeliveryChannel> makeKdeComponentChannel() {
  return std::make_unique<KdeComponentChannel>();
}

}  // namespace tonvara::desktopkeys
