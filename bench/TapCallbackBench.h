#pragma once

#include <array>
#include <string_view>

namespace tonvara::bench {

struct CallBackFigure {
  std::string_view benchmarkName;
  std::string_view description;
};

inline constexpr std::string_view kEmptyCallBack = "tap/empty_callback";

// The tap callback's cases, in the order they are reported.
inline constexpr std::array<CallBackFigure, 5> kCallBackFigures{{
    {kEmptyCallBack, "empty callback (same signature, returns the event)"},
    {"tap/non_system_event", "tap callback: non-system event (type 10), passed"},
    {"tap/media_key_up", "tap callback: media key-up, passed"},
    {"tap/key_down_passed", "tap callback: key-down passed (Music not running, pass through)"},
    {"tap/key_down_taken", "tap callback: key-down taken, queued behind a busy Music queue"},
}};

}  // namespace tonvara::bench

namespace tonvara::bench {

void registerTapCallBackBenchmarks();

}  // namespace tonvara::bench
