#!/usr/bin/env bash
# The command-line hosts end to end: exit codes (0 all good, 1 usage, 2 bad
# element sets or a file that cannot be read), one report from load, check
# and convert, checksums, --json, conversions that round trip, clear
# failures for bad arguments and unreadable files.
set -u
bin=$1
data=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fails=0
expect() {  # expect CODE DESCRIPTION COMMAND...
  local want=$1 what=$2
  shift 2
  "$@" >"$tmp/out" 2>"$tmp/err"
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what: exit $got, wanted $want"
    cat "$tmp/out" "$tmp/err"
    fails=$((fails + 1))
  fi
}
note() { echo "FAIL: $1"; fails=$((fails + 1)); }
# sameReport TOOL FILE WANT COMMAND...: each command (a convert with an
# output file) exits 2 and prints the report of FILE that WANT holds.
sameReport() {
  local tool=$1 file=$2 want=$3 cmd out
  shift 3
  for cmd in "$@"; do
    out=$tmp/x.out
    [ "${cmd%% *}" = convert ] || out=
    expect 2 "$tool $cmd of a file with bad sets" "$bin/$tool" $cmd "$file" $out
    grep -E "^$file(:[0-9]+: [A-Z]|: Total)" "$tmp/out" | cmp -s - "$want" || { note "$tool $cmd report"; cat "$tmp/out"; }
  done
}
cat_=$data/catalog-2018.tle

# vxtle: the sample catalog, through every subcommand.
for cmd in check load; do
  expect 0 "$cmd the sample catalog" "$bin/vxtle" $cmd "$cat_"
  grep -qx "$cat_: Total TLEs = 979, Loaded = 979, Dup = 0, Bad = 0" "$tmp/out" || note "$cmd totals"
done
expect 0 "the catalog's checksums are right" "$bin/vxtle" check --strict "$cat_"
expect 0 "convert to csv" "$bin/vxtle" convert --to csv "$cat_" "$tmp/c.csv"
grep -qx "$cat_: Total TLEs = 979, Loaded = 979, Dup = 0, Bad = 0" "$tmp/out" || note "convert totals"
[ "$(wc -l <"$tmp/c.csv")" = 979 ] || note "convert wrote $(wc -l <"$tmp/c.csv") CSV lines"
expect 0 "convert back to lines" "$bin/vxtle" convert --to lines "$tmp/c.csv" "$tmp/c.tle"
expect 0 "convert lines again" "$bin/vxtle" convert --to csv "$tmp/c.tle" "$tmp/c2.csv"
cmp -s "$tmp/c.csv" "$tmp/c2.csv" || note "csv -> lines -> csv differs"
for f in omm-csv omm-json omm-xml omm-kvn three-lines; do
  expect 0 "convert to $f" "$bin/vxtle" convert --to $f "$cat_" "$tmp/o.$f"
  expect 0 "load $f" "$bin/vxtle" load "$tmp/o.$f"
  grep -qx "$tmp/o.$f: Total TLEs = 979, Loaded = 979, Dup = 0, Bad = 0" "$tmp/out" || note "$f load totals"
  expect 0 "convert $f back to lines" "$bin/vxtle" convert --to lines "$tmp/o.$f" "$tmp/o.$f.tle"
  cmp -s "$tmp/c.tle" "$tmp/o.$f.tle" || note "lines -> $f -> lines differs"
