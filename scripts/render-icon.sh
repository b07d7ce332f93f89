#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Renders the 32 x 32 PNG window icon from its SVG source (run after editing the SVG).
# The program loads the PNG: decoding it needs no SVG plug-in at start-up.
set -euo pipefail
cd "$(dirname "$0")/.."
convert -background none -density 96 ui/icons/org.vr2710.Demo.svg -resize 32x32 \
    PNG32:ui/icons/org.vr2710.Demo.png
