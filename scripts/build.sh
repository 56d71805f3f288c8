#!/usr/bin/env bash
# Configures build/ (once) and builds the given targets, or everything.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
if [[ ! -f build/CMakeCache.txt ]]; then
  gen=()
  command -v ninja >/dev/null && gen=(-G Ninja)
  cmake -S . -B build "${gen[@]}" >/dev/null
fi
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build build -j "$(nproc)" "${targets[@]}"
