#include "KeyLatency.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <thread>

#include "BenchEngine.h"

namespace tonvara::bench {

namespace {

using Clock = std::chrono::steady_clock;

// Long enough for the Music queue's thread to be asleep again, as it is between real presses.
constexpr auto kQuietGap = std::chrono::microseconds(50);

// When each command started, written only on the Music queue.
struct Arrivals {
  explicit Arrivals(std::size_t capacity) : at(capacity) {}

  void record() {
    const auto now = Clock::now();
    const auto index = count.load(std::memory_order_relaxed);
    if (index < at.size()) {
      at[index] = now;
    }
    count.store(index + 1, std::memory_order_release);
    count.notify_one();
  }

  void waitFor(std::size_t wanted) {
    for (auto seen = count.load(std::memory_order_acquire); seen < wanted;
         seen = count.load(std::memory_order_acquire)) {
      count.wait(seen, std::memory_order_acquire);
    }
  }

  void reset() { count.store(0, std::memory_order_relaxed); }

  std::vector<Clock::time_point> at;
  std::atomic<std::size_t> count{0};
};

std::vector<std::chrono::nanoseconds> differences(const std::vector<Clock::time_point>& from,
                                                  const std::vector<Clock::time_point>& to) {
  std::vector<std::chrono::nanoseconds> result;
  result.reserve(from.size());
  for (std::size_t i = 0; i < from.size() && i < to.size(); ++i) {
    result.push_back(std::chrono::duration_cast<std::chrono::nanoseconds>(to[i] - from[i]));
  }
  return result;
}

// Every key here must be taken, or its command would never arrive and the wait would not end.
void deliverTaken(const BenchEngine& engine, BenchEvent& keyDown) {
  if (engine.deliver(kSystemDefinedEventType, &keyDown) != nullptr) {
    std::cerr << "bench: a key-down was passed on instead of taken\n";
    std::exit(EXIT_FAILURE);
  }
}

}  // namespace

Percentiles percentiles(std::vector<std::chrono::nanoseconds> samples) {
  if (samples.empty()) {
    return {};
  }
  std::sort(samples.begin(), samples.end());
  const auto at = [&](double fraction) {
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(samples.size())));
    return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
  };
  return {at(0.5), at(0.99), samples.back()};
}

KeyLatency measureKeyLatency(int keys, int burstSize) {
  const auto count = static_cast<std::size_t>(std::max(keys, 1));
  const auto burst = static_cast<std::size_t>(std::max(burstSize, 1));
  auto arrivals = std::make_shared<Arrivals>(count);
  const BenchEngine engine(
      BenchEngine::MusicState::running,
      [arrivals](MediaKey /*key*/, bool /*afterLaunch*/) { arrivals->record(); });
  BenchEvent keyDown{{8, mediaKeyData1(kPlayPauseKeyCode, true)}};
  std::vector<Clock::time_point> entries(count);
  std::vector<Clock::time_point> returns(count);

  for (std::size_t i = 0; i < count; ++i) {
    entries[i] = Clock::now();
    deliverTaken(engine, keyDown);
    returns[i] = Clock::now();
    arrivals->waitFor(i + 1);
    std::this_thread::sleep_for(kQuietGap);
  }
  engine.drainMusicQueue();
  KeyLatency result;
  result.keys = static_cast<int>(count);
  result.burstSize = static_cast<int>(burst);
  result.paced = percentiles(differences(entries, arrivals->at));
  result.pacedCallBack = percentiles(differences(entries, returns));

  arrivals->reset();
  for (std::size_t first = 0; first < count; first += burst) {
    const auto end = std::min(first + burst, count);
    for (std::size_t i = first; i < end; ++i) {
      entries[i] = Clock::now();
      deliverTaken(engine, keyDown);
    }
    arrivals->waitFor(end);
    std::this_thread::sleep_for(kQuietGap);
  }
  engine.drainMusicQueue();
  result.burst = percentiles(differences(entries, arrivals->at));
  return result;
}

}  // namespace tonvara::bench
