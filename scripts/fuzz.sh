#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time and fails on any finding.
#   scripts/fuzz.sh            about 60 s per target (what CI runs)
#   scripts/fuzz.sh 3600       a long local run, an hour per target
#   scripts/fuzz.sh 60 decode  only the targets whose names contain "decode"
# Corpora grow in build/fuzz/corpus/<target> across runs, starting from seeds
# the project's own tools make. A finding is left in build/fuzz/findings/;
# copy it to fuzz/regressions/<target>/ once fixed so CTest replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
only=${2:-}
build=build/fuzz

command -v clang++ >/dev/null || scripts/setup.sh host
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_BUILD_WINDOWS=OFF \
  -DKESTRUNE_BUILD_FUZZ=ON -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j 2 --target fuzz_all

seeds=$build/seeds
rm -rf "$seeds"
"$build/fuzz/make_fuzz_seeds" "$seeds"

status=0
for target in $(cat "$build/fuzz/targets.txt"); do
  case "$target" in *"$only"*) ;; *) continue ;; esac
  corpus=$build/corpus/$target
  findings=$build/findings/$target
  mkdir -p "$corpus" "$findings"
  log=$build/$target.log
  echo "fuzz: $target for ${seconds}s"
  dirs=("$corpus")
  for extra in "$seeds/$target" "fuzz/regressions/$target"; do
    if [ -d "$extra" ]; then dirs+=("$extra"); fi
  done
  if "$build/fuzz/$target" "${dirs[@]}" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    echo "fuzz: $target ok, ${runs:-?} executions in ${seconds}s, corpus $(ls "$corpus" | wc -l) inputs"
  else
    status=1
    echo "fuzz: $target FOUND A PROBLEM (log $log, input in $findings):"
    grep -E 'ERROR|SUMMARY|runtime error|fuzz_' "$log" | head -20 || tail -30 "$log"
  fi
done
exit $status
