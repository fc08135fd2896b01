#!/usr/bin/env bash
# Builds the release packages from a fresh build directory (build/release):
#   dist/kestrune_<version>_amd64.deb   kestrune-pack, its man page and docs,
#                                       the stub, the demo saver and the web
#                                       page (CPack)
#   dist/kestrune-<version>-win32.zip   kestrune-pack.exe, kestrune-packw.exe
#                                       (Kestrune Packer), kestrune.exe, the
#                                       demo saver and its readme, README.TXT
#                                       and demo.args (packaging/win32/), and
#                                       kestrune-pack.html
#   dist/kestrune-pack-<version>.html   the web page, one file to put anywhere
# The same commit gives the same bytes: every time stamp is the last
# commit's (SOURCE_DATE_EPOCH) and the archives list their files in a fixed
# order.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh windows
scripts/setup.sh web

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
build=build/release
rm -rf "$build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF >/dev/null
if ! cmake --build "$build" -j "$(nproc)" >"$build/build.log" 2>&1; then
  tail -n 40 "$build/build.log"
  echo "release.sh: the build failed ($build/build.log)" >&2
  exit 1
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
windows=$build/windows-i686
page=$build/web/tools/web/kestrune-pack.html
for f in "$windows/tools/kestrune-pack.exe" "$windows/tools/kestrune-packw.exe" "$windows/stub/kestrune.exe" \
  "$windows/demo/kestrune-demo.scr" "$page"; do
  [ -f "$f" ] || { echo "release.sh: $f was not built (are mingw-w64 and Emscripten installed?)" >&2; exit 1; }
done
mkdir -p dist

# The Debian package (CPack takes its time stamps from SOURCE_DATE_EPOCH).
(cd "$build" && cpack -G DEB -B "$PWD/cpack" >cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }
deb=dist/kestrune_${version}_amd64.deb
cp "$build/cpack/kestrune_${version}_amd64.deb" "$deb"

# The Windows zip: one folder, text files with CRLF line ends.
zip=dist/kestrune-${version}-win32.zip
python3 - "$zip" "kestrune-${version}-win32" "$version" <<PY
import sys, time, zipfile
out, folder, version = sys.argv[1:4]
stamp = time.gmtime(int("$SOURCE_DATE_EPOCH"))[:6]
files = [
    ("kestrune-pack.exe", "$windows/tools/kestrune-pack.exe", False),
    ("kestrune-packw.exe", "$windows/tools/kestrune-packw.exe", False),
    ("kestrune.exe", "$windows/stub/kestrune.exe", False),
    ("kestrune-demo.scr", "$windows/demo/kestrune-demo.scr", False),
    ("kestrune-demo.txt", "demo/README.TXT", True),
    ("demo.args", "packaging/win32/demo.args", True),
    ("README.TXT", "packaging/win32/README.TXT", True),
    ("kestrune-pack.html", "$page", False),
]
with zipfile.ZipFile(out, "w") as archive:
    for name, source, text in files:
        data = open(source, "rb").read()
        if text:
            data = data.replace(b"\r\n", b"\n").replace(b"@VERSION@", version.encode())
            data = data.replace(b"\n", b"\r\n")
        entry = zipfile.ZipInfo(folder + "/" + name, date_time=max(stamp, (1980, 1, 1, 0, 0, 0)))
        entry.create_system = 0          # MS-DOS: attributes as Windows reads them
        entry.external_attr = 0x20       # archive
        entry.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(entry, data, compresslevel=9)
PY

html=dist/kestrune-pack-${version}.html
cp "$page" "$html"

for f in "$deb" "$zip" "$html"; do
  echo "release.sh: $f ($(stat -c %s "$f") bytes, sha256 $(sha256sum "$f" | cut -c1-16)...)"
done
