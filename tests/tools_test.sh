#!/usr/bin/env bash
# The command-line hosts end to end: exit codes, conversions that round
# trip, clear failures for bad arguments and unreadable files.
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

expect 0 "check the sample catalog" "$bin/vxtle" check "$data/catalog-2018.tle"
grep -q "979 element sets checked: 979 good, 0 bad" "$tmp/out" || { echo "FAIL: check summary"; fails=$((fails + 1)); }
expect 0 "convert to csv" "$bin/vxtle" convert --to csv "$data/catalog-2018.tle" "$tmp/c.csv"
expect 0 "convert back to lines" "$bin/vxtle" convert --to lines "$tmp/c.csv" "$tmp/c.tle"
expect 0 "convert lines again" "$bin/vxtle" convert --to csv "$tmp/c.tle" "$tmp/c2.csv"
cmp -s "$tmp/c.csv" "$tmp/c2.csv" || { echo "FAIL: csv -> lines -> csv differs"; fails=$((fails + 1)); }
expect 0 "the converted lines check clean" "$bin/vxtle" check "$tmp/c.tle"
expect 0 "load" "$bin/vxtle" load "$data/catalog-2018.tle"
grep -q "Total TLEs = 979, Loaded = 979, Dup = 0, Bad = 0" "$tmp/out" || { echo "FAIL: load totals"; fails=$((fails + 1)); }
expect 0 "show" "$bin/vxtle" show "$data/catalog-2018.tle" 25544
grep -q "^1 25544U" "$tmp/out" || { echo "FAIL: show lines"; fails=$((fails + 1)); }
expect 0 "save csv" "$bin/vxtle" save "$data/catalog-2018.tle" "$tmp/s.csv" --csv
expect 0 "reload saved csv" "$bin/vxtle" load "$tmp/s.csv"
grep -q "Loaded = 979" "$tmp/out" || { echo "FAIL: reload"; fails=$((fails + 1)); }

printf '1 25544U 98067A   18020.59659722  .00001558  00000-0  30975-4 0  9993\n2 25544  51.6421 313.2312 0003370 277.6394 199.7473 15.541485x7 96357\n' >"$tmp/bad.tle"
expect 2 "check reports a bad pair" "$bin/vxtle" check "$tmp/bad.tle"
grep -q "Lines2Tle: Cannot read TLE's second line." "$tmp/out" || { echo "FAIL: message"; fails=$((fails + 1)); }
expect 1 "no arguments" "$bin/vxtle"
expect 1 "unknown command" "$bin/vxtle" frobnicate
expect 1 "missing file" "$bin/vxtle" check "$tmp/none.tle"
expect 1 "load of a directory" "$bin/vxtle" load "$tmp"
expect 1 "bad form" "$bin/vxtle" convert --to xml "$data/catalog-2018.tle" "$tmp/x"
expect 1 "bad satellite number" "$bin/vxtle" show "$data/catalog-2018.tle" abc
if [ -x "$bin/vxkinem" ]; then
  vec="$data/vectors-sample.vec"
  expect 0 "vxkinem check the sample vectors" "$bin/vxkinem" check "$vec"
  grep -q "8 card sets checked: 8 good, 0 bad" "$tmp/out" || { echo "FAIL: vxkinem check summary"; fails=$((fails + 1)); }
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
  grep -q "Lines2Kinem: Unknown Kinem's classify level 'X'." "$tmp/out" || { echo "FAIL: vxkinem message"; fails=$((fails + 1)); }
  grep -q "3 card sets checked: 0 good, 3 bad" "$tmp/out" || { echo "FAIL: vxkinem bad summary"; fails=$((fails + 1)); }
  expect 1 "vxkinem no arguments" "$bin/vxkinem"
  expect 0 "vxkinem help" "$bin/vxkinem" --help
  expect 1 "vxkinem unknown command" "$bin/vxkinem" frobnicate
  expect 1 "vxkinem missing file" "$bin/vxkinem" check "$tmp/none.vec"
  expect 1 "vxkinem load of a directory" "$bin/vxkinem" load "$tmp"
  grep -q 'KinemLoadFile: cannot open ".*": Is a directory' "$tmp/err" || { echo "FAIL: vxkinem load message"; fails=$((fails + 1)); }
  expect 1 "vxkinem bad form" "$bin/vxkinem" convert --to xml "$vec" "$tmp/x"
  expect 1 "vxkinem bad satellite number" "$bin/vxkinem" show "$vec" abc
  expect 2 "vxkinem satellite not loaded" "$bin/vxkinem" show "$vec" 1
  expect 1 "vxkinem save into a missing directory" "$bin/vxkinem" save "$vec" "$tmp/no/x.vec"
fi
if [ -x "$bin/vxenv" ]; then
  expect 0 "vxenv" "$bin/vxenv"
  expect 1 "vxenv unreadable file" "$bin/vxenv" "$tmp/none.env"
fi
[ $fails -eq 0 ] && echo "tools: ok"
exit $fails