done
expect 1 "convert to an unknown form" "$bin/vxtle" convert --to omm-yaml "$cat_" "$tmp/x"
expect 0 "converted lines carry right checksums" "$bin/vxtle" check --strict "$tmp/c.tle"
grep -q "warning" "$tmp/out" && note "checksum warnings on converted lines"
blank69() { awk 'substr($0, 69, 1) == " " || length($0) < 69' "$1" | wc -l; }
[ "$(grep -c '^[12] ' "$tmp/c.tle")" = 1958 ] && [ "$(blank69 "$tmp/c.tle")" = 0 ] || note "converted lines without checksums"
expect 0 "convert without checksums" "$bin/vxtle" convert --to lines "$cat_" "$tmp/raw.tle" --no-checksums
[ "$(blank69 "$tmp/raw.tle")" = 1958 ] || note "--no-checksums lines carry a column 69"
expect 0 "show" "$bin/vxtle" show "$cat_" 25544
grep -q "^1 25544U.*[0-9]$" "$tmp/out" || note "show lines with checksum"
expect 0 "save lines" "$bin/vxtle" save "$cat_" "$tmp/s.tle" --lines
[ "$(grep -c '^[12] ' "$tmp/s.tle")" = 1958 ] && [ "$(blank69 "$tmp/s.tle")" = 0 ] || note "saved lines without checksums"
expect 0 "saved lines check strict" "$bin/vxtle" check --strict "$tmp/s.tle"
expect 0 "save raw lines" "$bin/vxtle" save "$cat_" "$tmp/r.tle" --lines --no-checksums
[ "$(blank69 "$tmp/r.tle")" = 1958 ] || note "save --no-checksums lines carry a column 69"
expect 0 "save csv" "$bin/vxtle" save "$cat_" "$tmp/s.csv" --csv
expect 0 "reload saved csv" "$bin/vxtle" load "$tmp/s.csv"
grep -q "Loaded = 979," "$tmp/out" || note "reload"

# One bad file, one answer from load, check and convert: a pair whose line 2
# does not read (line 1), a line 1 another line 1 follows (line 4), a name
# line between a pair (5-7), a duplicate (8-9), a line 1 at the end (11).
l1='1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993'
l2='2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.54148547 96357'
{
  echo "$l1"; echo "${l2/54148547/541485x7}"; echo "* comment"
  echo "${l1/25544U/25545U}"; echo "$l1"; echo "ISS (ZARYA)"; echo "$l2"
  echo "$l1"; echo "$l2"; echo "garbage"; echo "$l1"
} >"$tmp/bad.tle"
{
  echo "$tmp/bad.tle:1: Lines2Tle: Cannot read TLE's second line."
  echo "$tmp/bad.tle:4: ReadOnlyTLEs: Line1 without its line2 (another line1 follows) '${l1/25544U/25545U}'."
  echo "$tmp/bad.tle:11: Lines2Tle: Invalid TLE's second line."
  echo "$tmp/bad.tle: Total TLEs = 5, Loaded = 1, Dup = 1, Bad = 3"
} >"$tmp/bad.want"
sameReport vxtle "$tmp/bad.tle" "$tmp/bad.want" "load" "check" "convert --to csv" "convert --to lines"

# Checksums: a warning, an error under --strict; the library ignores them.
{ echo "${l1/9993/9994}"; echo "$l2"; } >"$tmp/sum.tle"
expect 0 "a wrong checksum is a warning" "$bin/vxtle" check "$tmp/sum.tle"
grep -qx "$tmp/sum.tle:1: warning: line 1 checksum is '4', computed 3" "$tmp/out" || note "checksum warning"
expect 2 "a wrong checksum fails under --strict" "$bin/vxtle" check --strict "$tmp/sum.tle"
grep -qx "$tmp/sum.tle:1: error: line 1 checksum is '4', computed 3" "$tmp/out" || note "checksum error"
expect 0 "load ignores column 69" "$bin/vxtle" load "$tmp/sum.tle"
grep -q "checksum" "$tmp/out" && note "load reports checksums"

# --json parses and holds the report.
json() {  # json DESCRIPTION PYTHON-CONDITION-ON-d COMMAND...
  local what=$1 cond=$2
  shift 2
  "$@" >"$tmp/j" 2>/dev/null
  python3 -m json.tool "$tmp/j" >/dev/null || { note "$what: not JSON"; cat "$tmp/j"; return; }
  python3 -c "import json,sys; d=json.load(open(sys.argv[1])); sys.exit(0 if ($cond) else 1)" "$tmp/j" || note "$what: $cond"
}
json "load --json" 'd["files"][0]["bad"] == 3 and d["files"][0]["badSets"][1]["line"] == 4 and d["count"] == 1' \
  "$bin/vxtle" load --json "$tmp/bad.tle"
json "load --json of a missing file" 'd["files"][0]["error"] == "No such file or directory"' \
  "$bin/vxtle" load --json "$tmp/none.tle"
