#include <QDBusConnection>
#include <QDBusMessage>

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
  MediaPlayerKeysChannel(QString service, QString path, QString interface)
      : service_(std::move(service)), path_(std::move(path)), interface_(std::move(interface)) {}
  ~MediaPlayerKeysChannel() override { close(); }

  bool open(Deliver deliver) override {
    close();
    // MATE's daemon tells every listener of every key: only those meant for Tonvara count.
    listener_ = BusSignalListener::start(
        "type='signal',sender='" + service_.toStdString() + "',path='" + path_.toStdString() +
            "',interface='" + interface_.toStdString() + "',member='MediaPlayerKeyPressed'",
        [deliver = std::move(deliver)](sd_bus_message* message) {
          const char* application = nullptr;
          const char* key = nullptr;
          if (sd_bus_message_read(message, "ss", &application, &key) < 0 ||
              std::string_view(application) != kApplication) {
            return;
          }
          if (const auto mediaKey = keyOf(key)) {
            deliver(*mediaKey);
          }
        });
    // Time 0: now, so that this grab is the newest.
    if (!listener_ ||
        !call(QStringLiteral("GrabMediaPlayerKeys"), {QString::fromLatin1(kApplication), 0U})) {
      listener_.reset();
      return false;
    }
    return true;
  }

  void close() override {
    if (!listener_) {
      return;
    }
    call(QStringLiteral("ReleaseMediaPlayerKeys"), {QString::fromLatin1(kApplication)});
    listener_.reset();
  }

 private:
  bool call(const QString& method, const QVariantList& arguments) const {
    QDBusMessage message = QDBusMessage::createMethodCall(service_, path_, interface_, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message).type() == QDBusMessage::ReplyMessage;
  }

  const QString service_;
  const QString path_;
  const QString interface_;
  std::unique_ptr<BusSignalListener> listener_;
};

}  // namespace

std::unique_ptr<KeyDeliveryChannel> makeMediaPlayerKeysChannel(const QString& service,
                                                               const QString& path,
                                                               const QString& interface) {
  return std::make_unique<MediaPlayerKeysChannel>(service, path, interface);
}

}  // namespace tonvara::desktopkeys
