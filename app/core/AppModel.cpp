#include "AppModel.h"

#include <QCoreApplication>
#include <QPointer>
#include <QtDebug>
#include <algorithm>

#include "AutomationPermission.h"
#include "BundleInfo.h"
#include "UpdateConfiguration.h"
#include "Updater.h"

namespace tonvara {

namespace {

QString key(const char* name) { return QString::fromLatin1(name); }

AccessWindowFactory placeholderWhenEmpty(AccessWindowFactory factory) {
  if (factory) {
    return factory;
  }
  return [](AppModel&) { return std::make_unique<PlaceholderAccessWindow>(); };
}

std::unique_ptr<MediaKeyRouter> makeRouter(const AppModelDependencies::RouterFactory& factory,
                                           EngineSettings settings) {
  return factory ? factory(settings) : std::make_unique<MediaKeyRouter>(settings);
}

std::unique_ptr<Updater> makeUpdater(const PlatformServices& services) {
  const bool configured = UpdateConfiguration::isConfigured(services);
  const QUrl feed =
      configured
          ? QUrl(services.infoDictionaryValue(key(UpdateConfiguration::kFeedUrlKey)).toString())
          : QUrl();
  return std::make_unique<Updater>(configured, feed, BundleInfo::version());
}

// Runs `task` on the main thread later; nothing once the application is gone.
void onMainThread(std::function<void()> task) {
  if (QCoreApplication* application = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(application, std::move(task), Qt::QueuedConnection);
  }
}

// Runs `work` on the background queue and `deliver` with its result on the main thread, while
// the model lives.
template <typename Work, typename Deliver>
void inBackground(PlatformServices& services, AppModel* model, Work work, Deliver deliver) {
  services.backgroundQueue()->async(
      [model = QPointer<AppModel>(model), work = std::move(work), deliver = std::move(deliver)] {
        onMainThread([model, deliver, result = work()] {
          if (model) {
            deliver(*model, result);
          }
        });
      });
}

}  // namespace

AppModel::AppModel(AppModelDependencies dependencies, QObject* parent)
    : QObject(parent),
      services_(std::move(dependencies.services)),
      defaults_(services_->defaults()),
      makeAccessWindow_(placeholderWhenEmpty(std::move(dependencies.makeAccessWindow))),
      updater_(makeUpdater(*services_)) {
  const QJsonValue storedEnabled = defaults_.object(key(kEnabledKey));
  const bool enabled = storedEnabled.isBool() ? storedEnabled.toBool() : true;
  const auto storedPolicy = defaults_.string(key(kWhenNotRunningKey));
  const WhenNotRunning policy =
      storedPolicy && *storedPolicy == QLatin1String(rawValue(WhenNotRunning::passThrough))
          ? WhenNotRunning::passThrough
          : WhenNotRunning::launchMusic;
  assign(enabled_, enabled, &AppModel::enabledChanged);
  assign(whenNotRunning_, policy, &AppModel::whenNotRunningChanged);
  assign(loginEnabled_, readLoginEnabled(), &AppModel::loginEnabledChanged);
  assign(hasAccessibility_, services_->isProcessTrusted(), &AppModel::hasAccessibilityChanged);
  assign(automationDenied_, false, &AppModel::automationDeniedChanged);
  assign(automationStatus_, MusicController::AutomationAccess::undetermined,
         &AppModel::automationStatusChanged);
  assign(tapInstalled_, false, &AppModel::tapInstalledChanged);
  accessSetupCompleted_ = defaults_.boolean(key(kAccessSetupCompletedKey));
  assign(hasRequestedAccessibility_, defaults_.boolean(key(kAccessibilityRequestedKey)),
         &AppModel::hasRequestedAccessibilityChanged);
  // A non-string or empty value is the platform's own player.
  musicAppId_ = defaults_.string(key(kMusicApplicationKey)).value_or(QString());
  services_->setMusicApplication(musicAppId_);
  // The stored values as read, not yet the effective ones: start() replaces them.
  router_ = makeRouter(dependencies.makeRouter, EngineSettings(enabled, policy));
  observeUpdater();
  desktopKeys_ = services_->makeDesktopKeys({[model = QPointer<AppModel>(this)] {
                                               if (model) {
                                                 model->refreshPermissions();
                                                 emit model->stateChanged();
                                               }
                                             },
                                             [model = QPointer<AppModel>(this)] {
                                               if (model) {
                                                 model->router_->deactivateTap();
                                                 model->syncEngineDerivedState();
                                               }
                                             }});
  // Begun here, so that the names are usually in before start() shows the window.
  loadMusicApps();
  loadKeyHelp();
}

AppModel::~AppModel() = default;

template <typename T, typename Signal>
void AppModel::assign(T& field, T value, Signal signal) {
  field = value;
  emit(this->*signal)(value);
  emit stateChanged();
}

template <typename T, typename Signal>
void AppModel::assignIfDifferent(T& field, T value, Signal signal) {
  if (field != value) {
    assign(field, value, signal);
  }
}

bool AppModel::needsAttention() const {
  return enabled_ && (!hasAccessibility_ || automationDenied_);
}

QString AppModel::menuBarSymbolName() const {
  if (!enabled_) {
    return QStringLiteral("music.note.slash");
  }
  if (needsAttention()) {
    return QStringLiteral("exclamationmark.triangle.fill");
  }
  return QStringLiteral("music.note");
}

EngineSettings AppModel::effectiveEngineSettings() const {
  return EngineSettings(enabled_ && accessSetupCompleted_, whenNotRunning_);
}

void AppModel::start() {
  if (started_) {
    return;
  }
  started_ = true;
  if (desktopKeys_) {
    desktopKeys_->start(keyHoldRule());
  }
  services_->observeMusicApplications([model = QPointer<AppModel>(this)] {
    onMainThread([model] {
      if (model) {
        model->loadMusicApps();
      }
    });
  });
  router_->update(effectiveEngineSettings());
  refreshPermissions();
  if (!accessSetupCompleted_ || (enabled_ && needsAttention())) {
    accessWindow().show();
  }
  services_->observeDidBecomeActive([model = QPointer<AppModel>(this)] {
    if (model) {
      model->refreshPermissions();
    }
  });
  napActivity_ = services_->beginActivity(key(kActivityReason));
  startAccessibilityWatchdog();
}

void AppModel::setEnabled(bool enabled) {
  assign(enabled_, enabled, &AppModel::enabledChanged);
  defaults_.setBool(key(kEnabledKey), enabled);
  router_->update(effectiveEngineSettings());
  refreshPermissions();
}

void AppModel::setWhenNotRunning(WhenNotRunning policy) {
  assign(whenNotRunning_, policy, &AppModel::whenNotRunningChanged);
  defaults_.setObject(key(kWhenNotRunningKey), QString::fromLatin1(rawValue(policy)));
  router_->update(effectiveEngineSettings());
  refreshPermissions();
}

void AppModel::setLoginEnabled(bool enabled) {
  if (const auto error = services_->setLoginItemEnabled(enabled)) {
    qWarning().noquote() << QStringLiteral("LoginItem error: ") + *error;
  }
  // The system decides; publish what it now reports, so a failed toggle snaps back.
  assign(loginEnabled_, readLoginEnabled(), &AppModel::loginEnabledChanged);
}

bool AppModel::readLoginEnabled() { return services_->loginItemStatus() == kLoginItemEnabled; }

void AppModel::refreshPermissions() {
  assignIfDifferent(hasAccessibility_, services_->isProcessTrusted(),
                    &AppModel::hasAccessibilityChanged);
  router_->refreshAutomationStatus();
  syncEngineDerivedState();

  if (!accessSetupCompleted_ && hasAccessibility_ &&
      automationStatus_ == MusicController::AutomationAccess::granted) {
    accessSetupCompleted_ = true;
    defaults_.setBool(key(kAccessSetupCompletedKey), true);
    emit accessSetupCompletedChanged(true);
    emit stateChanged();
    router_->update(effectiveEngineSettings());
  }

  if (enabled_ && accessSetupCompleted_ && hasAccessibility_ && !desktopKeysRestoring()) {
    if (!router_->isTapInstalled()) {
      router_->activate();  // the outcome shows through isTapInstalled()
    }
  } else if (router_->isTapInstalled()) {
    router_->deactivateTap();
  }
  syncEngineDerivedState();
  if (desktopKeys_) {
    desktopKeys_->follow(keyHoldRule());
  }
}

void AppModel::syncEngineDerivedState() {
  assignIfDifferent(automationDenied_, router_->isAutomationDenied(),
                    &AppModel::automationDeniedChanged);
  assignIfDifferent(automationStatus_, router_->automationStatus(),
                    &AppModel::automationStatusChanged);
  assignIfDifferent(tapInstalled_, router_->isTapInstalled(), &AppModel::tapInstalledChanged);
}

void AppModel::requestAccessibility() {
  assign(hasRequestedAccessibility_, true, &AppModel::hasRequestedAccessibilityChanged);
  defaults_.setBool(key(kAccessibilityRequestedKey), true);
  // Trust is read again only at the next refresh.
  services_->promptForAccessibility();
}

void AppModel::requestAutomation() {
  // One request at a time: a second click or reopen while the player starts would launch it again.
  if (automationRequestPending_) {
    return;
  }
  automationRequestPending_ = true;
  AutomationPermission::requestLaunchingMusicIfNeeded(
      services_, std::string(MusicController::bundleID), [model = QPointer<AppModel>(this)] {
        if (model) {
          model->automationRequestPending_ = false;
          model->refreshPermissions();
        }
      });
}

void AppModel::startAccessibilityWatchdog() {
  if (accessibilityWatchdog_) {
    accessibilityWatchdog_->invalidate();
  }
  accessibilityWatchdog_ =
      services_->scheduleRepeatingTimer(kWatchdogInterval, [model = QPointer<AppModel>(this)] {
        if (model) {
          model->watchdogTick();
        }
      });
}

void AppModel::watchdogTick() {
  if (desktopKeys_) {
    desktopKeys_->follow(keyHoldRule());  // the player may have come or gone
  }
  // Trust is asked only when the tap could be wanted at all.
  const bool wanted =
      enabled_ && accessSetupCompleted_ && !desktopKeysRestoring() && services_->isProcessTrusted();
  if (wanted != router_->isTapInstalled()) {
    refreshPermissions();
  }
}

KeyHoldRule AppModel::keyHoldRule() const {
  return {enabled_, accessSetupCompleted_, automationDenied_,
          whenNotRunning_ == WhenNotRunning::launchMusic || router_->isMusicRunning()};
}

bool AppModel::desktopKeysRestoring() const { return desktopKeys_ && desktopKeys_->restoring(); }

std::optional<KeyTakeoverText> AppModel::keyTakeover() const {
  return desktopKeys_ ? desktopKeys_->offer() : std::nullopt;
}

void AppModel::takeOverKeys() {
  if (desktopKeys_) {
    desktopKeys_->takeOver(keyHoldRule());
    emit stateChanged();
  }
}

bool AppModel::holdsDesktopKeys() const { return desktopKeys_ && desktopKeys_->holds(); }

void AppModel::giveKeysBack() {
  if (desktopKeys_) {
    desktopKeys_->giveBack();
    emit stateChanged();
  }
}

void AppModel::setMusicAppId(const QString& id) {
  musicAppId_ = id;
  defaults_.setObject(key(kMusicApplicationKey),
                      id.isEmpty() ? QJsonValue(QJsonValue::Undefined) : QJsonValue(id));
  services_->setMusicApplication(id);
  // Named at once from the list it was picked from; the lookup confirms it or names the fallback.
  const auto picked = std::find_if(musicAppChoices_.begin(), musicAppChoices_.end(),
                                   [&](const MusicApp& app) { return app.id == id; });
  if (picked != musicAppChoices_.end()) {
    musicApp_ = *picked;
  }
  emit musicApplicationChanged();
  emit stateChanged();
  refreshPermissions();  // the Automation check is the new player's
  loadMusicApps();
}

void AppModel::showAccessWindow() {
  accessWindow().show();
  loadMusicApps();
}

void AppModel::loadMusicApps() {
  using Apps = std::pair<MusicApp, std::vector<MusicApp>>;
  inBackground(
      *services_, this,
      [services = services_] {
        return Apps(services->musicApplication(), services->musicApplications());
      },
      [lookup = ++musicAppsLookup_](AppModel& model, const Apps& apps) {
        if (lookup == model.musicAppsLookup_) {
          model.musicApp_ = apps.first;
          model.musicAppChoices_ = apps.second;
          emit model.musicApplicationChanged();
          emit model.stateChanged();
        }
      });
}

void AppModel::loadKeyHelp() {
  inBackground(
      *services_, this, [services = services_] { return services->keyHelp(); },
      [](AppModel& model, const KeyHelp& help) {
        model.keyHelp_ = help;
        emit model.keyHelpChanged();
        emit model.stateChanged();
      });
}

AccessWindowController& AppModel::accessWindow() {
  if (!accessWindow_) {
    accessWindow_ = makeAccessWindow_(*this);
  }
  return *accessWindow_;
}

void AppModel::observeUpdater() {
  // The updater lives on this thread, so its values arrive here; the context object would
  // queue a value sent from any other thread onto the model's thread, which owns all state.
  assign(canCheckForUpdates_, updater_->canCheckForUpdates(), &AppModel::canCheckForUpdatesChanged);
  connect(updater_.get(), &Updater::canCheckForUpdatesChanged, this, [this](bool canCheck) {
    assign(canCheckForUpdates_, canCheck, &AppModel::canCheckForUpdatesChanged);
  });
}

}  // namespace tonvara
