#!/usr/bin/env bash
# Command-line tests of kestrune-pack: exit codes, messages and the files
# each command leaves behind.
#   cli_tests.sh GROUP PACK MAKE_FAKE_STUB WORKDIR [BUILTIN_STUB]
# GROUP: usage | codec | damaged | build | refusals | outputs | trust | packages | progress | manual
# (manual: the man page KESTRUNE_MAN_PAGE against the tool's help)
# BUILTIN_STUB: the kestrune.exe built into PACK; none when not given.
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

case $group in
usage)
  expect 2
  expect 0 --help; stdout_has "Usage: kestrune-pack COMMAND"
  for command in build inspect verify extract compress decompress streams; do
    expect 0 $command --help; stdout_has "Usage: kestrune-pack $command"
  done
  expect 2 frobnicate; stderr_has "unknown command 'frobnicate'"
  expect 0 --version
  checks=$((checks + 1)); grep -qxE 'kestrune-pack [0-9]+\.[0-9]+\.[0-9]+' out.txt || fail "--version printed $(cat out.txt)"
  expect 0 help extract; mv out.txt help.txt
  expect 0 extract --help; same help.txt out.txt
  expect 2 help frobnicate; stderr_has "unknown command 'frobnicate'"
  expect 2 build @no-such-args.txt; stderr_has "argument file no-such-args.txt: No such file"
  expect 2 compress text.txt; stderr_has "expected 2 file arguments"
  expect 2 decompress a b --offset xyz; stderr_has "not a byte offset"
  expect 2 decompress a b --offset; stderr_has "--offset needs a number"
  expect 2 streams text.txt --bogus; stderr_has "unknown option '--bogus'"
  expect 2 build --stub stub.exe --main saver.scr --second readme.txt; stderr_has "-o OUT is required"
  expect 2 build --stub stub.exe --main saver.scr --second readme.txt --main-parts 4 -o out.exe
  stderr_has "--main-parts must be 1, 2 or 3"
  expect 2 build --stub stub.exe --main saver.scr --second readme.txt --extra-name x -o out.exe
  expect 2 extract pkg.exe; stderr_has "-d DIR is required"
  expect 2 verify; stderr_has "expected one FILE"
  absent out.exe
  ;;

codec)
  for f in text.txt binary.bin empty.bin tiny.dat; do
    expect 0 compress $f $f.k
    expect 0 decompress $f.k $f.out
    same $f $f.out
  done
  expect 0 compress --best text.txt best.k
  expect 0 decompress best.k best.out
  same text.txt best.out
  checks=$((checks + 1))
  [ "$(size_of best.k)" -lt "$(size_of text.txt.k)" ] || fail "--best is not smaller than the default"
  cat text.txt.k empty.bin.k binary.bin.k >three.k
  printf 'JUNK' >>three.k
  t=$(size_of text.txt.k)
  e=$(size_of empty.bin.k)
  b=$(size_of binary.bin.k)
  expect 0 streams three.k
  checks=$((checks + 1))
  expected=$(printf '0 %s %s\n%s 0 %s\n%s %s %s' "$(size_of text.txt)" $t $t $e $((t + e)) "$(size_of binary.bin)" $b)
  [ "$(cat out.txt)" = "$expected" ] || fail "streams listing: got '$(cat out.txt)' expected '$expected'"
  stderr_has "4 bytes from offset $((t + e + b)) are not a stream"
  expect 0 streams three.k --offset $t
  checks=$((checks + 1))
  [ "$(wc -l <out.txt)" = 2 ] || fail "streams from the second stream should list 2"
  expect 0 decompress three.k second.out --offset=$(printf '0x%x' $((t + e)))
  same binary.bin second.out
  expect 1 compress missing.txt x.k; stderr_has "missing.txt"
  absent x.k
  expect 1 compress text.txt no/such/dir/x.k; stderr_has "cannot create"
  no_partials
  ;;

