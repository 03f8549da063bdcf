#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/fuzz_*.cpp, clang++ with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each over its committed seeds in
# fuzz/corpus/, then for the given seconds (default 60) more. A finding ends
# the run with a failure; its input is kept in build/fuzz/findings/.
#   scripts/fuzz.sh [seconds]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
# Absolute: a target may work in a folder of its own (the monitor hub's home).
dir=$PWD/build/fuzz

cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALVERO_FUZZ=ON -DTALVERO_TESTS=OFF -DTALVERO_BENCH=OFF >/dev/null
mapfile -t targets < <(cd fuzz && ls fuzz_*.cpp | sed 's/\.cpp$//')
cmake --build "$dir" --parallel "$(nproc)" --target "${targets[@]}"

# The file targets sync what they write; on tmpfs that costs nothing.
if [[ -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$dir/findings"
for target in "${targets[@]}"; do
  work="$dir/corpus/$target"
  mkdir -p "$work"
  log="$dir/$target.log"
  # New inputs go to the first folder; the committed seeds stay as they are.
  if ! "$dir/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$dir/findings/$target-" \
      "$work" "$PWD/fuzz/corpus/$target" 2>"$log"; then
    tail -n 40 "$log"
    echo "$target: FINDING (input in $dir/findings/)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  echo "$target: $runs executions, no finding"
done
