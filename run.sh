#!/usr/bin/env bash
# Installs what is missing, builds the window, and starts it on the bundled
# sample volume. Safe to run again: each step skips what is already done.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target verandol verandol_fixtures

# Discovery lists the volume images of the working directory.
mkdir -p build/sample
cp -u build/fixtures/sec512-clu4k.img build/sample/sample-ntfs.img
cd build/sample
exec ../ui/verandol
