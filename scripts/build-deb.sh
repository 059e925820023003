#!/usr/bin/env bash
# Builds the Release .deb in build-deb/ (verandol_<version>_<arch>.deb), with
# the libraries it depends on worked out by dpkg-shlibdeps.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
build=${DEB_BUILD_DIR:-build-deb}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVERANDOL_BUILD_TESTS=OFF
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB)
ls "$build"/verandol_*.deb
