#!/usr/bin/env bash
# Fuzzes the targets of tests/fuzz with clang's libFuzzer.
#
#   scripts/fuzz.sh <seconds-per-target> [target...]
#
# Configures build-fuzz/ with clang and VAZU_FUZZ=ON, builds the fuzzers and
# runs each target for the given time on a copy of its committed corpus
# (tests/fuzz/corpus/<target>/), in build-fuzz/fuzz-runs/<target>/. Findings
# (crash-*, leak-*, oom-*, timeout-*) are left there and make the script fail.
#
# Environment:
#   FUZZ_JOBS=2   run two targets at a time (default 1; the machine is shared)
#   FUZZ_MERGE=1  afterwards merge inputs that add coverage into the committed
#                 corpus (-merge=1); keep it small and look at what was added
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
all_targets=(scene_script str_to_int frame_list jpeg_image)

if [[ $# -lt 1 || ! "$1" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 <seconds-per-target> [target...]   targets: ${all_targets[*]}" >&2
  exit 2
fi
seconds=$1
shift
targets=("$@")
[[ ${#targets[@]} -eq 0 ]] && targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "unknown target: $t" >&2; exit 2; }
done
jobs=${FUZZ_JOBS:-1}

missing=()
for pkg in clang-14 libclang-rt-14-dev; do
  [[ "$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)" == "install ok installed" ]] ||
    missing+=("$pkg")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Missing Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi

build=$root/build-fuzz
gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
cmake -S "$root" -B "$build" "${gen[@]}" -DCMAKE_C_COMPILER=clang-14 \
  -DCMAKE_CXX_COMPILER=clang++-14 -DVAZU_FUZZ=ON -DVAZU_BENCH=OFF >/dev/null
build_targets=()
for t in "${targets[@]}"; do build_targets+=(--target "fuzz_$t"); done
cmake --build "$build" -j 2 "${build_targets[@]}"

# Per-target options. The text readers take lines past their 64 KiB buffer;
# numbers are short; JPEG headers may claim big pictures, which the target
# leaves undecoded above a million pixels, so the default memory limit holds.
options_for() {
  case $1 in
    scene_script | frame_list) echo "-max_len=70000 -timeout=10" ;;
    str_to_int) echo "-max_len=64 -timeout=5 -use_value_profile=1" ;;
    jpeg_image) echo "-max_len=16384 -timeout=20 -rss_limit_mb=2048" ;;
  esac
}

run_one() {
  local t=$1
  local work=$build/fuzz-runs/$t
  rm -rf "$work"
  mkdir -p "$work/corpus"
  cp "$root/tests/fuzz/corpus/$t/." "$work/corpus/" -r
  # shellcheck disable=SC2046
  (cd "$work" && "$build/tests/fuzz/fuzz_$t" $(options_for "$t") -max_total_time="$seconds" \
    -print_final_stats=1 -artifact_prefix="$work/" corpus >fuzz.log 2>&1) || true
  echo "== $t"
  grep -E '^#[0-9]+[[:space:]]+DONE|^Done [0-9]+ runs|^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    "$work/fuzz.log" || tail -n 30 "$work/fuzz.log"
  local findings
  findings=$(find "$work" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'oom-*' \
    -o -name 'timeout-*' -o -name 'slow-unit-*' \) | sort)
  if [[ -n "$findings" ]]; then
    echo "FINDINGS for $t (log: $work/fuzz.log):"
    echo "$findings"
    return 1
  fi
  if ! grep -q '^Done [0-9]* runs' "$work/fuzz.log"; then
    echo "$t did not finish its run (log: $work/fuzz.log)"
    return 1
  fi
  if [[ "${FUZZ_MERGE:-0}" == 1 ]]; then
    # Only inputs reaching new edges (hit counts ignored), so few are added.
    "$build/tests/fuzz/fuzz_$t" -use_counters=0 -use_value_profile=0 -max_len=70000 -merge=1 \
      "$root/tests/fuzz/corpus/$t" "$work/corpus" >"$work/merge.log" 2>&1
    echo "committed corpus now: $(find "$root/tests/fuzz/corpus/$t" -type f | wc -l) files," \
      "$(du -sb "$root/tests/fuzz/corpus/$t" | cut -f1) bytes"
  fi
}

status=0
running=0
for t in "${targets[@]}"; do
  if [[ $running -ge $jobs ]]; then
    wait -n || status=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [[ $running -gt 0 ]]; do
  wait -n || status=1
  running=$((running - 1))
done
exit $status
