#!/usr/bin/env bash
# Static analysis of the sources with cppcheck; fails on any finding that the
# suppression list (.cppcheck-suppressions, each entry justified there) does
# not cover. Uses the host build's compile commands so every file is analysed
# with its real include paths and defines.
#   scripts/analyze.sh            analyse everything
set -euo pipefail
cd "$(dirname "$0")/.."
command -v cppcheck >/dev/null || scripts/setup.sh host
command -v cppcheck >/dev/null || {
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends cppcheck >/dev/null
}

build=build/analyze
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DKESTRUNE_BUILD_BENCH=OFF >/dev/null

mkdir -p "$build/cppcheck-cache"
# Test sources are left out: GoogleTest's macros drown the signal, and the
# tests run under ASan + UBSan anyway.
cppcheck --project="$build/compile_commands.json" \
  --file-filter='*/codec/*' --file-filter='*/installer/*' --file-filter='*/ui/*' \
  --file-filter='*/win32sim/*' --file-filter='*/tools/*' --file-filter='*/stub/*' \
  --file-filter='*/fuzz/*' \
  --enable=warning,style,performance,portability \
  --std=c++17 --language=c++ \
  --inline-suppr --suppressions-list=.cppcheck-suppressions \
  --cppcheck-build-dir="$build/cppcheck-cache" \
  --error-exitcode=1 -q -j 2 --template=gcc
echo "analyze: cppcheck clean"
