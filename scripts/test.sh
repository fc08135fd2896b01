#!/usr/bin/env bash
# Runs every test: the host suite with the real Windows stub's checks and its
# end-to-end installs under Wine (label "wine"), then the host suite again
# under ASan + UBSan (without the cross build and Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows

started=$SECONDS
jobs=$(nproc)
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/host -j "$jobs"
ctest --test-dir build/host --output-on-failure -j "$jobs"
host_done=$SECONDS

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_SANITIZE=ON \
  -DKESTRUNE_BUILD_BENCH=OFF -DKESTRUNE_BUILD_WINDOWS=OFF >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs" -LE slow

asan_done=$SECONDS

# Static analysis, then every fuzz target for a bounded time (about a minute
# each; KESTRUNE_FUZZ_SECONDS changes it).
scripts/analyze.sh
scripts/fuzz.sh "${KESTRUNE_FUZZ_SECONDS:-60}"

echo "test.sh: host build and tests (with Wine) $((host_done - started)) s," \
  "ASan build and tests $((asan_done - host_done)) s," \
  "analysis and fuzzing $((SECONDS - asan_done)) s, total $((SECONDS - started)) s"
