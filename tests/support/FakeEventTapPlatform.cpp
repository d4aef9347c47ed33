#include "FakeEventTapPlatform.h"

#include <future>

#include "BasicRunLoop.h"

namespace tonvara::testing {

namespace {

struct FakePort final : EventTapPort {
  FakePort(EventTapCallBack callback, void* userInfo) : callback(callback), userInfo(userInfo) {}
  const EventTapCallBack callback;
  void* const userInfo;
  std::atomic<bool> enabled{false};
};

class FakeRunLoop;

struct FakeSource final : RunLoopSource {
  explicit FakeSource(std::shared_ptr<FakePort> port) : port(std::move(port)) {}
  const std::shared_ptr<FakePort> port;
  std::mutex mutex;
  std::weak_ptr<FakeRunLoop> loop;  // where it is attached, if anywhere
};

class FakeRunLoop final : public RunLoop, public std::enable_shared_from_this<FakeRunLoop> {
 public:
  FakeRunLoop(std::function<void()> beforeRun, std::atomic<int>& running)
      : beforeRun_(std::move(beforeRun)), running_(running) {}

  void addSource(const std::shared_ptr<RunLoopSource>& source) override {
    loop_.addSource(source);
    auto& fake = dynamic_cast<FakeSource&>(*source);
    std::lock_guard lock(fake.mutex);
    fake.loop = weak_from_this();
  }
  void removeSource(const std::shared_ptr<RunLoopSource>& source) override {
    loop_.removeSource(source);
    auto& fake = dynamic_cast<FakeSource&>(*source);
    std::lock_guard lock(fake.mutex);
    fake.loop.reset();
  }
  void run() override {
    if (beforeRun_) {
      beforeRun_();
    }
    ++running_;
    loop_.run();
    --running_;
  }
  void stop() override { loop_.stop(); }

  bool perform(std::function<void()> work) { return loop_.perform(std::move(work)); }