damaged)
  "$pack" compress binary.bin good.k
  cp good.k flipped.k
  flip flipped.k 10300  # a data byte of the second data block (block at 10250)
  expect 1 decompress flipped.k flipped.out
  stderr_has "flipped.k"; stderr_has "offset"; stderr_has "checksum mismatch in the block at offset 10250"
  absent flipped.out
  head -c 15000 good.k >cut.k
  expect 1 decompress cut.k cut.out; stderr_has "file ends inside the block at offset 10250"
  absent cut.out
  expect 1 decompress good.k beyond.out --offset 999999; stderr_has "beyond the end"
  expect 1 streams text.txt; stderr_has "no stream at offset 0"
  expect 1 streams empty.bin; stderr_has "end of file"
  expect 1 streams flipped.k; stderr_has "checksum mismatch"
  # A full disk: writes beyond 10 KiB fail (EFBIG, with SIGXFSZ ignored).
  full_disk() { (trap '' XFSZ; ulimit -f 10; "$pack" "$@") >out.txt 2>err.txt; code=$?; }
  for command in "compress binary.bin full.k" "decompress good.k full.out" \
                 "build --stub stub.exe --main binary.bin --second text.txt --stored -o full.exe"; do
    checks=$((checks + 1))
    full_disk $command
    [ $code = 1 ] || fail "$command on a full disk exited $code, expected 1"
    stderr_has "write failed"
  done
  absent full.k; absent full.out; absent full.exe
  # An existing output is left alone when the decode fails.
  echo keep >kept.out
  expect 1 decompress flipped.k kept.out
  checks=$((checks + 1)); [ "$(cat kept.out)" = keep ] || fail "a failed decode replaced an existing file"
  no_partials
  ;;

build)
  expect 0 build --stub stub.exe --main saver.scr --second readme.txt --extra tiny.dat --extra-name EXTRA.DAT \
    --main-parts 3 --dialog "Installing the kestrel" --done "Done." -o pkg.exe
  # The summary: the installer, each file before and after packing.
  stdout_has "pkg.exe: compressed installer, $(size_of pkg.exe | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta') bytes, sealed"
  checks=$((checks + 1))
  grep -qE '^  main +saver\.scr +150,000 -> [0-9,]+ bytes in 3 streams$' out.txt || fail "no summary line for main"
  expect 0 inspect pkg.exe
  stdout_has '"saver.scr"'; stdout_has '"EXTRA.DAT"'; stdout_has "holds"; stdout_has "main part 3"
  stdout_has '"Installing the kestrel"'; stdout_has "problems: none"
  expect 0 verify pkg.exe; stdout_has "ok (compressed, 5 streams"
  expect 0 extract pkg.exe -d out
  same saver.scr out/saver.scr; same readme.txt out/readme.txt; same tiny.dat out/EXTRA.DAT
  # --best: an ordinary package, smaller, that reads back to the same files.
  expect 0 build --stub stub.exe --main saver.scr --second readme.txt --best -o best.exe
  expect 0 build --stub stub.exe --main saver.scr --second readme.txt -o default.exe
  checks=$((checks + 1))
  [ "$(size_of best.exe)" -lt "$(size_of default.exe)" ] || fail "build --best is not smaller than the default"
  expect 0 extract best.exe -d best_out; same saver.scr best_out/saver.scr
  expect 2 build --stub stub.exe --main saver.scr --second readme.txt --best --stored -o x.exe
  stderr_has "--best needs a compressed package"
  checks=$((checks + 1)); [ "$(ls -A out | wc -l)" = 3 ] || fail "extract wrote $(ls -A out)"

  expect 0 build --stub stub.exe --main saver.scr --second readme.txt --main-name KESTREL.SCR --stored --silent \
    -o stored.exe
  stdout_has "payload 155,000 -> 155,000 bytes (100.0%)"
  expect 0 verify stored.exe; stdout_has "ok (stored, 2 files"
  expect 0 inspect stored.exe; stdout_has "stored, silent"
  stdout_has '"Kestrel is now your screen saver."'  # the default done text
  expect 0 build --stub stub.exe --main saver.scr --second readme.txt --done "" -o quiet.exe
  expect 0 inspect quiet.exe; stdout_has 'done_text          ""'
  expect 0 extract stored.exe -d stored
  same saver.scr stored/KESTREL.SCR; same readme.txt stored/readme.txt

  expect 0 build --stub stub.exe --main saver.scr --second readme.txt --main-parts 3 --extra tiny.dat \
    --extra-name EXTRA.DAT --dialog "Installing the kestrel" --done "Done." -o again.exe
  same pkg.exe again.exe
  # The same options from a file, quoted texts and all, give the same bytes.
  printf -- '--stub stub.exe --main saver.scr --second readme.txt --main-parts 3\n--extra tiny.dat --extra-name EXTRA.DAT\t--dialog "Installing the kestrel" --done "Done."\n' >args.txt
  expect 0 build @args.txt -o from_file.exe
  same pkg.exe from_file.exe
  # Without --stub: the stub built into the tool, or a clear refusal.
  if [ -n "$builtin" ]; then
    expect 0 build --main saver.scr --second readme.txt -o builtin.exe
    expect 0 build --stub "$builtin" --main saver.scr --second readme.txt -o given.exe
    same builtin.exe given.exe
  else
    expect 2 build --main saver.scr --second readme.txt -o builtin.exe; stderr_has "no built-in stub"
    absent builtin.exe
  fi
  # The payload follows the stub unchanged, after the record.
  checks=$((checks + 1))
  cmp -s <(head -c 2048 stub.exe) <(head -c 2048 pkg.exe) || fail "bytes before the record changed"
  no_partials
  ;;

