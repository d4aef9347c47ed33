#!/usr/bin/env bash
# Instructions per tap callback, counted by callgrind (repeatable whatever else the machine does):
# an empty callback next to a non-system event, a media key-up, a passed and a taken key-down.
# Builds tonvara_bench optimised (-O2) like bench/run.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${TONVARA_BENCH_BUILD_DIR:-$root/build/bench-release}"
source "$root/bench/build-release.sh"
build_release instructions "$build" null tonvara_bench
bin="$build/bench/tonvara_bench"
out="$(mktemp -d /tmp/tonvara-callgrind-XXXXXX)"
trap 'rm -rf "$out"' EXIT

for case in empty_callback non_system_event media_key_up key_down_passed key_down_taken; do
  min_time=0.05 collect='*callRepeatedly*' callee='MediaKeyTap::callBack'
  case $case in key_down_*) min_time=0.5 ;; esac
  [ $case = key_down_taken ] && collect='*keyDownTaken*'
  [ $case = empty_callback ] && callee='emptyCallBack'
  valgrind --tool=callgrind --callgrind-out-file="$out/$case.cg" --toggle-collect="$collect" \
    "$bin" --benchmark_filter="tap/$case/" --benchmark_min_time=$min_time --keys=0 \
    >/dev/null 2>"$out/$case.log"
  total=$(grep -o 'Collected : [0-9]*' "$out/$case.log" | awk '{print $3}')
  # Calls of the callback, summed over its callers.
  calls=$(callgrind_annotate --tree=caller "$out/$case.cg" 2>/dev/null |
    grep -B1 -E "^ *[0-9,]+ .*\*  .*${callee}\(" | grep -E "^ *[0-9,]+ .*<" |
    sed -E 's/.*\(([0-9,]+)x\).*/\1/' | tr -d , | paste -sd+ | bc)
  printf '%-18s %8.1f instructions per call\n' "$case" "$(echo "scale=1; $total/$calls" | bc)"
done
