#pragma once

#include <QObject>
#include <memory>

#include "DesktopKeyHolder.h"
#include "MediaKeyEngine/WorkQueue.h"
#include "PlatformServices.h"

namespace tonvara::desktopkeys {

// Takes the media keys from the desktop with the user's consent and gives them back, following
// the hold rule. Main thread; every holder and channel call runs on the queue, one at a time,
// and its outcome comes back to the main thread. The desktop's values are saved before anything
// changes and the file is removed once they are back, so a crash leaves them for the next start.
class DesktopKeyTakeover final : public DesktopKeys {
 public:
  static constexpr auto kConsentKey = "desktopKeysTaken";

  struct Options {
    RecognisedDesktop desktop;
    // No X11 grab can take the keys (Wayland): they come through the desktop's channel.
    bool deliveryPath = false;
    QString savedPath;
    UserDefaults* defaults = nullptr;
    std::shared_ptr<WorkQueue> queue;
    KeyDeliveryChannel::Deliver deliver;
    std::function<void(bool)> setDeliveryOpen;
    Hooks hooks;
  };

  explicit DesktopKeyTakeover(Options options);
  // Quitting: the desktop's values go back, waiting a few seconds at most (a hung settings
  // backend leaves the file for the next start). Consent stays.
  ~DesktopKeyTakeover() override;

  std::optional<KeyTakeoverText> offer() const override;
  bool holds() const override { return consent_; }
  bool restoring() const override { return busy_ && !taking_; }
  void start(KeyHoldRule rule) override;
  void takeOver(KeyHoldRule rule) override;
  void giveBack() override;
  void follow(KeyHoldRule rule) override;

 private:
  struct Worker;
  struct Mailbox;

  bool wanted() const;
  void reconcile();
  void finished(bool take, bool ok);
  void setConsent(bool consent);

  std::shared_ptr<Worker> worker_;
  std::shared_ptr<Mailbox> mailbox_;
  QObject context_;
  const TakeoverText text_;
  const bool deliveryPath_;
  const QString savedPath_;
  UserDefaults& defaults_;
  const std::shared_ptr<WorkQueue> queue_;
  const std::function<void(bool)> setDeliveryOpen_;
  const Hooks hooks_;

  KeyHoldRule rule_;
  bool consent_ = false;
  bool held_ = false;  // the desktop's values are (or may be) changed
  bool busy_ = false;  // a take or restore is on the queue
  bool taking_ = false;
  bool failed_ = false;        // the last attempt failed: wait for the user or a new rule
  bool restoreFirst_ = false;  // values a crash left: restore before taking again
  std::optional<bool> deliveryOpen_;
};

}  // namespace tonvara::desktopkeys
