#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# vr2710-print to a regular file, started again for every receipt, beside dd copying the same
# receipt: the whole cost of a receipt from the command line, start-up included.
#   bench/print_to_file.sh PATH/TO/vr2710-print [RUNS]   (default 50)
set -euo pipefail
print=$1 runs=${2:-50}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config VR2710_LPT1=$work/receipt.bin
unset VR2710_CODEPAGE VR2710_COM1 VR2710_COM2
"$print" 2>/dev/null # once first: both then read warm files
cp "$work/receipt.bin" "$work/source.bin"

# Milliseconds a run, over RUNS runs of the command.
per_run() {
    local start end
    start=$(date +%s%N)
    for ((run = 0; run < runs; run++)); do "$@" 2>/dev/null; done
    end=$(date +%s%N)
    awk -v ns=$((end - start)) -v n="$runs" 'BEGIN { printf "%.2f", ns / n / 1e6 }'
}
echo "vr2710-print to a file: $(per_run "$print") ms a receipt"
echo "dd of the same receipt: $(per_run dd if="$work/source.bin" of="$work/copy.bin" status=none) ms a receipt"
