#!/usr/bin/env bash
# Configures and builds into build/ (extra arguments go to cmake's configure step).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
gen=()
command -v ninja >/dev/null && [[ ! -f build/CMakeCache.txt ]] && gen=(-G Ninja)
cmake -S . -B build "${gen[@]}" "$@" >/dev/null
cmake --build build -j "$(nproc)"
