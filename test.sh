#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERANDOL_WERROR=ON
cmake --build build -j"$jobs"
# Every test runs where it can: a skip that tests/expected-skips.txt does not
# list fails the run. The results keep each suite's whole output, since a Qt
# Test suite passes while one of its rows skips.
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs" \
  --output-junit "$PWD/build/test-results.xml" --test-output-size-passed 4194304
scripts/check-skips.py build/test-results.xml tests/expected-skips.txt

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then
# a short run of every fuzz target (FUZZ_SECONDS each, 30 by default).
scripts/sanitizer-tests.sh
scripts/fuzz-smoke.sh

# The skips of the first run once more, where they are seen.
scripts/check-skips.py build/test-results.xml tests/expected-skips.txt
