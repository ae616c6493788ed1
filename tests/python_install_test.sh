#!/usr/bin/env bash
# Installs the Python package as its users do, with no network:
#   1. `pip install .` from the source tree into a virtual environment;
#   2. `pip wheel .`, and the wheel installed into a fresh virtual
#      environment without the system's packages;
# and from a folder outside the source tree, with no library path set, each
# imports veltrix, checks that the libraries are the ones inside the
# installed package, and loads the sample catalog.
# Both builds share one CMake build directory, so the second one only
# relinks what changed.
# Usage: python_install_test.sh SOURCE_DIR CMAKE_BUILD_DIR [PYTHON]
set -euo pipefail
src=$1 cmake_dir=$2 py=${3:-/usr/bin/python3}
unset PYTHONPATH VELTRIX_LIB_DIR LD_LIBRARY_PATH
export PIP_NO_INDEX=1 PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_CACHE_DIR=1 PYTHONDONTWRITEBYTECODE=1
export VELTRIX_CMAKE_BUILD_DIR=$cmake_dir

for m in pip venv setuptools wheel; do
  "$py" -c "import $m" 2>/dev/null || { echo "python install test: $py has no $m, skipped"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "python install test: $*" >&2; exit 1; }
mkdir "$work/elsewhere"

# Imports the installed package from elsewhere and loads the catalog; $1 is
# the environment's python.
check() {
  (cd "$work/elsewhere" && "$1" - "$src/data/catalog-2018.tle" <<'PY'
import sys
from pathlib import Path
import veltrix
from veltrix import _lib
pkg = Path(veltrix.__file__).resolve().parent
assert Path(sys.prefix).resolve() in pkg.parents, f"veltrix imported from {pkg}, not from {sys.prefix}"
assert _lib.LIB_DIR == pkg / "lib", f"libraries from {_lib.LIB_DIR}, not from the package"
report = veltrix.tle.store.load(sys.argv[1])
assert report.loaded == report.total > 900 and report.bad == 0, report
iss = veltrix.tle.store.latest(25544)
assert iss.satnum == 25544
print("ok", pkg, report)
PY
  ) || fail "$2: the installed package does not work"
}

# 1. pip install . (setuptools comes from the system: no build isolation).
"$py" -m venv --system-site-packages "$work/venv-install"
(cd "$src" && "$work/venv-install/bin/python" -m pip install -q --no-build-isolation --no-deps .) \
  || fail "pip install . failed"
check "$work/venv-install/bin/python" "pip install ."

# 2. pip wheel ., installed into a fresh environment.
(cd "$src" && "$py" -m pip wheel -q --no-build-isolation --no-deps -w "$work/wheels" .) || fail "pip wheel . failed"
wheel=$(ls "$work"/wheels/veltrix-*.whl) || fail "pip wheel . gave no wheel"
"$py" -m venv "$work/venv-wheel"
"$work/venv-wheel/bin/python" -m pip install -q --no-deps "$wheel" || fail "the wheel does not install"
check "$work/venv-wheel/bin/python" "the wheel"
echo "python install test: pip install . and the wheel work"