json "check --json" 'd["checksums"][0]["line"] == 1 and d["checksums"][0]["computed"] == 3 and d["total"] == 1' \
  "$bin/vxtle" check "$tmp/sum.tle" --json
json "show --json" 'd["elementSets"][0]["fields"]["satellite number"] == "25544" and d["elementSets"][0]["line1"].startswith("1 25544U")' \
  "$bin/vxtle" show --json "$cat_" 25544

# Files that cannot be read, and files without an element set.
for cmd in load check "convert --to csv"; do
  out=$tmp/x.out
  [ "${cmd%% *}" = convert ] || out=
  expect 2 "$cmd of a missing file" "$bin/vxtle" $cmd "$tmp/none.tle" $out
  grep -qx "vxtle: cannot read $tmp/none.tle: No such file or directory" "$tmp/err" || note "$cmd missing file message"
  expect 2 "$cmd of a directory" "$bin/vxtle" $cmd "$tmp" $out
  grep -qx "vxtle: cannot read $tmp: Is a directory" "$tmp/err" || note "$cmd directory message"
  expect 2 "$cmd of a character device" timeout 20 "$bin/vxtle" $cmd /dev/zero $out
  grep -qx "vxtle: cannot read /dev/zero: Is a character device, not a file" "$tmp/err" || note "$cmd device message"
done
for cmd in "show $cat_ 25544" "load $cat_" "--version" "help"; do
  expect 2 "vxtle $cmd into a full device" sh -c '"$0" $1 >/dev/full' "$bin/vxtle" "$cmd"
  grep -qx "vxtle: cannot write the output: No space left on device" "$tmp/err" || note "vxtle $cmd /dev/full message"
done
for f in lines omm-json; do
  expect 2 "convert to $f into a full device" "$bin/vxtle" convert --to $f "$cat_" /dev/full
  grep -qx "vxtle: cannot write /dev/full: No space left on device" "$tmp/err" || note "convert $f /dev/full message"
  grep -q "written to" "$tmp/out" && note "convert $f /dev/full claims sets written"
done
printf 'these are\nno element sets\n' >"$tmp/garbage.tle"
for cmd in load check; do
  expect 2 "$cmd of a file without element sets" "$bin/vxtle" $cmd "$tmp/garbage.tle"
  grep -qx "vxtle: $tmp/garbage.tle: no element set found (2 lines read)" "$tmp/err" || note "$cmd garbage message"
done

# Conventions.
expect 1 "no arguments" "$bin/vxtle"
expect 0 "help" "$bin/vxtle" help
grep -q "^Exit status: 0 all good; 1 usage; 2" "$tmp/out" || note "help text"
expect 0 "--help after a command" "$bin/vxtle" check "$cat_" --help
grep -q "^usage: vxtle" "$tmp/out" || note "check --help"
expect 0 "--version" "$bin/vxtle" --version
grep -q "^vxtle: .*version [0-9]" "$tmp/out" || note "version"
expect 1 "unknown command" "$bin/vxtle" frobnicate
expect 1 "an option the command does not take" "$bin/vxtle" load --strict "$cat_"
expect 1 "bad form" "$bin/vxtle" convert --to xml "$cat_" "$tmp/x"
expect 1 "bad satellite number" "$bin/vxtle" show "$cat_" abc
expect 2 "satellite not loaded" "$bin/vxtle" show "$cat_" 1
expect 2 "save into a missing directory" "$bin/vxtle" save "$cat_" "$tmp/no/x.tle" --lines
# propagate: the latest set of a satellite over a span, as a table or JSON.
rows() { grep -cE '^[0-9]{4}-[0-9]{2}-[0-9]{2}T' "$tmp/out"; }
expect 0 "propagate in minutes" "$bin/vxtle" propagate "$cat_" 25544 --from 0 --to 60 --step 10
[ "$(rows)" = 7 ] || note "propagate 0..60 every 10 gives $(rows) rows"
grep -qE '^2018-01-20T21:33:14\.841 +0\.000000 .* 0$' "$tmp/out" || { note "propagate first row at the epoch"; cat "$tmp/out"; }
expect 0 "propagate between dates" "$bin/vxtle" propagate "$cat_" 25544 --from 2018-01-21T00:00:00 \
  --to 2018-01-21T01:00:00Z --step 30
