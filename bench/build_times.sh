#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Times the builds a user waits for, for commits side by side in one run, each from a fresh
# export of the commit (no build folder), the commits taking turns round by round:
#   first window   what ./run.sh builds before the window opens
#   full build     what ./test.sh builds (scripts/build.sh with no target)
#   one file       a rebuild of everything after touching each of FILES in turn (one at a time)
#   bench/build_times.sh [--rounds N] COMMIT... [-- FILE...]   (default FILEs below)
# Prints wall-clock seconds and processor seconds (user + system) for each.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=1
if [[ "${1:-}" == "--rounds" ]]; then rounds=$2; shift 2; fi
refs=()
while [[ $# -gt 0 && "$1" != "--" ]]; do refs+=("$1"); shift; done
[[ "${1:-}" == "--" ]] && shift
files=("$@")
[[ ${#refs[@]} -gt 0 ]] || { echo "usage: $0 [--rounds N] COMMIT... [-- FILE...]" >&2; exit 2; }
[[ ${#files[@]} -gt 0 ]] || files=(ports/networkport.cpp ui/mainwindow.cpp)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seconds of wall clock and of processor (children's user + system) a command takes.
timed() {
    local report
    report=$(mktemp)
    if /usr/bin/time -o "$report" -f '%e %U %S' "$@" >/dev/null 2>&1; then
        awk '{printf "%.1f s (%.1f s of processor)", $1, $2 + $3}' "$report"
    else
        printf 'FAILED'
    fi
    rm -f "$report"
}

fresh() { # fresh REF DIR: the commit's files, nothing built
    rm -rf "$2" && mkdir -p "$2" && git archive "$1" | tar -x -C "$2"
}

firstWindowCommand() { # the build line of that commit's run.sh
    grep -m1 -o '^scripts/build.sh[^#]*' "$1/run.sh"
}

for ((round = 1; round <= rounds; ++round)); do
    for ref in "${refs[@]}"; do
        tree="$work/tree"
        fresh "$ref" "$tree"
        read -r -a first <<<"$(firstWindowCommand "$tree")"
        echo "$ref round $round: first window $(cd "$tree" && timed "${first[@]}")"
        rm -rf "$tree/build"
        echo "$ref round $round: full build $(cd "$tree" && timed scripts/build.sh)"
        for file in "${files[@]}"; do
            [[ -e "$tree/$file" ]] || { echo "$ref: no $file"; continue; }
            touch "$tree/$file"
            echo "$ref round $round: after touching $file $(cd "$tree" && timed scripts/build.sh)"
        done
    done
done
