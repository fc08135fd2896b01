#!/usr/bin/env bash
# Command-line tests of what keeps an author's files safe: outputs that
# must never be replaced, inputs refused from their size, names as Windows
# resolves them, code pages, whole stubs, and what extract trusts.
#   cli_safety.sh GROUP PACK MAKE_FAKE_STUB WORKDIR [BUILTIN_STUB]
# GROUP: outputs | trust
source "$(dirname "$0")/cli_common.sh"

case $group in
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

*)
  echo "unknown group $group"
  exit 2
  ;;
esac

echo "$group: $((checks - failures)) passed, $failures failed"
[ $failures = 0 ]
