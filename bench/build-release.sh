# Sourced by the bench scripts: configures an optimised (-O2) build without tests and builds one
# target in it. Usage: build_release NAME BUILD_DIR PLATFORM TARGET
build_release() {
  local name=$1 build=$2 platform=$3 target=$4
  local root generator=()
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  if command -v ninja >/dev/null 2>&1; then
    generator=(-G Ninja)
  fi
  cmake -S "$root" -B "$build" "${generator[@]}" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DTONVARA_PLATFORM="$platform" \
    -DTONVARA_BUILD_TESTS=OFF \
    -DTONVARA_BUILD_BENCHMARKS=ON >/dev/null
  if grep -q '^benchmark_DIR:PATH=.*NOTFOUND' "$build/CMakeCache.txt"; then
    echo "$name: Google Benchmark was not found (install libbenchmark-dev)" >&2
    exit 1
  fi
  cmake --build "$build" -j "${JOBS:-$(nproc)}" --target "$target"
}
