// The tap callback per event, called directly on the benchmark thread the way the system calls
// it on the tap thread.
#include "TapCallbackBench.h"

#include <benchmark/benchmark.h>

#include <semaphore>
#include <string>

#include "BenchEngine.h"

namespace tonvara::bench {

namespace {

// How many taken keys may wait on the Music queue before the loop runs them outside timing.
constexpr benchmark::IterationCount kDrainEvery = 4096;

[[gnu::noinline]] EventRef emptyCallBack(std::uint32_t /*type*/, EventRef event,
                                         void* /*userInfo*/) {
  return event;
}

void noCommand(MediaKey /*key*/, bool /*afterLaunch*/) {}

enum class Expected { passed, taken };

void checkAnswer(benchmark::State& state, EventRef answer, EventRef event, Expected expected) {
  const EventRef wanted = expected == Expected::passed ? event : nullptr;
  if (answer != wanted) {
    state.SkipWithError("the callback answered differently than expected");
  }
}

// Calls `callBack` once per iteration; the pointer is hidden from the optimiser so that the
// empty callback is a real indirect call too.
void callRepeatedly(benchmark::State& state, EventTapCallBack callBack, void* userInfo,
                    std::uint32_t type, BenchEvent event, Expected expected) {
  benchmark::DoNotOptimize(callBack);
  benchmark::DoNotOptimize(userInfo);
  EventRef const eventRef = &event;
  EventRef answer = eventRef;
  for (auto _ : state) {
    answer = callBack(type, eventRef, userInfo);
    benchmark::DoNotOptimize(answer);
  }
  checkAnswer(state, answer, eventRef, expected);
}

constexpr BenchEvent kKeyDown{{8, mediaKeyData1(kPlayPauseKeyCode, true)}};
constexpr BenchEvent kKeyUp{{8, mediaKeyData1(kPlayPauseKeyCode, false)}};

void emptyCallBackCase(benchmark::State& state) {
  callRepeatedly(state, &emptyCallBack, nullptr, kSystemDefinedEventType, kKeyDown,
                 Expected::passed);
}

void nonSystemEvent(benchmark::State& state) {
  const BenchEngine engine(BenchEngine::MusicState::running, noCommand);
  callRepeatedly(state, engine.callBack().callBack, engine.callBack().userInfo, kKeyDownEventType,
                 kKeyDown, Expected::passed);
}

void mediaKeyUp(benchmark::State& state) {
  const BenchEngine engine(BenchEngine::MusicState::running, noCommand);
  callRepeatedly(state, engine.callBack().callBack, engine.callBack().userInfo,
                 kSystemDefinedEventType, kKeyUp, Expected::passed);
}

void keyDownPassed(benchmark::State& state) {
  const BenchEngine engine(BenchEngine::MusicState::notRunning, noCommand);
  callRepeatedly(state, engine.callBack().callBack, engine.callBack().userInfo,
                 kSystemDefinedEventType, kKeyDown, Expected::passed);
}

// Keeps the Music queue's thread inside one job, so that keys only queue their work: nothing
// runs it, and nobody sleeps on the queue, so queueing needs no wake-up.
class OccupiedQueue {
 public:
  explicit OccupiedQueue(SerialWorkQueue& queue) : queue_(queue) { occupy(); }
  ~OccupiedQueue() { release(); }

  OccupiedQueue(const OccupiedQueue&) = delete;
  OccupiedQueue& operator=(const OccupiedQueue&) = delete;

  // Lets the thread go, waits until it has run everything queued, and occupies it again.
  void drain() {
    release();
    occupy();
  }

 private:
  void occupy() {
    queue_.async([this] {
      entered_.release();
      leave_.acquire();
    });
    entered_.acquire();
  }
  void release() {
    leave_.release();
    queue_.sync([] {});
  }

  SerialWorkQueue& queue_;
  std::binary_semaphore entered_{0};
  std::binary_semaphore leave_{0};
};

// The cost of deciding and queueing alone. Waking a sleeping queue thread comes on top for a
// key that finds the queue idle; the key latency run measures that case.
void keyDownTaken(benchmark::State& state) {
  const BenchEngine engine(BenchEngine::MusicState::running, noCommand);
  EventTapCallBack callBack = engine.callBack().callBack;
  void* userInfo = engine.callBack().userInfo;
  benchmark::DoNotOptimize(callBack);
  benchmark::DoNotOptimize(userInfo);
  BenchEvent event = kKeyDown;
  EventRef const eventRef = &event;
  EventRef answer = nullptr;
  {
    OccupiedQueue occupied(engine.musicQueue());
    benchmark::IterationCount sinceDrain = 0;
    for (auto _ : state) {
      answer = callBack(kSystemDefinedEventType, eventRef, userInfo);
      benchmark::DoNotOptimize(answer);
      if (++sinceDrain == kDrainEvery) {
        state.PauseTiming();
        occupied.drain();
        state.ResumeTiming();
        sinceDrain = 0;
      }
    }
  }
  checkAnswer(state, answer, eventRef, Expected::taken);
}

void registerCase(std::string_view name, void (*function)(benchmark::State&)) {
  benchmark::RegisterBenchmark(std::string(name).c_str(), function)
      ->UseRealTime()
      ->Unit(benchmark::kNanosecond);
}

}  // namespace

void registerTapCallBackBenchmarks() {
  registerCase(kCallBackFigures[0].benchmarkName, emptyCallBackCase);
  registerCase(kCallBackFigures[1].benchmarkName, nonSystemEvent);
  registerCase(kCallBackFigures[2].benchmarkName, mediaKeyUp);
  registerCase(kCallBackFigures[3].benchmarkName, keyDownPassed);
  registerCase(kCallBackFigures[4].benchmarkName, keyDownTaken);
}

}  // namespace tonvara::bench
