#!/usr/bin/env bash
# Builds and runs every test of the project:
#   1. a release build with warnings as errors: unit, C host (ABI) and fuzz
#      replay tests, the install tree, the Python package, and pip install .
#      and pip wheel . of it;
#   2. an AddressSanitizer + UndefinedBehaviorSanitizer build of the same;
#   3. a ThreadSanitizer build running the concurrency tests;
#   4. a libFuzzer build (clang) running every fuzz target briefly on its
#      saved corpus.
# Set VX_SKIP_FUZZ=1 to leave out step 4, FUZZ_SECONDS to change its length.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=${JOBS:-$(nproc)}
FUZZ_SECONDS=${FUZZ_SECONDS:-15}

step() { printf '\n=== %s\n' "$*"; }

step "release build, warnings as errors"
cmake -S . -B build/test-release -DCMAKE_BUILD_TYPE=Release -DVX_WERROR=ON -DVX_TESTS=ON >/dev/null
cmake --build build/test-release -j"$JOBS"
ctest --test-dir build/test-release --output-on-failure -j"$JOBS"

step "address and undefined-behaviour sanitizers"
cmake -S . -B build/test-asan -DCMAKE_BUILD_TYPE=Debug -DVX_WERROR=ON -DVX_TESTS=ON -DVX_SANITIZE=address,undefined >/dev/null
cmake --build build/test-asan -j"$JOBS"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/test-asan --output-on-failure -j"$JOBS"

step "thread sanitizer: concurrency tests"
cmake -S . -B build/test-tsan -DCMAKE_BUILD_TYPE=Debug -DVX_WERROR=ON -DVX_TESTS=ON -DVX_SANITIZE=thread -DVX_TOOLS=OFF >/dev/null
cmake --build build/test-tsan -j"$JOBS" --target tle_test store_test ambit_test kinem_test
for t in tle_test store_test ambit_test kinem_test; do
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    "build/test-tsan/bin/$t" --gtest_filter='*Concurrency*:*Concurrent*:*Thread*'
done

if [ "${VX_SKIP_FUZZ:-0}" != "1" ] && command -v clang++ >/dev/null; then
  step "libFuzzer targets, ${FUZZ_SECONDS}s each"
  cmake -S . -B build/test-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
    -DCMAKE_CXX_COMPILER=clang++ -DVX_FUZZ=ON -DVX_TESTS=OFF -DVX_TOOLS=OFF -DVX_WERROR=ON >/dev/null
  cmake --build build/test-fuzz -j"$JOBS"
  mkdir -p build/test-fuzz/artifacts
  for f in build/test-fuzz/bin/fuzz_*; do
    name=${f##*/fuzz_}
    work=$(mktemp -d)
    # New inputs go to a scratch corpus; a crashing input is kept in
    # build/test-fuzz/artifacts and fails the run.
    "$f" -max_total_time="$FUZZ_SECONDS" -max_len=1024 -print_final_stats=0 \
      -artifact_prefix="$ROOT/build/test-fuzz/artifacts/$name-" "$work" "$ROOT/fuzz/corpus/$name" 2>&1 | tail -n 2
    rm -rf "$work"
  done
fi

step "all tests passed"
