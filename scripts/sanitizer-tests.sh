#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs it: a read past a buffer or an overflow that happens to give the
# right answer in the normal build fails here.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${SANITIZER_BUILD_DIR:-build-asan}
jobs=${SANITIZER_JOBS:-2}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERANDOL_SANITIZE=ON -DVERANDOL_BUILD_GUI=OFF -DVERANDOL_WERROR=ON
cmake --build "$build" -j"$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Skips are held to tests/expected-skips.txt here too (see test.sh).
results="$(cd "$build" && pwd)/test-results.xml"
ctest --test-dir "$build" --output-on-failure -j"$jobs" \
  --output-junit "$results" --test-output-size-passed 4194304
scripts/check-skips.py "$results" tests/expected-skips.txt
