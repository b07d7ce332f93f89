#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Installs the Debian packages the build, the program and the tests need, where missing.
# Works offline once everything is there.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev qt6-qpa-plugins libx11-dev zlib1g-dev
    libbenchmark-dev
    fonts-liberation2
    xvfb xauth openbox xdotool x11-utils xclip imagemagick
    clang-format dpkg-dev lintian appstream desktop-file-utils
    weston qt6-wayland
    qemu-system-x86 linux-image-amd64 busybox-static cpio
    libcups2-dev cups-daemon cups-client cups cups-ipp-utils dbus-daemon
)

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
