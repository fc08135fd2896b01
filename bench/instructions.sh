#!/usr/bin/env bash
# Instructions per byte of the codec, counted by callgrind (which does not
# move with machine load), per file and in total:
#   encode   compress_stream, per input byte
#   best     compress_stream_best, per input byte
#   decode   decompress_stream of the default encoder's stream, per output byte
# Builds the benchmark in Release (build/bench) and runs it once per file and
# encoder under valgrind; a few minutes for the generated corpus.
#   bench/instructions.sh              the generated corpus
#   bench/instructions.sh DIR          every regular file in a directory
set -euo pipefail
cd "$(dirname "$0")/.."
command -v valgrind >/dev/null || { echo "instructions.sh: needs valgrind" >&2; exit 2; }
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target kestrune_bench -j2 >/dev/null
bench=build/bench/bench/kestrune_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus=${1:-}
if [ -z "$corpus" ]; then
  corpus=$work/corpus
  "$bench" --write-corpus "$corpus"
fi

# Inclusive instructions of each codec entry point in one run of the bench
# over the directory $1 with codec $2, as "function count" lines.
entry_points() {
  valgrind --tool=callgrind --callgrind-out-file="$work/out" "$bench" "$1" --reps 1 --min-time 0 \
    --only "$2" >/dev/null 2>&1
  callgrind_annotate --inclusive=yes "$work/out" |
    sed -n 's/^ *\([0-9,]*\) .*[:]\(compress_stream\|compress_stream_best\|decompress_stream\)(.*/\2 \1/p' |
    tr -d ,
}

per_byte() { awk -v n="$1" -v d="$2" 'BEGIN { printf "%.1f", d ? n / d : 0 }'; }

printf "%-16s %10s %10s %10s %10s\n" file bytes encode best decode
total_bytes=0 total_encode=0 total_best=0 total_decode=0
for file in "$corpus"/*; do
  [ -f "$file" ] && [ -s "$file" ] || continue
  one=$work/one
  rm -rf "$one" && mkdir "$one" && cp "$file" "$one/"
  bytes=$(stat -c %s "$file")
  default_counts=$(entry_points "$one" kestrune)
  best_counts=$(entry_points "$one" kestrune-best)
  encode=$(awk '$1 == "compress_stream" { print $2 }' <<<"$default_counts")
  decode=$(awk '$1 == "decompress_stream" { print $2 }' <<<"$default_counts")
  best=$(awk '$1 == "compress_stream_best" { print $2 }' <<<"$best_counts")
  printf "%-16s %10d %10s %10s %10s\n" "$(basename "$file")" "$bytes" "$(per_byte "$encode" "$bytes")" \
    "$(per_byte "$best" "$bytes")" "$(per_byte "$decode" "$bytes")"
  total_bytes=$((total_bytes + bytes)) total_encode=$((total_encode + encode))
  total_best=$((total_best + best)) total_decode=$((total_decode + decode))
done
printf "%-16s %10d %10s %10s %10s\n" TOTAL "$total_bytes" "$(per_byte "$total_encode" "$total_bytes")" \
  "$(per_byte "$total_best" "$total_bytes")" "$(per_byte "$total_decode" "$total_bytes")"
