#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVERANDOL_WERROR=ON
cmake --build build -j"$jobs"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure -j"$jobs"

# The same tests under AddressSanitizer and UndefinedBehaviorSanitizer, then
# a short run of every fuzz target (FUZZ_SECONDS each, 45 by default).
scripts/sanitizer-tests.sh
scripts/fuzz-smoke.sh