refusals)
  base=(--stub stub.exe --main saver.scr --second readme.txt -o refused.exe)
  long=$(printf 'n%.0s' {1..64})
  expect 2 build "${base[@]}" --main-name "$long"; stderr_has "63"
  expect 0 build "${base[@]}" --main-name "${long:1}"
  rm -f refused.exe
  expect 2 build "${base[@]}" --second-name "../evil.txt"; stderr_has "path separator"
  expect 2 build "${base[@]}" --main-name 'c:\saver.scr'
  expect 2 build "${base[@]}" --main-name ".."
  expect 2 build "${base[@]}" --main-name "nul.scr"; stderr_has "device name"
  expect 2 build "${base[@]}" --second-name "COM1 .TXT"; stderr_has "device name"
  expect 2 build "${base[@]}" --done "$long"; stderr_has "--done"
  expect 2 build --stub stub0.exe --main saver.scr --second readme.txt -o refused.exe; stderr_has "no install record"
  expect 2 build --stub stub2.exe --main saver.scr --second readme.txt -o refused.exe
  stderr_has "2 install records"
  expect 2 build "${base[@]}" --extra empty.bin; stderr_has "extra file is empty"
  expect 2 build --stub stub.exe --main tiny.dat --second readme.txt --main-parts 2 -o refused.exe
  stderr_has "empty part"
  expect 2 build "${base[@]}" --stored --main-parts 2
  "$pack" build --stub stub.exe --main saver.scr --second readme.txt -o filled.exe
  expect 2 build --stub filled.exe --main saver.scr --second readme.txt -o refused.exe; stderr_has "already a package"
  expect 1 build --stub stub.exe --main nothing.scr --second readme.txt -o refused.exe; stderr_has "nothing.scr"
  absent refused.exe
  no_partials
  ;;

outputs)
  # What an output must never replace, each refused with nothing written.
  base=(build --stub stub.exe --main saver.scr --second readme.txt)
  mkdir folder && mkfifo fifo && ln saver.scr hard.scr
  refused 2 "is the same file as the input saver.scr" "${base[@]}" -o saver.scr
  refused 2 "is the same file as the input readme.txt" "${base[@]}" -o ./readme.txt
  refused 2 "is the same file as the input saver.scr" "${base[@]}" -o hard.scr
  refused 2 "is the same file as the input stub.exe" "${base[@]}" -o stub.exe
  refused 2 "is the same file as the input text.txt" compress text.txt text.txt
  refused 2 "is the same file as the input text.txt" compress text.txt "$PWD/text.txt"
  refused 2 "is a directory" "${base[@]}" -o folder
  refused 2 "is not a regular file" "${base[@]}" -o fifo
  refused 2 "is not a regular file" "${base[@]}" -o /dev/null
  checks=$((checks + 1)); [ -c /dev/null ] || fail "/dev/null is no longer a device"
  # A link stays a link; the file it names is replaced.
  echo old >target.exe && ln -s target.exe link.exe
  expect 0 "${base[@]}" -o link.exe
  checks=$((checks + 1)); [ -L link.exe ] && [ "$(readlink link.exe)" = target.exe ] || fail "link.exe is no longer a link"
  expect 0 verify target.exe
  # Inputs of 2 GiB or more are refused from their size, before a byte is read.
  truncate -s 3G sparse.bin
  printf -- '--main sparse.bin\n' >big.args && truncate -s 3G big.args
  for args in "build --stub stub.exe --main sparse.bin --second readme.txt -o big.exe" \
              "build --stub sparse.bin --main saver.scr --second readme.txt -o big.exe" \
              "compress sparse.bin big.k" "verify sparse.bin" "build @big.args"; do
    expect 2 $args; stderr_has "3,221,225,472 bytes; inputs must be smaller than 2 GiB"
  done
  absent big.exe; absent big.k
  # A real write failure is named as such, also when the input is a pipe.
  head -c 8150 /dev/urandom >noise.bin  # fits the limit of 8192 bytes; its stream does not
  (trap '' XFSZ; ulimit -f 8; cat noise.bin | "$pack" compress /dev/stdin piped.k) >out.txt 2>err.txt
  code=$?
  checks=$((checks + 1)); [ $code = 1 ] || fail "compress to a full disk exited $code, expected 1"
  stderr_has "piped.k: write failed: File too large"
  absent piped.k
  no_partials
  ;;