[ "$(rows)" = 3 ] || note "propagate between dates gives $(rows) rows"
grep -qE '^2018-01-21T01:00:00\.000 ' "$tmp/out" || note "propagate ends at --to"
expect 0 "propagate a date to minutes" "$bin/vxtle" propagate "$cat_" 25544 --from 2018-01-21T00:00:00 --to 240 --step 60
[ "$(rows)" = 2 ] || note "propagate from a date to minutes gives $(rows) rows"
json "propagate --json" 'len(d["states"]) == 2 and d["satellite"] == 25544 and d["states"][0]["minutes"] == -90 and all(6700 < sum(x * x for x in s["position"]) ** 0.5 < 6850 and 7.5 < sum(v * v for v in s["velocity"]) ** 0.5 < 7.8 and s["code"] == 0 for s in d["states"])' \
  "$bin/vxtle" propagate --json "$cat_" 25544 --from -90 --to -45 --step 45
awk '/^1 25544/ { print substr($0, 1, 53) " 10000-1" substr($0, 62) } /^2 25544/ { print substr($0, 1, 52) "15.90000000" substr($0, 64) }' \
  "$cat_" >"$tmp/decay.tle"
expect 2 "propagate a set that decays" "$bin/vxtle" propagate "$tmp/decay.tle" 25544 --from 0 --to 14400 --step 1440
grep -qE '^vxtle: satellite 25544: [0-9]+ of 11 times failed, the first [0-9.]+ minutes from the epoch: .*decayed' \
  "$tmp/err" || { note "propagate failure message"; cat "$tmp/err"; }
grep -qE ' 6 .*decayed$' "$tmp/out" || note "propagate table shows the code"
for args in "--from 0 --to 10" "--from 0 --to 10 --step 0" "--from x --to 10 --step 1" "--from 10 --to 0 --step 1" \
  "--from 2018-02-30T00:00:00 --to 10 --step 1" "--from 0 --to 1e12 --step 1e-3" "--from 0 --to 10 --step"; do
  expect 1 "propagate $args" "$bin/vxtle" propagate "$cat_" 25544 $args
done
expect 2 "propagate a satellite not loaded" "$bin/vxtle" propagate "$cat_" 1 --from 0 --to 10 --step 1
grep -q "satellite 1 is not in" "$tmp/err" || note "propagate missing satellite message"

