#!/usr/bin/env bash
# Runs every test: the host suite with the real Windows stub's checks and its
# end-to-end installs under Wine (label "wine"), and the web page's in
# headless Chromium (label "web"); the release packages, with
# the Debian package installed, used to pack and install the demo under Wine,
# and removed again; then the host suite again under ASan + UBSan (without
# the cross build and Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows
scripts/setup.sh web
scripts/format.sh
scripts/check_sizes.py

started=$SECONDS
jobs=$(nproc)
cmake -S . -B build/host -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/host -j "$jobs"
ctest --test-dir build/host --output-on-failure -j "$jobs"
# ctest runs each test on its own; once more each program whole, so that
# tests that depend on their order show.
scripts/run_suites.py build/host
host_done=$SECONDS

scripts/release.sh
deb_round_trip() {
  local deb=$1 report=build/host/deb-round-trip.txt
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; else SUDO=; fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "./$deb" >/dev/null
  /usr/bin/kestrune-pack --version
  # Wine under load now and then fails to open a dialog: one more try then.
  for attempt in 1 2; do
    if python3 tests/wine/wine_e2e.py --build-dir build/host install --pack /usr/bin/kestrune-pack -- \
         --main /usr/share/kestrune/kestrune-demo.scr --main-name KDEMO.SCR \
         --second /usr/share/kestrune/kestrune-demo.txt --second-name README.TXT \
         --dialog "Installing Kestrune Demo..." | tee "$report" &&
       grep -qF '"Kdemo is now your screen saver."' "$report" &&  # the default done text
       grep -qF 'SCRNSAVE.EXE=C:\windows\KDEMO.SCR' "$report"; then
      break
    fi
    if [ $attempt = 2 ]; then
      DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq kestrune >/dev/null
      echo "test.sh: the demo packed by the installed tool did not install" >&2
      exit 1
    fi
    cp build/host/wine-e2e/demo/relay.log build/host/deb-round-trip-relay.log || true
    echo "test.sh: the demo did not install under Wine (build/host/deb-round-trip-relay.log); once more"
  done
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq kestrune >/dev/null
  [ ! -e /usr/bin/kestrune-pack ]
  [ ! -e /usr/share/kestrune ]
  echo "test.sh: $deb installed, packed and installed the demo under Wine, removed"
}
deb_round_trip dist/kestrune_*_amd64.deb
release_done=$SECONDS

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUNE_SANITIZE=ON \
  -DKESTRUNE_BUILD_BENCH=OFF -DKESTRUNE_BUILD_WINDOWS=OFF >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs" -LE slow
scripts/run_suites.py build/asan

asan_done=$SECONDS

# Static analysis, then every fuzz target for a bounded time (about a minute
# each; KESTRUNE_FUZZ_SECONDS changes it).
scripts/analyze.sh
scripts/fuzz.sh "${KESTRUNE_FUZZ_SECONDS:-60}"

echo "test.sh: host build and tests (with Wine) $((host_done - started)) s," \
  "release packages and the .deb round trip $((release_done - host_done)) s," \
  "ASan build and tests $((asan_done - release_done)) s," \
  "analysis and fuzzing $((SECONDS - asan_done)) s, total $((SECONDS - started)) s"
