#!/usr/bin/env bash
# Builds the engine benchmarks optimised (-O2) in their own build directory and runs them:
# the tap callback's cost per event next to an empty callback, then the latency from the
# callback to the Music queue. Extra arguments go to the benchmark program
# (e.g. --benchmark_filter=taken, --keys=10000, --burst=10).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TONVARA_BENCH_BUILD_DIR:-$root/build/bench-release}"

# The measured path (tap, router, Music controller, queues) is the same on every platform; the
# benchmarks bring their own event-tap platform, so the null one keeps the build small.
source "$root/bench/build-release.sh"
build_release bench "$build" null tonvara_bench

"$build/bench/tonvara_bench" \
  --benchmark_repetitions=5 \
  --benchmark_report_aggregates_only=true \
  "$@"
