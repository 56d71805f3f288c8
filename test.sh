#!/usr/bin/env bash
# Builds everything and runs every test: first the normal build with all
# tests (the whole demo movie among them, about 90 s), then a build with
# AddressSanitizer and UndefinedBehaviorSanitizer running the unit tests and
# one short show. Extra arguments go to both ctest runs (e.g. -LE long).
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-packages.sh
jobs=$(nproc)

scripts/build.sh
(cd build && ctest --output-on-failure -j "$jobs" "$@")

echo
echo "== the same under AddressSanitizer and UndefinedBehaviorSanitizer"
if [[ ! -f build-asan/CMakeCache.txt ]]; then
  gen=()
  command -v ninja >/dev/null && gen=(-G Ninja)
  cmake -S . -B build-asan "${gen[@]}" -DVAZU_SANITIZE=ON -DVAZU_BENCH=OFF >/dev/null
fi
cmake --build build-asan -j "$jobs"
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
(cd build-asan && ctest --output-on-failure -j "$jobs" -E '^e2e_(whole_movie|failing_shows|hostile_shows|faults|faults_silent)$' "$@")
