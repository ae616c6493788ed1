#!/usr/bin/env bash
# Installs a build into a scratch prefix, moves the prefix elsewhere, and
# checks the installed tree from there:
#   - every library with its soname links and a RUNPATH of $ORIGIN only;
#   - the headers, the sample data, the CMake package and the .pc files;
#   - a C host built with find_package(veltrix), and one built with
#     pkg-config --cflags --libs veltrix-tle, both run from another folder
#     with no library path set, print the catalog's element set 25544;
#   - the installed tools and Python package run from there too.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR C_COMPILER LIBDIR BINDIR TOOLS(ON|OFF) [SANITIZERS]
set -euo pipefail
build=$1 src=$2 cc=$3 libdir=$4 bindir=$5 tools=$6 san=${7:-}
unset LD_LIBRARY_PATH VELTRIX_LIB_DIR
flags=()
[ -n "$san" ] && flags=(-fsanitize="$san" -fno-omit-frame-pointer)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/stage" >/dev/null
# Nothing may point back at the place it was installed to.
mv "$work/stage" "$work/prefix"
P=$work/prefix
mkdir "$work/elsewhere"

for lib in kernix chronom orbix ambit tle kinem; do
  so=$P/$libdir/lib$lib.so
  [ -L "$so" ] || fail "$so is not a link"
  [ "$(readlink "$so")" = "lib$lib.so.0" ] || fail "$so points to $(readlink "$so")"
  [ -f "$(readlink -f "$so")" ] && [ "$(basename "$(readlink -f "$so")")" = "lib$lib.so.0.1.0" ] \
    || fail "lib$lib.so.0 is not lib$lib.so.0.1.0"
  dyn=$(readelf -d "$so")
  grep -q "Library soname: \[lib$lib.so.0\]" <<<"$dyn" || fail "lib$lib: wrong soname"
  grep -q 'R.*PATH.*\[\$ORIGIN\]' <<<"$dyn" || fail "lib$lib: RUNPATH is not \$ORIGIN"
done
for f in include/veltrix/kernix.h include/veltrix/tle.h include/veltrix/kinem.h include/veltrix/ambit.h include/veltrix/orbix.h \
    share/veltrix/data/catalog-2018.tle "$libdir/cmake/veltrix/veltrixConfig.cmake" \
    "$libdir/cmake/veltrix/veltrixConfigVersion.cmake"; do
  [ -f "$P/$f" ] || fail "$f not installed"
done

catalog=$P/share/veltrix/data/catalog-2018.tle
# The library writes its own canonical form of the lines: compare the
# columns it keeps as read (numbers, designator, epoch; inclination to
# eccentricity), and both hosts' whole outputs with each other.
expected=$(printf '%s sets\n%s\n%s\nlogged\npropagated: code 0' "$(grep -c '^1 ' "$catalog")" \
  "$(grep -m1 '^1 25544' "$catalog" | cut -c1-32)" "$(grep -m1 '^2 25544' "$catalog" | cut -c1-33)")
first=
run_host() {
  local out
  out=$(cd "$work/elsewhere" && "$1" "$catalog") || fail "$2 host failed"
  [ "$(awk 'NR == 2 { $0 = substr($0, 1, 32) } NR == 3 { $0 = substr($0, 1, 33) } 1' <<<"$out")" = "$expected" ] \
    || fail "$2 host printed:"$'\n'"$out"$'\n'"expected:"$'\n'"$expected"
  [ -z "$first" ] || [ "$out" = "$first" ] || fail "$2 host printed:"$'\n'"$out"$'\n'"the other host:"$'\n'"$first"
  first=$out
}

# find_package: CMake links the host with a RUNPATH to the prefix's libraries.
cmake -S "$src/tests/install" -B "$work/cmake-host" -DCMAKE_PREFIX_PATH="$P" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="${flags[*]}" -DCMAKE_EXE_LINKER_FLAGS="${flags[*]}" \
  >"$work/log" 2>&1 || { cat "$work/log"; fail "find_package(veltrix) host does not configure"; }
cmake --build "$work/cmake-host" >"$work/log" 2>&1 || { cat "$work/log"; fail "find_package(veltrix) host does not build"; }
run_host "$work/cmake-host/host" "find_package"

if ! command -v pkg-config >/dev/null; then
  echo "install test: pkg-config not found, pkg-config host skipped"
  exit 77
fi
export PKG_CONFIG_PATH=$P/$libdir/pkgconfig
for lib in kernix tle kinem ambit orbix; do
  [ "$(pkg-config --modversion "veltrix-$lib")" = "0.1.0" ] || fail "veltrix-$lib.pc missing or wrong version"
done
pc_libdir=$(pkg-config --variable=libdir veltrix-tle)
# shellcheck disable=SC2046
"$cc" "${flags[@]}" "$src/tests/install/host.c" -o "$work/pc-host" \
  $(pkg-config --cflags --libs veltrix-tle) -Wl,-rpath,"$pc_libdir" || fail "pkg-config host does not build"
run_host "$work/pc-host" "pkg-config"

if [ "$tools" = "ON" ]; then
  out=$(cd "$work/elsewhere" && "$P/$bindir/vxtle" load "$catalog") || fail "installed vxtle failed"
  [ -n "$out" ] || fail "installed vxtle printed nothing"
fi
# The Python package finds the libraries of the prefix it is installed in
# (an uninstrumented python cannot load sanitizer-built libraries).
if [ -d "$P/share/veltrix/python/veltrix" ] && [ -z "$san" ] && command -v python3 >/dev/null; then
  (cd "$work/elsewhere" && PYTHONPATH=$P/share/veltrix/python python3 -c \
    'import veltrix, veltrix._lib as l, sys; sys.exit(0 if str(l.LIB_DIR).startswith(sys.argv[1]) else 1)' \
    "$(cd "$P" && pwd -P)") || fail "installed Python package does not load the prefix's libraries"
fi
echo "install test: passed"
