#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build and the tests need, only when one is missing.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-multimedia-dev libgl-dev
  libjpeg-dev libpng-dev libgif-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core ccache clang-format
  libimagequant-dev gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-libav
  desktop-file-utils appstream dbus dbus-daemon file dpkg-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing: ${missing[*]}"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
