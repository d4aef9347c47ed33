#include "DesktopKeyTakeover.h"

#include <QFile>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <mutex>

#include "SavedDesktopKeys.h"

namespace tonvara::desktopkeys {

namespace {

constexpr std::chrono::seconds kQuitWait{3};

bool rulesDiffer(const KeyHoldRule& a, const KeyHoldRule& b) {
  return a.interceptionOn != b.interceptionOn || a.setupCompleted != b.setupCompleted ||
         a.controlRefused != b.controlRefused || a.playerRunningOrLaunch != b.playerRunningOrLaunch;
}

}  // namespace

// What runs on the queue, shared with the jobs so that it outlives the controller.
struct DesktopKeyTakeover::Worker {
  std::mutex lock;  // one holder or channel call at a time
  // Quitting: a take that has not begun yet must not change the desktop after the restore.
  std::atomic<bool> closed{false};
  std::unique_ptr<DesktopKeyHolder> holder;
  std::unique_ptr<KeyDeliveryChannel> channel;
  QString savedPath;
  bool deliveryPath = false;
  KeyDeliveryChannel::Deliver deliver;

  bool take() {
    if (closed) {
      return false;
    }
    // A file left behind holds the desktop's real values: put them back before reading.
    if (!restoreSavedDesktopKeys(savedPath)) {
      return false;
    }
    const auto values = holder->read();
    if (!values || !writeSavedDesktopKeys(savedPath, {holder->id(), *values})) {
      return false;
    }
    if (holder->release() && (!deliveryPath || channel->open(deliver))) {
      return true;
    }
    restore();
    return false;
  }

  bool restore() {
    if (deliveryPath) {
      channel->close();
    }
    return restoreSavedDesktopKeys(savedPath);
  }
};

// Lets a finished job reach the main thread only while the controller lives.
struct DesktopKeyTakeover::Mailbox {
  std::mutex lock;
  QObject* context = nullptr;

  template <typename Function>
  void post(Function function) {
    std::lock_guard guard(lock);
    if (context != nullptr) {
      QMetaObject::invokeMethod(context, std::move(function), Qt::QueuedConnection);
    }
  }
};

DesktopKeyTakeover::DesktopKeyTakeover(Options options)
    : worker_(std::make_shared<Worker>()),
      mailbox_(std::make_shared<Mailbox>()),
      text_(options.desktop.holder->text()),
      deliveryPath_(options.deliveryPath),
      savedPath_(options.savedPath),
      defaults_(*options.defaults),
      queue_(std::move(options.queue)),
      setDeliveryOpen_(std::move(options.setDeliveryOpen)),
      hooks_(std::move(options.hooks)) {
  worker_->holder = std::move(options.desktop.holder);
  worker_->channel = std::move(options.desktop.channel);
  worker_->savedPath = savedPath_;
  worker_->deliveryPath = deliveryPath_;
  worker_->deliver = std::move(options.deliver);
  mailbox_->context = &context_;
}

DesktopKeyTakeover::~DesktopKeyTakeover() {
  {
    std::lock_guard guard(mailbox_->lock);
    mailbox_->context = nullptr;
  }
  worker_->closed = true;
  if (!busy_ && !held_ && !QFile::exists(savedPath_)) {
    return;
  }
  auto done = std::make_shared<std::promise<void>>();
  auto future = done->get_future();
  queue_->async([worker = worker_, done] {
    {
      std::lock_guard guard(worker->lock);
      worker->restore();
    }
    done->set_value();
  });
  future.wait_for(kQuitWait);
}

std::optional<KeyTakeoverText> DesktopKeyTakeover::offer() const {
  return KeyTakeoverText{text_.holder, text_.changes, text_.undo};
}

void DesktopKeyTakeover::start(KeyHoldRule rule) {
  rule_ = rule;
  consent_ = defaults_.boolean(QString::fromLatin1(kConsentKey));
  held_ = restoreFirst_ = QFile::exists(savedPath_);
  reconcile();
}

void DesktopKeyTakeover::takeOver(KeyHoldRule rule) {
  rule_ = rule;
  failed_ = false;
  setConsent(true);
  reconcile();
}

void DesktopKeyTakeover::giveBack() {
  failed_ = false;
  setConsent(false);
  reconcile();
}

void DesktopKeyTakeover::follow(KeyHoldRule rule) {
  if (rulesDiffer(rule, rule_)) {
    rule_ = rule;
    failed_ = false;
  }
  reconcile();
}

void DesktopKeyTakeover::setConsent(bool consent) {
  consent_ = consent;
  defaults_.setBool(QString::fromLatin1(kConsentKey), consent);
}

bool DesktopKeyTakeover::wanted() const {
  if (!consent_ || !rule_.interceptionOn) {
    return false;
  }
  return !deliveryPath_ ||
         (rule_.setupCompleted && !rule_.controlRefused && rule_.playerRunningOrLaunch);
}

void DesktopKeyTakeover::reconcile() {
  // Delivered keys are "trusted" while Tonvara may hold them, also while the rule hands them
  // back for a while: it can take them again at once.
  const bool open = consent_ && !(failed_ && !held_);
  if (deliveryPath_ && setDeliveryOpen_ && deliveryOpen_ != open) {
    deliveryOpen_ = open;
    setDeliveryOpen_(open);
  }
  const bool take = wanted() && !restoreFirst_;
  if (busy_ || failed_ || (take == held_ && !restoreFirst_)) {
    return;
  }
  if (!take && !deliveryPath_ && hooks_.beforeRestore) {
    hooks_.beforeRestore();
  }
  busy_ = true;
  taking_ = take;
  const auto began = std::chrono::steady_clock::now();
  queue_->async([worker = worker_, mailbox = mailbox_, take, began, this] {
    bool ok = false;
    {
      std::lock_guard guard(worker->lock);
      ok = take ? worker->take() : worker->restore();
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - began);
    std::fprintf(stderr, "tonvara: desktop media keys %s in %lld ms\n",
                 take ? (ok ? "taken" : "not taken") : (ok ? "given back" : "not given back"),
                 static_cast<long long>(took.count()));
    mailbox->post([this, take, ok] { finished(take, ok); });
  });
}

void DesktopKeyTakeover::finished(bool take, bool ok) {
  busy_ = false;
  failed_ = !ok;
  if (!take && ok) {
    restoreFirst_ = false;
  }
  held_ = take ? ok : !ok;
  if (hooks_.changed) {
    hooks_.changed();
  }
  reconcile();
}

}  // namespace tonvara::desktopkeys
