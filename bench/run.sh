#!/usr/bin/env bash
# Builds the benchmark in Release (build/bench) and runs it. Arguments go to
# kestrune_bench: a corpus directory, --reps N, --min-time SECONDS.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target kestrune_bench -j2 >/dev/null
exec build/bench/bench/kestrune_bench "$@"
