// Runs the tap callback benchmarks, then the key latency measurement, and prints both as one
// table relative to the empty callback.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "KeyLatency.h"
#include "TapCallbackBench.h"

namespace {

using tonvara::bench::kCallBackFigures;
using tonvara::bench::kEmptyCallBack;

// Shows the usual console output and keeps each benchmark's median real time per iteration
// (the plain figure when there are no repetitions).
class RecordingReporter final : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs) {
      if (run.error_occurred) {
        continue;
      }
      const auto& name = run.run_name.function_name;
      const double nanoseconds =
          run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        medians_[name] = nanoseconds;
        fromAggregate_[name] = true;
      } else if (run.run_type == Run::RT_Iteration && !fromAggregate_[name]) {
        medians_[name] = nanoseconds;
      }
    }
  }

  std::optional<double> nanoseconds(std::string_view name) const {
    const auto found = medians_.find(std::string(name));
    return found == medians_.end() ? std::nullopt : std::optional(found->second);
  }

 private:
  std::map<std::string, double> medians_;
  std::map<std::string, bool> fromAggregate_;
};

std::string formatTime(double nanoseconds) {
  char text[32];
  if (nanoseconds < 1000.0) {
    std::snprintf(text, sizeof text, "%.1f ns", nanoseconds);
  } else {
    std::snprintf(text, sizeof text, "%.1f µs", nanoseconds / 1000.0);
  }
  return text;
}

std::string formatRatio(double nanoseconds, std::optional<double> empty) {
  if (!empty || *empty <= 0.0) {
    return "n/a";
  }
  char text[32];
  const double ratio = nanoseconds / *empty;
  std::snprintf(text, sizeof text, ratio < 100.0 ? "%.1f×" : "%.0f×", ratio);
  return text;
}

void printRow(std::string_view what, double nanoseconds, std::optional<double> empty) {
  std::printf("| %.*s | %s | %s |\n", static_cast<int>(what.size()), what.data(),
              formatTime(nanoseconds).c_str(), formatRatio(nanoseconds, empty).c_str());
}

void printLatencyRows(std::string_view what, const tonvara::bench::Percentiles& figures,
                      std::optional<double> empty) {
  const auto row = [&](std::string_view which, std::chrono::nanoseconds value) {
    printRow(std::string(what) + ", " + std::string(which), static_cast<double>(value.count()),
             empty);
  };
  row("median", figures.median);
  row("p99", figures.p99);
}

// Reads --name=N; leaves other arguments alone.
std::optional<int> intFlag(std::string_view argument, std::string_view name) {
  const std::string prefix = "--" + std::string(name) + "=";
  if (argument.substr(0, prefix.size()) != prefix) {
    return std::nullopt;
  }
  return std::atoi(std::string(argument.substr(prefix.size())).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  int keys = 100000;
  int burstSize = 100;
  int remaining = 1;
  for (int i = 1; i < argc; ++i) {
    if (auto value = intFlag(argv[i], "keys")) {
      keys = *value;
    } else if (auto size = intFlag(argv[i], "burst")) {
      burstSize = *size;
    } else {
      argv[remaining++] = argv[i];
    }
  }
  argc = remaining;
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return EXIT_FAILURE;
  }

  tonvara::bench::registerTapCallBackBenchmarks();
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::optional<tonvara::bench::KeyLatency> latency;
  if (keys > 0) {
    std::printf("\nKey latency: %d keys paced, then in bursts of %d...\n", keys, burstSize);
    std::fflush(stdout);
    latency = tonvara::bench::measureKeyLatency(keys, burstSize);
  }

  const auto empty = reporter.nanoseconds(kEmptyCallBack);
  std::printf("\n| Measurement | Time | Relative to the empty callback |\n|---|---|---|\n");
  for (const auto& figure : kCallBackFigures) {
    if (const auto nanoseconds = reporter.nanoseconds(figure.benchmarkName)) {
      printRow(figure.description, *nanoseconds, empty);
    }
  }
  if (latency) {
    printLatencyRows("taken key-down, one at a time, callback entry to return",
                     latency->pacedCallBack, empty);
    printLatencyRows("callback entry to sendCommand on the Music queue, one key at a time",
                     latency->paced, empty);
    printLatencyRows("callback entry to sendCommand, bursts of " +
                         std::to_string(latency->burstSize) + " keys back to back",
                     latency->burst, empty);
  }
  return EXIT_SUCCESS;
}