 private:
  detail::BasicRunLoop loop_;
  std::function<void()> beforeRun_;
  std::atomic<int>& running_;
};

}  // namespace

struct FakeEventTapPlatform::State {
  mutable std::mutex mutex;
  std::atomic<bool> trusted{true};
  std::atomic<bool> refuse{false};
  std::atomic<int> trustChecks{0};
  std::atomic<int> runningLoops{0};
  int tapsCreated = 0;
  std::function<void()> beforeRun;
  std::weak_ptr<FakePort> newestPort;
  std::weak_ptr<FakeSource> newestSource;
  std::optional<CreateRequest> lastRequest;
};

FakeEvent mediaKeyEvent(std::int64_t keyCode, bool down, bool repeat) {
  return FakeEvent{kSystemDefinedEventType,
                   SystemDefinedEventFields{8, mediaKeyData1(keyCode, down, repeat)}};
}

FakeEventTapPlatform::FakeEventTapPlatform() : state_(std::make_shared<State>()) {}
FakeEventTapPlatform::~FakeEventTapPlatform() = default;

void FakeEventTapPlatform::setTrusted(bool trusted) { state_->trusted = trusted; }
void FakeEventTapPlatform::setRefuseTaps(bool refuse) { state_->refuse = refuse; }

void FakeEventTapPlatform::setBeforeRun(std::function<void()> hook) {
  std::lock_guard lock(state_->mutex);
  state_->beforeRun = std::move(hook);
}

namespace {

// Delivers one event to the port's callback on the loop's thread and waits for the answer.
PostOutcome deliver(const std::shared_ptr<FakeSource>& source, std::uint32_t type,
                    const FakeEvent& event) {
  std::shared_ptr<FakeRunLoop> loop;
  {
    std::lock_guard lock(source->mutex);
    loop = source->loop.lock();
  }
  if (!loop) {
    return PostOutcome::noTap;
  }
  auto copy = std::make_shared<FakeEvent>(event);
  auto answer = std::make_shared<std::promise<EventRef>>();
  auto future = answer->get_future();
  const auto port = source->port;
  // Only the queued work owns the promise, so work dropped by a stopping loop breaks it.
  const bool queued = loop->perform([port, type, copy, answer = std::move(answer)] {
    answer->set_value(port->callback(type, copy.get(), port->userInfo));
  });
  if (!queued) {
    return PostOutcome::noTap;
  }
  try {
    const EventRef returned = future.get();
    if (returned == nullptr) {
      return PostOutcome::swallowed;
    }
    return returned == copy.get() ? PostOutcome::passed : PostOutcome::replaced;
  } catch (const std::future_error&) {
    // The loop stopped before it reached the event: as if the tap were already gone.
    return PostOutcome::noTap;
  }
}

}  // namespace

PostOutcome FakeEventTapPlatform::post(const FakeEvent& event) {
  std::shared_ptr<FakeSource> source;
  {
    std::lock_guard lock(state_->mutex);
    source = state_->newestSource.lock();
  }
  if (!source || !source->port->enabled) {
    return PostOutcome::noTap;
  }
  return deliver(source, event.type, event);
}

PostOutcome FakeEventTapPlatform::postMediaKey(std::int64_t keyCode, bool down, bool repeat) {
  return post(mediaKeyEvent(keyCode, down, repeat));
}

PostOutcome FakeEventTapPlatform::disableTap(std::uint32_t notification) {
  std::shared_ptr<FakeSource> source;
  {
    std::lock_guard lock(state_->mutex);
    source = state_->newestSource.lock();
  }
  if (!source) {
    return PostOutcome::noTap;
  }
  source->port->enabled = false;
  return deliver(source, notification, FakeEvent{notification, std::nullopt});
}

int FakeEventTapPlatform::tapsCreated() const {
  std::lock_guard lock(state_->mutex);
  return state_->tapsCreated;
}

int FakeEventTapPlatform::trustChecks() const { return state_->trustChecks; }

bool FakeEventTapPlatform::isTapEnabled() const {
  std::lock_guard lock(state_->mutex);
  auto port = state_->newestPort.lock();
  return port && port->enabled;
}

bool FakeEventTapPlatform::isTapAttached() const {
  std::shared_ptr<FakeSource> source;
  {
    std::lock_guard lock(state_->mutex);
    source = state_->newestSource.lock();
  }
  if (!source) {
    return false;
  }
  std::lock_guard lock(source->mutex);
  return !source->loop.expired();
}

std::optional<FakeEventTapPlatform::CreateRequest> FakeEventTapPlatform::lastCreateRequest() const {
  std::lock_guard lock(state_->mutex);
  return state_->lastRequest;
}

int FakeEventTapPlatform::runningLoops() const { return state_->runningLoops; }

std::shared_ptr<EventTapPort> FakeEventTapPlatform::createEventTap(
    EventTapLocation location, EventTapPlacement placement, EventTapOptions options, EventMask mask,
    EventTapCallBack callback, void* userInfo) {
  std::lock_guard lock(state_->mutex);
  state_->lastRequest = CreateRequest{location, placement, options, mask};
  if (!state_->trusted || state_->refuse) {
    return nullptr;
  }
  auto port = std::make_shared<FakePort>(callback, userInfo);
  state_->newestPort = port;
  ++state_->tapsCreated;
  return port;
}

std::shared_ptr<RunLoopSource> FakeEventTapPlatform::createRunLoopSource(
    const std::shared_ptr<EventTapPort>& port) {
  auto source = std::make_shared<FakeSource>(std::dynamic_pointer_cast<FakePort>(port));
  std::lock_guard lock(state_->mutex);
  state_->newestSource = source;
  return source;
}

std::shared_ptr<RunLoop> FakeEventTapPlatform::currentRunLoop() {
  std::lock_guard lock(state_->mutex);
  return std::make_shared<FakeRunLoop>(state_->beforeRun, state_->runningLoops);
}

void FakeEventTapPlatform::enableTap(EventTapPort& port, bool enable) {
  dynamic_cast<FakePort&>(port).enabled = enable;
}

bool FakeEventTapPlatform::isProcessTrusted() {
  ++state_->trustChecks;
  return state_->trusted;
}

std::optional<SystemDefinedEventFields> FakeEventTapPlatform::systemDefinedFields(EventRef event) {
  return static_cast<const FakeEvent*>(event)->fields;
}

}  // namespace tonvara::testing
