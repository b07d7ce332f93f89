#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Installs what is missing, checks the formatting, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
# Unformatted sources fail the run, but only after the tests have run too.
formatted=yes
scripts/check-format.sh || formatted=no
scripts/build.sh
ctest --test-dir build --output-on-failure --parallel 2
if [[ "$formatted" != yes ]]; then
    echo "test.sh: the tests passed, the formatting did not (see above)" >&2
    exit 1
fi
