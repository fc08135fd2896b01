#!/usr/bin/env bash
# Builds the benchmark in Release (build/bench) and runs it on the generated
# corpus and the real-file corpus (bench/real_corpus.sh assembles it in
# build/bench/real-corpus the first time and lists its sources). Arguments
# go to kestrune_bench: --reps N, --min-time SECONDS, --only CODECS, --wall;
# corpus directories given instead replace the two.
#   bench/run.sh
#   bench/run.sh --only kestrune,kestrune-best,kestrune-max --reps 1
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target kestrune_bench -j2 >/dev/null
corpora=()
for arg in "$@"; do [ -d "$arg" ] && corpora+=("$arg"); done
if [ ${#corpora[@]} -eq 0 ]; then
  real=build/bench/real-corpus
  [ -d "$real" ] || bench/real_corpus.sh "$real"
  echo "real-file corpus $real, from:"
  sed 's/^/  /' "$real.sources"
  echo
  set -- generated "$real" "$@"
fi
exec build/bench/bench/kestrune_bench "$@"
