#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace tonvara {

// The platform's event record, opaque to the engine (a CGEventRef on macOS).
using EventRef = void*;

// Called on the tap thread for every event of interest. Returns the event to pass it on,
// or nullptr to drop it.
using EventTapCallBack = EventRef (*)(std::uint32_t type, EventRef event, void* userInfo);

// Where and how a tap is inserted; the values are the system's own.
enum class EventTapLocation : std::uint32_t { hidEventTap = 0 };
enum class EventTapPlacement : std::uint32_t { headInsertEventTap = 0 };
enum class EventTapOptions : std::uint32_t { defaultTap = 0 };

using EventMask = std::uint64_t;

inline constexpr std::uint32_t kSystemDefinedEventType = 14;
inline constexpr EventMask kSystemDefinedEventMask = EventMask{1} << kSystemDefinedEventType;
inline constexpr std::uint32_t kEventTapDisabledByTimeout = 0xFFFFFFFEU;
inline constexpr std::uint32_t kEventTapDisabledByUserInput = 0xFFFFFFFFU;

// An installed tap's port. Destroying the last reference releases the system's tap.
class EventTapPort {
 public:
  virtual ~EventTapPort() = default;
};

// Something a run loop watches; here only ever made from a tap port.
class RunLoopSource {
 public:
  virtual ~RunLoopSource() = default;
};

// The run loop of one thread.
class RunLoop {
 public:
  virtual ~RunLoop() = default;
  // Attach or detach a source in the common modes; callable from any thread.
  virtual void addSource(const std::shared_ptr<RunLoopSource>& source) = 0;
  virtual void removeSource(const std::shared_ptr<RunLoopSource>& source) = 0;
  // Dispatches until stop() has been called. A stop that arrives before run() starts
  // still ends the following run(), so a stop can never be lost.
  virtual void run() = 0;
  // Callable from any thread.
  virtual void stop() = 0;
};

// The system-defined fields of an event, as the platform's event object reads them.
struct SystemDefinedEventFields {
  std::int16_t subtype;
  std::int64_t data1;
};

// The event-tap services of one platform (Quartz event services on macOS).
class EventTapPlatform {
 public:
  virtual ~EventTapPlatform() = default;

  // A tap for the events in `mask`, or nullptr when the system refuses one.
  virtual std::shared_ptr<EventTapPort> createEventTap(EventTapLocation location,
                                                       EventTapPlacement placement,
                                                       EventTapOptions options, EventMask mask,
                                                       EventTapCallBack callback,
                                                       void* userInfo) = 0;
  virtual std::shared_ptr<RunLoopSource> createRunLoopSource(
      const std::shared_ptr<EventTapPort>& port) = 0;
  // The calling thread's run loop.
  virtual std::shared_ptr<RunLoop> currentRunLoop() = 0;
  virtual void enableTap(EventTapPort& port, bool enable) = 0;
  // Whether this process may tap input (Accessibility trust on macOS).
  virtual bool isProcessTrusted() = 0;
  // Reads a system-defined event; nothing when the event cannot be read as one.
  virtual std::optional<SystemDefinedEventFields> systemDefinedFields(EventRef event) = 0;
};

}  // namespace tonvara
