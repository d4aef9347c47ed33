#include "BusSignalListener.h"
#include "DesktopKeyHolder.h"

namespace tonvara::desktopkeys {

namespace {

constexpr char kApplication[] = "Tonvara";

std::optional<MediaKey> keyOf(std::string_view name) {
  if (name == "Play" || name == "Pause") {
    return MediaKey::playPause;
  }
  if (name == "Next" || name == "FastForward") {
    return MediaKey::next;
  }
  if (name == "Previous" || name == "Rewind") {
    return MediaKey::previous;
  }
  return std::nullopt;  // Stop, Repeat, Shuffle: nothing Tonvara does
}

// The settings daemon's media-player-key grab (Cinnamon, MATE): the newest grabber gets each key
// as a MediaPlayerKeyPressed signal naming it.
class MediaPlayerKeysChannel final : public KeyDeliveryChannel {
 public:
  MediaPlayerKeysChannel(const QString& service, const QString& path, const QString& interface)
      : service_(service.toStdString()),
        path_(path.toStdString()),
        interface_(interface.toStdString()) {}
  ~MediaPlayerKeysChannel() override { close(); }

  bool open(Deliver deliver) override {
    close();
    // MATE's daemon tells every listener of every key: only those meant for Tonvara count.
    const std::string rule = "type='signal',sender='" + service_ + "',path='" + path_ +
                             "',interface='" + interface_ + "',member='MediaPlayerKeyPressed'";
    auto onSignal = [deliver = std::move(deliver)](sd_bus_message* message) {
      const char* application = nullptr;
      const char* key = nullptr;
      if (sd_bus_message_read(message, "ss", &application, &key) < 0 ||
          std::string_view(application) != kApplication) {
        return;
      }
      if (const auto mediaKey = keyOf(key)) {
        deliver(*mediaKey);
      }
    };
    // csd sends the keys only to the connection that grabbed them: grab on the listening one.
    // Time 0: now, so that this grab is the newest.
    auto grab = [this](sd_bus* bus) { return call(bus, "GrabMediaPlayerKeys", "su", 0U); };
    auto release = [this](sd_bus* bus) { return call(bus, "ReleaseMediaPlayerKeys", "s"); };
    listener_ = BusSignalListener::start(rule, std::move(onSignal), grab, release);
    return listener_ != nullptr;
  }

  void close() override { listener_.reset(); }

 private:
  template <typename... Time>
  bool call(sd_bus* bus, const char* method, const char* types, Time... time) const {
    return sd_bus_call_method(bus, service_.c_str(), path_.c_str(), interface_.c_str(), method,
                              nullptr, nullptr, types, kApplication, time...) >= 0;
  }

  const std::string service_;
  const std::string path_;
  const std::string interface_;
  std::unique_ptr<BusSignalListener> listener_;
};

}  // namespace

std::unique_ptr<KeyDeliveryChannel> makeMediaPlayerKeysChannel(const QString& service,
                                                               const QString& path,
                                                               const QString& interface) {
  return std::make_unique<MediaPlayerKeysChannel>(service, path, interface);
}

}  // namespace tonvara::desktopkeys
