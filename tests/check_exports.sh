#!/usr/bin/env bash
# Compares the C functions each shared library exports with the functions
# its public header declares: nothing missing, nothing extra.
set -euo pipefail
lib_dir=$1
inc_dir=$2
status=0
for pair in tle:tle ambit:ambit kernix:kernix kinem:kinem orbix:orbix; do
  lib=${pair%%:*}
  header=${pair##*:}
  exported=$(nm -D --defined-only "$lib_dir/lib$lib.so" | awk '$2 == "T" && $3 !~ /^_Z/ {print $3}' | sort -u)
  declared=$(grep -v '^#' "$inc_dir/veltrix/$header.h" | grep -oE 'VX_API[^(]*\b([A-Za-z0-9_]+)\(' |
    sed -E 's/.*[ *]([A-Za-z0-9_]+)\($/\1/' | sort -u)
  if ! diff <(echo "$declared") <(echo "$exported") >/dev/null; then
    echo "lib$lib.so exports differ from $header.h (< declared only, > exported only):"
    diff <(echo "$declared") <(echo "$exported") || true
    status=1
  fi
done
# Only the C interface (and, for the base libraries, the family's services)
# is visible: no library exports C++ symbols except kernix and chronom.
for lib in tle ambit kinem orbix; do
  if nm -D --defined-only "$lib_dir/lib$lib.so" | awk '$3 ~ /^_Z/' | grep -q .; then
    echo "lib$lib.so exports C++ symbols:"
    nm -D --defined-only "$lib_dir/lib$lib.so" | awk '$3 ~ /^_Z/ {print $3}' | head
    status=1
  fi
done
[ $status -eq 0 ] && echo "exports match the headers"
exit $status
