#!/usr/bin/env bash
# Assembles the real-file corpus in DIR (default build/bench/real-corpus) from
# files that Debian packages install, and records where each came from in
# DIR.sources (file, bytes, package, version, path). The same package
# versions give the same bytes: files and packages are named, lists are
# sorted, nothing depends on what else the machine has.
#
#   Wine's i386 programs and DLLs (libwine:i386), debug sections stripped,
#     as a Windows installer would carry them
#   licence texts (base-files), copyright files and an upstream changelog
#   HTML and PNG (valgrind's manual), PDF (libtasn1-doc), JPEG
#     (python-matplotlib-data's sample photo); the JPEG, PNG and PDF are
#     cut to their first 64 KiB: already compressed, they stay about 5% of
#     the corpus, as images and a manual would beside a saver's programs
#
# Missing packages are installed with apt, as scripts/setup.sh does
# (libwine:i386 comes with `scripts/setup.sh windows`).
#   bench/real_corpus.sh [DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/bench/real-corpus}

wine_dir=/usr/lib/i386-linux-gnu/wine/i386-windows
wine_files=(explorer.exe kernel32.dll msvcrt.dll notepad.exe winhlp32.exe)
media_cap=65536  # bytes kept of each JPEG, PNG and PDF
packages=(libwine:i386 base-files valgrind libtasn1-doc python-matplotlib-data binutils)
copyright_of=(base-files binutils libtasn1-doc libwine python-matplotlib-data valgrind)

have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
need=()
for p in "${packages[@]}"; do have "$p" || need+=("$p"); done
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; else SUDO=; fi
  if [[ " ${need[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  echo "real_corpus: installing ${need[*]}" >&2
  scripts/apt_install.sh "${need[@]}"
fi

version() { dpkg-query -W -f='${Version}' "$1"; }
owner() { dpkg -S "$1" | head -1 | sed 's/: .*//; s/,.*//'; }

rm -rf "$out.tmp" && mkdir -p "$out.tmp"
sources=$out.sources.tmp
printf '# file bytes package version path\n' >"$sources"
# record NAME PATH...: one line per source file of corpus file NAME.
record() {
  local name=$1 path
  shift
  for path in "$@"; do
    local package
    package=$(owner "$path")
    printf '%s %s %s %s %s\n' "$name" "$(stat -c %s "$out.tmp/$name")" "$package" "$(version "$package")" \
      "$path" >>"$sources"
  done
}

# strip stamps the PE header with the time it runs; the original's time
# stamp and checksum go back in, so the bytes depend on the packages alone.
restamp() {
  local pe
  pe=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  dd if="$1" of="$2" bs=1 skip=$((pe + 8)) seek=$((pe + 8)) count=4 conv=notrunc status=none
  dd if="$1" of="$2" bs=1 skip=$((pe + 88)) seek=$((pe + 88)) count=4 conv=notrunc status=none
}
for f in "${wine_files[@]}"; do
  strip --strip-debug -o "$out.tmp/$f" "$wine_dir/$f"
  restamp "$wine_dir/$f" "$out.tmp/$f"
  record "$f" "$wine_dir/$f"
done
printf 'strip: binutils %s\n' "$(version binutils)" >>"$sources"

mapfile -t licences < <(find /usr/share/common-licenses -type f | LC_ALL=C sort)
cat "${licences[@]}" >"$out.tmp/licences.txt"
record licences.txt "${licences[@]}"

copyrights=()
for p in "${copyright_of[@]}"; do copyrights+=("/usr/share/doc/${p%%:*}/copyright"); done
cat "${copyrights[@]}" >"$out.tmp/copyright.txt"
record copyright.txt "${copyrights[@]}"

zcat /usr/share/doc/valgrind/changelog.gz >"$out.tmp/changelog.txt"
record changelog.txt /usr/share/doc/valgrind/changelog.gz

cp /usr/share/doc/valgrind/html/manual-core.html "$out.tmp/manual.html"
record manual.html /usr/share/doc/valgrind/html/manual-core.html
head -c $media_cap /usr/share/doc/valgrind/html/images/dh-tree.png >"$out.tmp/tree.png"
record tree.png /usr/share/doc/valgrind/html/images/dh-tree.png
head -c $media_cap /usr/share/doc/libtasn1-doc/libtasn1.pdf >"$out.tmp/libtasn1.pdf"
record libtasn1.pdf /usr/share/doc/libtasn1-doc/libtasn1.pdf
head -c $media_cap /usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg >"$out.tmp/photo.jpg"
record photo.jpg /usr/share/matplotlib/mpl-data/sample_data/grace_hopper.jpg

rm -rf "$out" && mv "$out.tmp" "$out" && mv "$sources" "$out.sources"
