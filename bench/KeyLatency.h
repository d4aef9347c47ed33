#pragma once

#include <chrono>
#include <vector>

namespace tonvara::bench {

struct Percentiles {
  std::chrono::nanoseconds median;
  std::chrono::nanoseconds p99;
  std::chrono::nanoseconds max;
};

Percentiles percentiles(std::vector<std::chrono::nanoseconds> samples);

struct KeyLatency {
  int keys = 0;
  int burstSize = 0;
  // One key at a time, the next only after the previous reached Music and the queue's thread
  // has gone back to sleep: from callback entry to the start of sendCommand.
  Percentiles paced;
  // The same keys, from callback entry to its return: the taken key's cost with an idle queue.
  Percentiles pacedCallBack;
  // Keys delivered `burstSize` at a time back to back: from callback entry to sendCommand.
  Percentiles burst;
};

// Takes `keys` play/pause key-downs through the tap callback to the Music queue, paced and then
// in bursts.
KeyLatency measureKeyLatency(int keys, int burstSize);

}  // namespace tonvara::bench
