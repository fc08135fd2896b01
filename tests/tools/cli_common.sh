# What the command-line tests share: the arguments, a fresh work folder,
# the checks and the sample files. Sourced by cli_tests.sh and cli_safety.sh:
#   SCRIPT GROUP PACK MAKE_FAKE_STUB WORKDIR [BUILTIN_STUB]
set -u
group=$1
pack=$2
make_stub=$3
work=$4
builtin=${5:-}
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1

failures=0
checks=0
code=0

# run ARGS...: runs the tool, output in out.txt / err.txt, exit code in $code.
run() {
  "$pack" "$@" >out.txt 2>err.txt
  code=$?
}
fail() {
  echo "FAIL: $*"
  echo "  command output:"; sed 's/^/    /' out.txt err.txt 2>/dev/null | head -20
  failures=$((failures + 1))
}
# expect CODE ARGS...: runs and checks the exit code.
expect() {
  local want=$1
  shift
  checks=$((checks + 1))
  run "$@"
  [ "$code" = "$want" ] || fail "kestrune-pack $* exited $code, expected $want"
}
# stderr_has TEXT / stdout_has TEXT: the last run printed TEXT.
stderr_has() { checks=$((checks + 1)); grep -qF -- "$1" err.txt || fail "stderr lacks '$1'"; }
stdout_has() { checks=$((checks + 1)); grep -qF -- "$1" out.txt || fail "stdout lacks '$1'"; }
same() { checks=$((checks + 1)); cmp -s "$1" "$2" || fail "$1 and $2 differ"; }
absent() { checks=$((checks + 1)); [ ! -e "$1" ] || fail "$1 was left behind"; }
no_partials() {
  checks=$((checks + 1))
  if find . -name '*.partial-*' | grep -q .; then fail "temporary files left: $(find . -name '*.partial-*')"; fi
}
# flip FILE OFFSET: inverts the low bit of one byte in place.
flip() {
  local byte
  byte=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "$(printf '\\%03o' $((byte ^ 1)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
# poke FILE OFFSET TEXT KEY: writes TEXT and a zero, each byte XOR KEY.
poke() {
  local file=$1 offset=$2 text=$3 key=$4 bytes="" i c
  for ((i = 0; i < ${#text}; i++)); do
    c=$(printf '%d' "'${text:i:1}")
    bytes+=$(printf '\\%03o' $((c ^ key)))
  done
  bytes+=$(printf '\\%03o' $key)
  printf "$bytes" | dd of="$file" bs=1 seek="$offset" conv=notrunc status=none
}
# refused CODE TEXT ARGS...: the run exits CODE, says TEXT on stderr and
# leaves every file of the folder as it was.
refused() {
  local want=$1 text=$2 before after
  shift 2
  listing() { find . -maxdepth 1 ! -name out.txt ! -name err.txt -printf '%y %s %p\n' | sort | md5sum; }
  before=$(listing)
  expect "$want" "$@"
  stderr_has "$text"
  after=$(listing)
  checks=$((checks + 1)); [ "$before" = "$after" ] || fail "kestrune-pack $* changed the folder"
}
# set_byte FILE OFFSET VALUE: overwrites one byte.
set_byte() { printf "$(printf '\\%03o' $3)" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
size_of() { stat -c %s "$1"; }

# Sample files: text, a binary, an empty file.
seq 1 30000 | sed 's/$/ kestrel hovering over the moor/' >text.txt
head -c 150000 "$pack" >binary.bin
: >empty.bin
"$make_stub" stub.exe 1 && "$make_stub" stub0.exe 0 && "$make_stub" stub2.exe 2 || { echo "cannot make the fake stubs"; exit 1; }
cp binary.bin saver.scr
head -c 5000 text.txt >readme.txt
printf 'x' >tiny.dat

