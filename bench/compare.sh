#!/usr/bin/env bash
# CPU time of this tree's codec against BASE_REV's, side by side in one run:
# builds the benchmark of BASE_REV (a git revision) from an export of it in
# a temporary directory and this tree's in build/bench, then runs the two in
# alternating rounds on the generated corpus and the real-file corpus, and
# prints each one's best compress and decompress MB/s (the run least
# disturbed by other work on a shared machine) and their ratio.
#   bench/compare.sh BASE_REV [ROUNDS] [CODEC]     (default 5 rounds, kestrune)
set -euo pipefail
cd "$(dirname "$0")/.."
base_rev=${1:?usage: bench/compare.sh BASE_REV [ROUNDS] [CODEC]}
rounds=${2:-5}
codec=${3:-kestrune}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/src"
git archive --format=tar "$base_rev" | tar -x -C "$work/src"
cmake -S "$work/src" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF \
  -DKESTRUNE_BUILD_WINDOWS=OFF >/dev/null
cmake --build "$work/build" --target kestrune_bench -j2 >/dev/null
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target kestrune_bench -j2 >/dev/null
real=build/bench/real-corpus
[ -d "$real" ] || bench/real_corpus.sh "$real"

# The TOTAL line's compress and decompress MB/s of one run: $1 binary, $2
# corpus ("" for the generated one).
run() {
  "$1" ${2:+"$2"} --only "$codec" --reps 3 --min-time 0.3 | awk '$1 == "TOTAL" { print $6, $7 }'
}

printf "%-10s %-9s %6s %10s %12s\n" corpus build round compress decompress
for corpus in generated "$real"; do
  arg=$corpus
  [ "$corpus" = generated ] && arg=
  for round in $(seq "$rounds"); do
    for build in base this; do
      binary=build/bench/bench/kestrune_bench
      [ $build = base ] && binary=$work/build/bench/kestrune_bench
      read -r c d <<<"$(run "$binary" "$arg")"
      printf "%-10s %-9s %6s %10s %12s\n" "$(basename "$corpus")" "$build" "$round" "$c" "$d" | tee -a "$work/runs"
    done
  done
done
echo
echo "best of $rounds rounds ($codec; MB/s, CPU time), this tree against $base_rev:"
awk '{ key = $1 " " $2; if ($4 > c[key]) c[key] = $4; if ($5 > d[key]) d[key] = $5; seen[$1] = 1 }
  END { for (k in seen) printf "%-12s compress %6.1f -> %6.1f (%.2fx)   decompress %6.1f -> %6.1f (%.2fx)\n", k,
        c[k " base"], c[k " this"], c[k " this"] / c[k " base"], d[k " base"], d[k " this"], d[k " this"] / d[k " base"] }' \
  "$work/runs"
