#!/usr/bin/env bash
# The main job, end to end: installs the prerequisites, builds everything,
# packs the demo screen saver (with a readme as the second file and a
# progress text) into a self-installing kestrune installer, installs it under
# Wine in a fresh prefix on a virtual display, and prints what happened.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows

cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
if ! cmake --build build/host -j "$(nproc)" > build/host/build.log 2>&1; then
  tail -n 40 build/host/build.log
  echo "demo.sh: the build failed (build/host/build.log)" >&2
  exit 1
fi
grep -E "kestrune.exe:" build/host/build.log || true

pack=build/host/tools/kestrune-pack
stub=build/host/windows-i686/stub/kestrune.exe
saver=build/host/windows-i686/demo/kestrune-demo.scr
options=(--main "$saver" --main-name KDEMO.SCR --second demo/README.TXT
         --dialog "Installing Kestrune Demo..."
         --done "Kestrune Demo is now your screen saver.")

# The product: a 32-bit installer for Windows.
mkdir -p build/host/demo
out=build/host/demo/KestruneDemoSetup.exe
"$pack" build "${options[@]}" -o "$out"  # with the stub the tool carries
echo
echo "Built $out ($(stat -c %s "$out") bytes; stub $(stat -c %s "$stub") bytes):"
"$pack" inspect "$out" | sed 's/^/  /'
echo

# Install it under Wine. The harness packs the same files with the stub this
# machine can run (the 64-bit build where the kernel cannot run 32-bit code).
python3 tests/wine/wine_e2e.py --build-dir build/host install -- "${options[@]}"