trust)
  base=(build --stub stub.exe --main saver.scr --second readme.txt)
  # Names as Windows resolves them, and texts in the code page.
  refused 2 "ends in a dot or a space" "${base[@]}" --main-name "saver.scr." -o x.exe
  refused 2 "ends in a dot or a space" "${base[@]}" --second-name "readme.txt " -o x.exe
  refused 2 "device name" "${base[@]}" --main-name 'CLOCK$' -o x.exe
  refused 2 "device name" "${base[@]}" --second-name 'conin$.txt' -o x.exe
  refused 2 "are one file under Windows" "${base[@]}" --main-name x.scr --second-name X.SCR -o x.exe
  refused 2 "'Ω' (U+03A9) has no place in code page 1252" "${base[@]}" --done "Ωmega" -o x.exe
  refused 2 "--codepage 437: not a code page this tool knows" "${base[@]}" --codepage 437 -o x.exe
  refused 2 "--done is 64 bytes in code page 1252" "${base[@]}" --done "$(printf 'é%.0s' {1..64})" -o x.exe
  # UTF-8 becomes the code page's bytes: É is 0xC9 in 1252, З is 0xC7 in 1251.
  record=$("$pack" inspect stub.exe | sed -n 's/^record: at offset \([0-9]*\).*/\1/p')
  record_byte() { od -An -tu1 -j $((record + $2)) -N1 "$1" | tr -d ' '; }
  expect 0 "${base[@]}" --main-name "Étoile.scr" -o latin.exe
  checks=$((checks + 1)); [ "$(record_byte latin.exe 64)" = $((0xC9 ^ 0xA7)) ] || fail "É is not 0xC9 in the record"
  expect 0 inspect latin.exe; stdout_has '"Étoile.scr"'
  expect 0 "${base[@]}" --main-name "Звезда.scr" --codepage 1251 -o cyrillic.exe
  checks=$((checks + 1)); [ "$(record_byte cyrillic.exe 64)" = $((0xC7 ^ 0xA7)) ] || fail "З is not 0xC7 in the record"
  # An argument file saved with a byte-order mark.
  printf '\xef\xbb\xbf--stub stub.exe --main saver.scr\r\n--second readme.txt --done "Prêt."\r\n' >bom.args
  expect 0 build @bom.args -o bom.exe
  expect 0 inspect bom.exe; stdout_has '"Prêt."'
  # Notes, and columns that stay aligned for long names.
  expect 0 "${base[@]}" --silent --dialog "Copying" --done "Done" -o silent.exe
  stderr_has "silent packages show no progress dialog"; stderr_has "silent packages show no messages"
  expect 0 "${base[@]}" --main-name "$(printf 'n%.0s' {1..40}).scr" -o long.exe
  checks=$((checks + 1))
  [ "$(grep -E '^  (main|second) ' out.txt | awk '{print index($0, " -> ")}' | sort -u | wc -l)" = 1 ] ||
    fail "summary columns are not aligned: $(cat out.txt)"
  # A whole stub or none; the bare stub says what it is.
  head -c 2700 stub.exe >cut_stub.exe
  refused 2 "not a Kestrune stub: section 1 (.data)" build --stub cut_stub.exe \
    --main saver.scr --second readme.txt -o x.exe
  expect 1 verify stub.exe; stderr_has "this is the unfilled stub"
  # extract trusts nothing verify refuses, replaces nothing, leaves no folder.
  expect 0 "${base[@]}" --stored -o good.exe
  expect 0 "${base[@]}" -o compressed.exe
  cp compressed.exe broken.exe; flip broken.exe $(($(size_of broken.exe) - 10))  # in the second file's stream
  expect 1 extract broken.exe -d new/folder; stderr_has "refusing to extract"
  absent new
  expect 0 extract broken.exe -d forced --force; stderr_has "warning: broken.exe: integrity"
  same saver.scr forced/saver.scr
  checks=$((checks + 1)); [ ! -e forced/readme.txt ] || fail "extract --force wrote the damaged file"
  mkdir kept && echo mine >kept/readme.txt
  expect 2 extract good.exe -d kept; stderr_has "exists (--force replaces it)"
  checks=$((checks + 1)); [ "$(cat kept/readme.txt)" = mine ] && [ ! -e kept/saver.scr ] || fail "extract wrote into kept/"
  expect 0 extract good.exe -d kept --force; same readme.txt kept/readme.txt
  cp good.exe twice.exe
  poke twice.exe $((record + 128)) "SAVER.SCR" 167  # second_file_name, the main file's in other case
  expect 1 verify twice.exe; stderr_has "are one file under Windows"
  expect 1 extract twice.exe -d twice; absent twice
  no_partials
  ;;

