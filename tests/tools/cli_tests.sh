#!/usr/bin/env bash
# Command-line tests of kestrune-pack: exit codes, messages and the files
# each command leaves behind.
#   cli_tests.sh GROUP PACK MAKE_FAKE_STUB WORKDIR [BUILTIN_STUB]
# GROUP: usage | codec | damaged | build | refusals | packages | progress | manual
# (manual: the man page KESTRUNE_MAN_PAGE against the tool's help)
# BUILTIN_STUB: the kestrune.exe built into PACK; none when not given.
# The outputs and trust groups are in cli_safety.sh.
source "$(dirname "$0")/cli_common.sh"

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