if [ -x "$bin/vxkinem" ]; then
  vec="$data/vectors-sample.vec"
  expect 0 "vxkinem check the sample vectors" "$bin/vxkinem" check "$vec"
  grep -qx "$vec: Total Kinems = 8, Loaded = 8, Dup = 0, Bad = 0" "$tmp/out" || { echo "FAIL: vxkinem check summary"; fails=$((fails + 1)); }
  expect 0 "vxkinem convert to cards" "$bin/vxkinem" convert --to cards "$vec" "$tmp/k1.vec"
  expect 0 "vxkinem convert the cards again" "$bin/vxkinem" convert --to cards "$tmp/k1.vec" "$tmp/k2.vec"
  cmp -s "$tmp/k1.vec" "$tmp/k2.vec" || { echo "FAIL: vxkinem cards -> cards differs"; fails=$((fails + 1)); }
  [ "$(grep -c 'B1P$' "$tmp/k1.vec")" = 8 ] || { echo "FAIL: vxkinem converted cards"; fails=$((fails + 1)); }
  expect 0 "vxkinem convert to array" "$bin/vxkinem" convert --to array "$vec" "$tmp/a1.txt"
  expect 0 "vxkinem convert the converted cards to array" "$bin/vxkinem" convert --to array "$tmp/k1.vec" "$tmp/a2.txt"
  cmp -s "$tmp/a1.txt" "$tmp/a2.txt" || { echo "FAIL: vxkinem array of converted cards differs"; fails=$((fails + 1)); }
  grep -q "^43013,24857.9054861111" "$tmp/a1.txt" || { echo "FAIL: vxkinem array line"; fails=$((fails + 1)); }
  expect 0 "vxkinem load" "$bin/vxkinem" load "$vec"
  grep -q "Total Kinems = 8, Loaded = 8, Dup = 0, Bad = 0" "$tmp/out" || { echo "FAIL: vxkinem load totals"; fails=$((fails + 1)); }
  expect 0 "vxkinem show" "$bin/vxkinem" show "$vec" 25544
  [ "$(grep -c '^satKey ' "$tmp/out")" = 2 ] || { echo "FAIL: vxkinem show both epochs"; fails=$((fails + 1)); }
  grep -q "coordinate system    MMJ2K" "$tmp/out" || { echo "FAIL: vxkinem show fields"; fails=$((fails + 1)); }
  expect 0 "vxkinem save" "$bin/vxkinem" save "$vec" "$tmp/s.vec"
  grep -q "^\*\*\* Orbital Elements - SP Vectors \*\*\*$" "$tmp/s.vec" || { echo "FAIL: vxkinem save header"; fails=$((fails + 1)); }
  expect 0 "vxkinem append" "$bin/vxkinem" save "$vec" "$tmp/s.vec" --append
  expect 0 "vxkinem reload the saved file" "$bin/vxkinem" load "$tmp/s.vec"
  grep -q "Total Kinems = 16, Loaded = 8, Dup = 8, Bad = 0" "$tmp/out" || { echo "FAIL: vxkinem reload"; fails=$((fails + 1)); }

  { sed -n 6p "$vec" | sed 's/ UB1P$/ XB1P/'; sed -n 7p "$vec"; sed -n 7p "$vec"; sed -n 9p "$vec"; } >"$tmp/bad.vec"
  expect 2 "vxkinem check reports bad sets" "$bin/vxkinem" check "$tmp/bad.vec"
  # The 2P card on line 3 pairs again with the 1P card on line 1, as the
  # library pairs them; the 1P card on line 4 has no 2P card.
  {
    echo "$tmp/bad.vec:1: Lines2Kinem: Unknown Kinem's classify level 'X'."
    echo "$tmp/bad.vec:1: Lines2Kinem: Unknown Kinem's classify level 'X'."
    echo "$tmp/bad.vec:4: ReadOnlyKINEMs: 1P card without its 2P card (the file ends) '$(sed -n 9p "$vec")'."
    echo "$tmp/bad.vec: Total Kinems = 3, Loaded = 0, Dup = 0, Bad = 3"
  } >"$tmp/badvec.want"
  sameReport vxkinem "$tmp/bad.vec" "$tmp/badvec.want" "check" "load" "convert --to cards" "convert --to array"
  printf 'no card
sets here
' >"$tmp/garbage.vec"
  for cmd in "check" "load" "convert --to cards"; do
    out=$tmp/x.out
    [ "${cmd%% *}" = convert ] || out=
    expect 2 "vxkinem $cmd of a file without card sets" "$bin/vxkinem" $cmd "$tmp/garbage.vec" $out
    grep -qx "vxkinem: $tmp/garbage.vec: no card set found (2 lines read)" "$tmp/err" || note "vxkinem $cmd garbage message"
    expect 2 "vxkinem $cmd of a character device" timeout 20 "$bin/vxkinem" $cmd /dev/zero $out
    grep -qx "vxkinem: cannot read /dev/zero: Is a character device, not a file" "$tmp/err" || note "vxkinem $cmd device message"
  done
  expect 2 "vxkinem show into a full device" sh -c '"$1" show "$2" 25544 >/dev/full' sh "$bin/vxkinem" "$vec"
  grep -qx "vxkinem: cannot write the output: No space left on device" "$tmp/err" || note "vxkinem show /dev/full message"
  expect 2 "vxkinem convert into a full device" "$bin/vxkinem" convert --to array "$vec" /dev/full
  grep -qx "vxkinem: cannot write /dev/full: No space left on device" "$tmp/err" || note "vxkinem convert /dev/full message"
  expect 1 "vxkinem no arguments" "$bin/vxkinem"
  expect 0 "vxkinem help" "$bin/vxkinem" --help
  expect 0 "vxkinem help command" "$bin/vxkinem" help
  expect 0 "vxkinem --help after a command" "$bin/vxkinem" load "$vec" --help
  grep -q "^usage: vxkinem" "$tmp/out" || note "vxkinem load --help"
  expect 0 "vxkinem --version" "$bin/vxkinem" --version
  grep -q "^vxkinem: .*version [0-9]" "$tmp/out" || note "vxkinem version"
  expect 1 "vxkinem unknown command" "$bin/vxkinem" frobnicate
  expect 2 "vxkinem missing file" "$bin/vxkinem" check "$tmp/none.vec"
  grep -qx "vxkinem: cannot read $tmp/none.vec: No such file or directory" "$tmp/err" || note "vxkinem missing file message"
  expect 2 "vxkinem load of a directory" "$bin/vxkinem" load "$tmp"
  grep -qx "vxkinem: cannot read $tmp: Is a directory" "$tmp/err" || { echo "FAIL: vxkinem load message"; fails=$((fails + 1)); }
  expect 1 "vxkinem bad form" "$bin/vxkinem" convert --to xml "$vec" "$tmp/x"
  expect 1 "vxkinem bad satellite number" "$bin/vxkinem" show "$vec" abc
  expect 2 "vxkinem satellite not loaded" "$bin/vxkinem" show "$vec" 1
  expect 2 "vxkinem save into a missing directory" "$bin/vxkinem" save "$vec" "$tmp/no/x.vec"