packages)
  "$pack" build --stub stub.exe --main saver.scr --second readme.txt --main-parts 2 -o pkg.exe
  "$pack" build --stub stub.exe --main saver.scr --second readme.txt --stored -o stored.exe
  record=$("$pack" inspect pkg.exe | sed -n 's/^record: at offset \([0-9]*\).*/\1/p')
  total=$(size_of pkg.exe)
  for cut in 100 $((record + 300)) $((record + 700)) 3000 20000 $((total - 1)); do
    head -c $cut pkg.exe >cut.exe
    expect 1 verify cut.exe
    run inspect cut.exe
    checks=$((checks + 1)); [ $code -le 1 ] || fail "inspect of a cut package exited $code"
    expect 1 extract cut.exe -d cut_out
    checks=$((checks + 1)); [ ! -e cut_out ] || [ -z "$(ls -A cut_out)" ] || fail "extract of a cut package wrote files"
  done
  head -c $(($(size_of stored.exe) - 10)) stored.exe >cut_stored.exe
  expect 1 verify cut_stored.exe; stderr_has "second at offset"; stderr_has "10 bytes early"

  cp pkg.exe header.exe
  flip header.exe $((record + 4))  # payload_offset
  expect 1 verify header.exe; stderr_has "header_check does not hold"
  expect 0 inspect header.exe; stdout_has "DOES NOT HOLD"

  cp pkg.exe flipped.exe
  flip flipped.exe $((total - 20))  # inside the second file's stream
  expect 1 verify flipped.exe; stderr_has "second at offset"; stderr_has "checksum mismatch"

  cp stored.exe evil.exe
  poke evil.exe $((record + 64)) "../evil" 167  # main_file_name, scrambled with CONFIG_KEY
  expect 1 verify evil.exe; stderr_has "main_file_name is not a plain file name"
  mkdir -p jail
  expect 1 extract evil.exe -d jail/inner; stderr_has "refusing to extract"
  absent evil; absent jail/evil

  cp pkg.exe negative.exe
  set_byte negative.exe $((record + 7)) $((0x80 ^ 0xA7))  # payload_offset below 0
  expect 1 verify negative.exe; stderr_has "payload_offset is negative"
  expect 1 extract negative.exe -d negative; stderr_has "payload_offset is negative"

  expect 1 inspect text.txt; stderr_has "not a Kestrune stub: no MZ signature"
  expect 1 verify empty.bin
  no_partials
  ;;

progress)
  # Over 4 MiB: a bar on a terminal, nothing when stderr is a file.
  for i in 1 2 3 4; do cat text.txt; done >big.txt
  expect 0 compress big.txt big.k
  checks=$((checks + 1)); [ ! -s err.txt ] || fail "progress drawn although stderr is not a terminal"
  if command -v script >/dev/null; then
    checks=$((checks + 1))
    script -qec "'$pack' decompress big.k big.out" terminal.txt >/dev/null 2>&1 || fail "decompress under a terminal failed"
    grep -q '100%' terminal.txt || fail "no progress bar on a terminal: $(tr '\r' '\n' <terminal.txt | tail -2)"
    same big.txt big.out
  else
    echo "script(1) not found: terminal progress bar not checked"
  fi
  ;;

manual)
  # The man page names every command and every option the tool's help names.
  man_text=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "${KESTRUNE_MAN_PAGE:?}")
  for command in build inspect verify extract compress decompress streams; do
    run $command --help
    for word in $command $(grep -oE -- '(^|[ ,])--?[a-z][a-z-]*' out.txt | tr -d ' ,' | sort -u); do
      checks=$((checks + 1))
      grep -qF -- "$word" <<<"$man_text" || fail "the man page lacks '$word' ($command --help names it)"
    done
  done
  ;;

*)
  echo "unknown group $group"
  exit 2
  ;;
esac

echo "$group: $((checks - failures)) passed, $failures failed"
[ $failures = 0 ]
