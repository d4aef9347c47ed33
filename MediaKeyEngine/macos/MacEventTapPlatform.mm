#include "MacEventTapPlatform.h"

#import <AppKit/AppKit.h>
#import <ApplicationServices/ApplicationServices.h>

#include <atomic>

namespace tonvara::mac {

namespace {

// CGEventTapCallBack has a proxy argument the engine does not use; this carries the engine's
// callback through the tap's user data.
struct TapContext {
  EventTapCallBack callback;
  void* userInfo;
};

CGEventRef trampoline(CGEventTapProxy /*proxy*/, CGEventType type, CGEventRef event,
                      void* context) {
  const auto* tap = static_cast<const TapContext*>(context);
  return static_cast<CGEventRef>(
      tap->callback(static_cast<std::uint32_t>(type), event, tap->userInfo));
}

class MacTapPort final : public EventTapPort {
 public:
  MacTapPort(CFMachPortRef port, std::unique_ptr<TapContext> context)
      : port_(port), context_(std::move(context)) {}
  ~MacTapPort() override { CFRelease(port_); }
  MacTapPort(const MacTapPort&) = delete;
  MacTapPort& operator=(const MacTapPort&) = delete;

  CFMachPortRef port() const { return port_; }

 private:
  CFMachPortRef port_;
  std::unique_ptr<TapContext> context_;
};

class MacRunLoopSource final : public RunLoopSource {
 public:
  explicit MacRunLoopSource(CFRunLoopSourceRef source) : source_(source) {}
  ~MacRunLoopSource() override { CFRelease(source_); }
  MacRunLoopSource(const MacRunLoopSource&) = delete;
  MacRunLoopSource& operator=(const MacRunLoopSource&) = delete;

  CFRunLoopSourceRef source() const { return source_; }

 private:
  CFRunLoopSourceRef source_;
};

class MacRunLoop final : public RunLoop {
 public:
  // CFRetain answers the same object as a CFTypeRef; keeping `loop` itself needs no cast.
  explicit MacRunLoop(CFRunLoopRef loop) : loop_(loop) { CFRetain(loop_); }
  ~MacRunLoop() override { CFRelease(loop_); }
  MacRunLoop(const MacRunLoop&) = delete;
  MacRunLoop& operator=(const MacRunLoop&) = delete;

  void addSource(const std::shared_ptr<RunLoopSource>& source) override {
    if (!source) {
      return;
    }
    CFRunLoopAddSource(loop_, static_cast<MacRunLoopSource&>(*source).source(),
                       kCFRunLoopCommonModes);
  }
  void removeSource(const std::shared_ptr<RunLoopSource>& source) override {
    if (!source) {
      return;
    }
    CFRunLoopRemoveSource(loop_, static_cast<MacRunLoopSource&>(*source).source(),
                          kCFRunLoopCommonModes);
  }
  void run() override {
    // CFRunLoopStop is lost when it arrives before the loop runs; the flag keeps it, and a
    // loop whose source was removed finishes by itself.
    while (!stopped_) {
      const auto result = CFRunLoopRunInMode(kCFRunLoopDefaultMode, 1.0e10, false);
      if (result == kCFRunLoopRunFinished) {
        break;
      }
    }
  }
  void stop() override {
    stopped_ = true;
    CFRunLoopStop(loop_);
  }

 private:
  CFRunLoopRef loop_;
  std::atomic<bool> stopped_{false};
};

}  // namespace

std::shared_ptr<EventTapPort> MacEventTapPlatform::createEventTap(
    EventTapLocation location, EventTapPlacement placement, EventTapOptions options, EventMask mask,
    EventTapCallBack callback, void* userInfo) {
  auto context = std::make_unique<TapContext>(TapContext{callback, userInfo});
  CFMachPortRef port = CGEventTapCreate(static_cast<CGEventTapLocation>(location),
                                        static_cast<CGEventTapPlacement>(placement),
                                        static_cast<CGEventTapOptions>(options),
                                        static_cast<CGEventMask>(mask), &trampoline, context.get());
  if (port == nullptr) {
    return nullptr;
  }
  return std::make_shared<MacTapPort>(port, std::move(context));
}

std::shared_ptr<RunLoopSource> MacEventTapPlatform::createRunLoopSource(
    const std::shared_ptr<EventTapPort>& port) {
  CFRunLoopSourceRef source =
      CFMachPortCreateRunLoopSource(kCFAllocatorDefault, static_cast<MacTapPort&>(*port).port(), 0);
  if (source == nullptr) {
    return nullptr;  // treated like a refused tap; never reaches CFRelease
  }
  return std::make_shared<MacRunLoopSource>(source);
}

std::shared_ptr<RunLoop> MacEventTapPlatform::currentRunLoop() {
  return std::make_shared<MacRunLoop>(CFRunLoopGetCurrent());
}

void MacEventTapPlatform::enableTap(EventTapPort& port, bool enable) {
  CGEventTapEnable(static_cast<MacTapPort&>(port).port(), enable);
}

bool MacEventTapPlatform::isProcessTrusted() { return AXIsProcessTrusted(); }

std::optional<SystemDefinedEventFields> MacEventTapPlatform::systemDefinedFields(EventRef event) {
  @autoreleasepool {
    NSEvent* object = [NSEvent eventWithCGEvent:static_cast<CGEventRef>(event)];
    if (object == nil) {
      return std::nullopt;
    }
    return SystemDefinedEventFields{static_cast<std::int16_t>(object.subtype),
                                    static_cast<std::int64_t>(object.data1)};
  }
}

}  // namespace tonvara::mac
