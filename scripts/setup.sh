#!/usr/bin/env bash
# Installs what the build and the tests need, only when it is missing.
#   scripts/setup.sh host     compilers, CMake, GoogleTest, Benchmark, zlib,
#                             clang-format and ctags for the style checks
#   scripts/setup.sh windows  + mingw-w64 (i686, and x86_64 for the Wine tests
#                             on machines that cannot run 32-bit code),
#                             Wine 32/64-bit, Xvfb, xdotool, icoutils (the
#                             branded stub's check), and what CPack
#                             needs for the .deb (dpkg-dev, file)
#   scripts/setup.sh docs     + ImageMagick (the progress dialog screenshot)
#   scripts/setup.sh web      Emscripten (the web page), Chromium and, into
#                             build/web-node, puppeteer-core as
#                             tests/web/package-lock.json pins it (its tests)
set -euo pipefail
what=${1:-windows}

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
want() { for p in "$@"; do have "$p" || need+=("$p"); done; }

want build-essential cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev clang python3 \
  clang-format-14 universal-ctags
if [ "$what" = windows ] || [ "$what" = docs ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    rm -f /var/lib/apt/lists/lock
    updated=0
  fi
  want g++-mingw-w64-i686 g++-mingw-w64-x86-64-win32 wine wine32:i386 wine64 xvfb xdotool osslsigncode openssl icoutils \
    dpkg-dev file
fi
if [ "$what" = docs ]; then
  want imagemagick
fi
if [ "$what" = web ]; then
  want emscripten chromium
  command -v npm >/dev/null || want npm
fi

if [ ${#need[@]} -gt 0 ] || [ "${updated:-1}" = 0 ]; then
  echo "setup: installing ${need[*]}" >&2
  "$(dirname "$0")/apt_install.sh" "${need[@]}"
fi

if [ "$what" = web ]; then
  # Installed again only when the lock file changed; never committed.
  root=$(cd "$(dirname "$0")/.." && pwd)
  modules=$root/build/web-node
  if ! cmp -s "$root/tests/web/package-lock.json" "$modules/package-lock.json" ||
     [ ! -d "$modules/node_modules/puppeteer-core" ]; then
    echo "setup: installing puppeteer-core into $modules" >&2
    mkdir -p "$modules"
    cp "$root/tests/web/package.json" "$root/tests/web/package-lock.json" "$modules/"
    (cd "$modules" && npm ci --no-audit --no-fund --ignore-scripts --loglevel=error >/dev/null)
  fi
fi
