#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config xz-utils
  libblkid-dev libewf-dev libvhdi-dev libvmdk-dev libgtest-dev nlohmann-json3-dev zlib1g-dev
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev fonts-noto-cjk fonts-dejavu-core
  clang libclang-rt-14-dev
  desktop-file-utils appstream dpkg-dev groff-base
  # the system services a test starts to read a device as an ordinary user
  dbus udev polkitd udisks2
  # mounts of a test volume through ntfs-3g, and the failing test device,
  # a FUSE file system of the tests' own
  ntfs-3g fuse3 libfuse3-dev
  # the other device copier whose maps the image command must read and write
  gddrescue
)
[ "$#" -gt 0 ] && packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ "${#missing[@]}" -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}; run as root or install them with apt-get." >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
