#!/usr/bin/env bash
# Static analysis of the project's sources with cppcheck (warning, style,
# performance and portability checks); fails on any finding that the
# suppression list (.cppcheck-suppressions, each entry justified there) does
# not cover. Uses the host build's compile commands, so every file is read
# with its real include paths and defines. Test and benchmark sources are
# left out: GoogleTest's macros defeat cppcheck's parser, and the tests run
# under ASan + UBSan instead; so are sources the build generates.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v cppcheck >/dev/null; then
  scripts/apt_install.sh cppcheck
fi

build=build/analyze
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DKESTRUNE_BUILD_BENCH=OFF -DKESTRUNE_BUILD_WINDOWS=OFF >/dev/null
python3 - "$build/compile_commands.json" "$build/analyzed_commands.json" "$build" <<'PY'
import json, os, sys
commands = json.load(open(sys.argv[1]))
generated = os.path.abspath(sys.argv[3]) + os.sep  # made by the build (the built-in stub's bytes)
kept = [c for c in commands if "/tests/" not in c["file"] and "/bench/" not in c["file"]
        and not os.path.abspath(c["file"]).startswith(generated)]
json.dump(kept, open(sys.argv[2], "w"), indent=1)
print("analyze: %d source files" % len(kept))
PY

mkdir -p "$build/cppcheck-cache"
cppcheck --project="$build/analyzed_commands.json" \
  --enable=warning,style,performance,portability --std=c++17 \
  --inline-suppr --suppressions-list=.cppcheck-suppressions \
  --cppcheck-build-dir="$build/cppcheck-cache" \
  --error-exitcode=1 -q -j 2 --template='{file}:{line}: {severity} ({id}): {message}'
echo "analyze: cppcheck clean"