fi
if [ -x "$bin/vxenv" ]; then
  expect 0 "vxenv" "$bin/vxenv"
  grep -qx "   6 radiuskm             6378.135" "$tmp/out" || note "vxenv WGS-72 radius"
  expect 0 "vxenv sample file" "$bin/vxenv" "$data/sample.env"
  [ -s "$tmp/err" ] && note "vxenv warns about the sample file"
  grep -qx "Geopotential set: 84 WGS-84" "$tmp/out" || note "vxenv sample set"
  grep -qx "   6 radiuskm             6378.137" "$tmp/out" || note "vxenv shortest form"
  grep -qx "   7 earthrate (rad/min)  0.0043752690880113" "$tmp/out" || note "vxenv digits where needed"
  printf 'GEOCONST=WGS-85\nfkconst = FK6\nBCONST=SPECTR\nGEOCONST= wgs84 \nFOO=1\n  OBLATEEARTH\n* GEOCONST=bad\n\nSPHERICALEARTH\n' >"$tmp/w.env"
  expect 0 "vxenv warns and goes on" "$bin/vxenv" "$tmp/w.env"
  {
    echo "vxenv: $tmp/w.env:1: warning: unknown geopotential set \"WGS-85\"; the library uses WGS-72"
    echo "vxenv: $tmp/w.env:2: warning: unknown FK set \"FK6\"; the library uses FK5"
    echo "vxenv: $tmp/w.env:5: warning: unknown key \"FOO\"; the library ignores the line"
    echo "vxenv: $tmp/w.env:6: warning: unknown key \"  OBLATEEARTH\"; the library ignores the line"
  } >"$tmp/w.want"
  cmp -s "$tmp/err" "$tmp/w.want" || { note "vxenv warnings"; cat "$tmp/err"; }
  grep -qx "Geopotential set: 84 WGS-84" "$tmp/out" || note "vxenv reads the cards in order"
  grep -qx "Earth shape: spherical" "$tmp/out" || note "vxenv reads the file as the library does"
  expect 2 "vxenv unreadable file" "$bin/vxenv" "$tmp/none.env"
  grep -q "No such file or directory" "$tmp/err" || note "vxenv missing file message"
  expect 1 "vxenv usage" "$bin/vxenv" a b
  expect 0 "vxenv help" "$bin/vxenv" help
  expect 0 "vxenv --version" "$bin/vxenv" --version
  expect 2 "vxenv into a full device" sh -c '"$0" >/dev/full' "$bin/vxenv"
  grep -qx "vxenv: cannot write the output: No space left on device" "$tmp/err" || note "vxenv /dev/full message"
fi
[ $fails -eq 0 ] && echo "tools: ok"
exit $fails
