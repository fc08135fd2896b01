#!/usr/bin/env bash
# Checks that every C++ source keeps the house format (.clang-format), with
# Debian's clang-format-14; --fix rewrites the files that do not.
#   scripts/format.sh          exit 1 and the differences when a file is off
#   scripts/format.sh --fix    format them in place
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format-14 >/dev/null; then
  scripts/apt_install.sh clang-format-14
fi
mapfile -t sources < <(git ls-files '*.cpp' '*.h' '*.c')
if [ "${1:-}" = --fix ]; then
  clang-format-14 -i "${sources[@]}"
  exit 0
fi
clang-format-14 --dry-run -Werror "${sources[@]}"
echo "format: ${#sources[@]} sources keep .clang-format"
