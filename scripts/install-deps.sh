#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Installs the Debian packages that are missing. Works offline once everything is there.
#   scripts/install-deps.sh --run   what building and running the programs need (./run.sh)
#   scripts/install-deps.sh         that and what the tests, benchmarks and checks need
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-qpa-plugins libpng-dev libcups2-dev
    fonts-liberation2
)
if [[ "${1:-}" != "--run" ]]; then
    packages+=(
        libx11-dev libbenchmark-dev
        xvfb xauth openbox xdotool x11-utils xclip imagemagick
        clang-format dpkg-dev lintian appstream desktop-file-utils
        weston qt6-wayland
        qemu-system-x86 linux-image-amd64 busybox-static cpio
        cups-daemon cups-client cups cups-ipp-utils dbus-daemon
    )
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$package")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
