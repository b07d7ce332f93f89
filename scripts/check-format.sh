#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
#
# Fails when a tracked C++ source differs from what clang-format (Debian's, with the
# repository's .clang-format) makes of it, and names the files to fix.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || {
    echo "check-format.sh: clang-format is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
}
mapfile -t sources < <(git ls-files -- '*.cpp' '*.h')
[[ ${#sources[@]} -gt 0 ]] || { echo "check-format.sh: found no tracked C++ sources" >&2; exit 1; }
unformatted=()
for source in "${sources[@]}"; do
    [[ -e "$source" ]] || continue # deleted in the work tree, not yet committed
    clang-format --style=file --dry-run --Werror "$source" >/dev/null 2>&1 || unformatted+=("$source")
done
if [[ ${#unformatted[@]} -gt 0 ]]; then
    echo "check-format.sh: not formatted with $(clang-format --version | head -n 1):" >&2
    printf '  %s\n' "${unformatted[@]}" >&2
    echo "Fix with: clang-format -i ${unformatted[*]}" >&2
    exit 1
fi
echo "check-format.sh: ${#sources[@]} sources formatted"
