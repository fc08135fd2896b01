#!/usr/bin/env bash
# Instructions per byte, counted by callgrind (which does not move with
# machine load), per file and in total, for the generated corpus and the
# real-file corpus (bench/real_corpus.sh), or for the directories given:
#   encode   compress_stream, per input byte
#   best     compress_stream_best, per input byte
#   decode   decompress_stream of the default encoder's stream, per output byte
#   zlib9    compress2 at level 9 per input byte, uncompress per output byte
# Builds the benchmark in Release (build/bench) and runs it once per file and
# codec under valgrind; several minutes.
#   bench/instructions.sh              both corpora
#   bench/instructions.sh DIR...       every regular file in each directory
set -euo pipefail
cd "$(dirname "$0")/.."
command -v valgrind >/dev/null || { echo "instructions.sh: needs valgrind" >&2; exit 2; }
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
cmake --build build/bench --target kestrune_bench -j2 >/dev/null
bench=build/bench/bench/kestrune_bench
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpora=("$@")
if [ ${#corpora[@]} -eq 0 ]; then
  "$bench" --write-corpus "$work/generated"
  real=build/bench/real-corpus
  [ -d "$real" ] || bench/real_corpus.sh "$real"
  corpora=("$work/generated" "$real")
fi

# Inclusive instructions of each codec entry point in one run of the bench
# over the directory $1 with codec $2, as "function count" lines.
entry_points() {
  valgrind --tool=callgrind --callgrind-out-file="$work/out" "$bench" "$1" --reps 1 --min-time 0 \
    --only "$2" >/dev/null 2>&1
  callgrind_annotate --inclusive=yes "$work/out" |
    sed -n 's/^ *\([0-9,]*\) .*[:]\(compress_stream\|compress_stream_best\|decompress_stream\|compress2\|uncompress\)[( ].*/\2 \1/p' |
    tr -d ,
}

count() { awk -v f="$1" '$1 == f { print $2; exit }' <<<"$2"; }
per_byte() { awk -v n="$1" -v d="$2" 'BEGIN { printf "%.1f", d ? n / d : 0 }'; }
row() { printf "%-16s %10s %8s %8s %8s %8s %8s\n" "$@"; }

summary=()
for corpus in "${corpora[@]}"; do
  echo "corpus: ${corpus/#$work\//}"
  row file bytes encode best decode zlib9enc zlib9dec
  t_bytes=0 t_enc=0 t_best=0 t_dec=0 t_zenc=0 t_zdec=0
  for file in "$corpus"/*; do
    [ -f "$file" ] && [ -s "$file" ] || continue
    one=$work/one
    rm -rf "$one" && mkdir "$one" && cp "$file" "$one/"
    bytes=$(stat -c %s "$file")
    default_counts=$(entry_points "$one" kestrune)
    best_counts=$(entry_points "$one" kestrune-best)
    zlib_counts=$(entry_points "$one" zlib-9)
    enc=$(count compress_stream "$default_counts") dec=$(count decompress_stream "$default_counts")
    best=$(count compress_stream_best "$best_counts")
    zenc=$(count compress2 "$zlib_counts") zdec=$(count uncompress "$zlib_counts")
    row "$(basename "$file")" "$bytes" "$(per_byte "$enc" "$bytes")" "$(per_byte "$best" "$bytes")" \
      "$(per_byte "$dec" "$bytes")" "$(per_byte "$zenc" "$bytes")" "$(per_byte "$zdec" "$bytes")"
    t_bytes=$((t_bytes + bytes)) t_enc=$((t_enc + enc)) t_best=$((t_best + best)) t_dec=$((t_dec + dec))
    t_zenc=$((t_zenc + zenc)) t_zdec=$((t_zdec + zdec))
  done
  total=$(row TOTAL "$t_bytes" "$(per_byte "$t_enc" "$t_bytes")" "$(per_byte "$t_best" "$t_bytes")" \
    "$(per_byte "$t_dec" "$t_bytes")" "$(per_byte "$t_zenc" "$t_bytes")" "$(per_byte "$t_zdec" "$t_bytes")")
  echo "$total"
  echo
  label=$corpus
  [ "$corpus" = "$work/generated" ] && label=generated
  summary+=("$(printf '%-40s' "$label") ${total#TOTAL}")
done
echo "summary (instructions per byte):"
printf "%-40s %10s %8s %8s %8s %8s %8s\n" corpus bytes encode best decode zlib9enc zlib9dec
printf "%s\n" "${summary[@]}"
