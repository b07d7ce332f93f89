#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Configures and builds into build/ (the folder is reused between runs).
#   scripts/build.sh               everything: programs, tests, benchmarks
#   scripts/build.sh TARGET...     only these targets and what they need
# A Release build: nothing here needs debug information, it builds faster, and the package
# is made from it.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
if [[ $# -gt 0 ]]; then
    targets=()
    for target in "$@"; do targets+=(--target "$target"); done
    cmake --build build "${targets[@]}"
else
    cmake --build build
fi
