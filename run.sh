#!/usr/bin/env bash
# Installs what is missing, builds the window, and starts it on the bundled
# sample volume. Safe to run again: each step skips what is already done.
set -euo pipefail
cd "$(dirname "$0")"

packages=(build-essential cmake qt6-base-dev qt6-svg-dev libblkid-dev libgtest-dev nlohmann-json3-dev
          xz-utils fonts-noto-cjk)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  [[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update
  "${sudo_cmd[@]}" apt-get install -y "${missing[@]}"
fi

cmake -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2 --target verandol verandol_fixtures

# Discovery lists the volume images of the working directory.
mkdir -p build/sample
cp -u build/fixtures/sec512-clu4k.img build/sample/sample-ntfs.img
cd build/sample
exec ../ui/verandol
