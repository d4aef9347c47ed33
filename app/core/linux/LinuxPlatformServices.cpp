#include "LinuxPlatformServices.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

#include "ApplicationStateObserver.h"
#include "BundleInfo.h"
#include "DesktopKeyTakeover.h"
#include "LoginItem.h"
#include "MediaKeyEngine/PlatformDefaults.h"
#include "MediaKeyEngineDesktop/DeliveredKeys.h"
#include "MediaKeyHolders.h"
#include "Permissions.h"
#include "QuitOnSignal.h"
#include "SavedDesktopKeys.h"
#include "mpris/MusicApplicationChoice.h"

namespace tonvara {

namespace {

// Linux does not nap processes; the activity only remembers why it was begun.
class RecordedActivity final : public ProcessActivity {
 public:
  explicit RecordedActivity(QString reason) : reason_(std::move(reason)) {}
  QString reason() const override { return reason_; }

 private:
  QString reason_;
};

// The session bus's address without autolaunching one: none when no bus is running.
QString sessionBusAddress() {
  QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  if (address.isEmpty()) {
    const QString socket = qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus");
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && QFileInfo::exists(socket)) {
      address = QStringLiteral("unix:path=") + socket;
    }
  }
  return address;
}

void notifyDesktop(const MediaKeyHolders::Advice& advice) {
  const QString address = sessionBusAddress();
  if (address.isEmpty()) {
    return;
  }
  const QDBusConnection bus =
      QDBusConnection::connectToBus(address, QStringLiteral("tonvara-notifications"));
  if (!bus.isConnected()) {
    return;
  }
  QDBusMessage notify = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  notify << BundleInfo::name() << 0U << QStringLiteral("dialog-warning") << advice.title
         << advice.body << QStringList() << QVariantMap() << -1;
  bus.send(notify);  // no reply awaited: a missing notification server changes nothing
}

}  // namespace

LinuxPlatformServices::LinuxPlatformServices()
    : LinuxPlatformServices(
          std::make_unique<JsonUserDefaults>(
              JsonUserDefaults::defaultPath(QString::fromLatin1(BundleInfo::kIdentifier))),
          platform::defaultEventTapPlatform(), platform::defaultApplicationPlatform()) {
  desktopKeys_ = true;
}

LinuxPlatformServices::LinuxPlatformServices(std::unique_ptr<UserDefaults> defaults,
                                             std::shared_ptr<EventTapPlatform> taps,
                                             std::shared_ptr<ApplicationPlatform> applications)
    : EnginePlatformServices(std::move(taps), std::move(applications)),
      defaults_(std::move(defaults)),
      players_(dynamic_cast<mpris::MusicApplicationChoice*>(this->applications().get())) {}

LinuxPlatformServices::~LinuxPlatformServices() {
  // The engine's platform outlives these services.
  observeMusicApplications(nullptr);
}

QVariant LinuxPlatformServices::infoDictionaryValue(const QString& key) const {
  return BundleInfo::infoDictionary().value(key);
}

void LinuxPlatformServices::promptForAccessibility() {
  if (taps().isProcessTrusted()) {
    return;  // nothing holds the keys: there is nothing to ask for
  }
  const auto advice = MediaKeyHolders::adviceFor(MediaKeyHolders::currentSession());
  std::fprintf(stderr, "tonvara: %s. %s\n", qPrintable(advice.title), qPrintable(advice.body));
  // Connecting to the bus waits for it; a hung bus must not hold the main thread.
  backgroundQueue()->async([advice] { notifyDesktop(advice); });
}

int LinuxPlatformServices::loginItemStatus() { return LoginItem::status(); }

std::optional<QString> LinuxPlatformServices::setLoginItemEnabled(bool enabled) {
  return LoginItem::setEnabled(enabled);
}

void LinuxPlatformServices::observeDidBecomeActive(std::function<void()> handler) {
  activeObservers_.push_back(
      std::make_unique<ApplicationStateObserver>(QCoreApplication::instance(), std::move(handler)));
}

std::unique_ptr<ProcessActivity> LinuxPlatformServices::beginActivity(const QString& reason) {
  return std::make_unique<RecordedActivity>(reason);
}

std::unique_ptr<DesktopKeys> LinuxPlatformServices::makeDesktopKeys(DesktopKeys::Hooks hooks) {
  if (!desktopKeys_) {
    return nullptr;
  }
  const auto session = MediaKeyHolders::currentSession();
  // A keybinding runs the small key client beside this program, which hands the key to this
  // instance without starting a toolkit.
  const QString keyCommand =
      QCoreApplication::applicationDirPath() + QStringLiteral("/tonvara-key");
  auto desktop = desktopkeys::recogniseDesktop(session, keyCommand);
  const bool delivery =
      session.sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0;
  if (!desktop || !desktop->holder || (delivery && !desktop->channel)) {
    return nullptr;
  }
  desktopkeys::quitOnTerminationSignals();
  return std::make_unique<desktopkeys::DesktopKeyTakeover>(desktopkeys::DesktopKeyTakeover::Options{
      std::move(*desktop), delivery, desktopkeys::savedDesktopKeysPath(), defaults_.get(),
      backgroundQueue(), [](MediaKey key) { linux_desktop::deliverKey(key); },
      [](bool open) { linux_desktop::setDeliveryOpen(open); }, std::move(hooks)});
}

std::vector<MusicApp> LinuxPlatformServices::musicApplications() {
  std::vector<MusicApp> apps;
  if (players_ == nullptr) {
    return apps;
  }
  for (const auto& entry : players_->pickablePlayers()) {
    apps.push_back({QString::fromStdString(entry.id), QString::fromStdString(entry.name)});
  }
  return apps;
}

void LinuxPlatformServices::setMusicApplication(const QString& id) {
  if (players_ != nullptr) {
    players_->chooseMusicApplication(id.toStdString());
  }
}

MusicApp LinuxPlatformServices::musicApplication() {
  if (players_ == nullptr) {
    return EnginePlatformServices::musicApplication();
  }
  const auto entry = players_->musicApplication();
  return {QString::fromStdString(entry.id), QString::fromStdString(entry.name)};
}

void LinuxPlatformServices::observeMusicApplications(std::function<void()> handler) {
  if (players_ != nullptr) {
    players_->onPlayersChanged(std::move(handler));
  }
}

KeyHelp LinuxPlatformServices::keyHelp() {
  return {Permissions::settingsAppName(Permissions::currentDesktop()),
          MediaKeyHolders::adviceFor(MediaKeyHolders::currentSession()).body};
}

std::shared_ptr<PlatformServices> makePlatformServices() {
  return std::make_shared<LinuxPlatformServices>();
}

}  // namespace tonvara
