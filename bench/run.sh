#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Runs the benchmarks and prints their figures: the printing path, then start-up time and
# idle memory of the demo beside a bare Qt window (on a virtual X display).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh >/dev/null
echo "== Printing path"
build/bench/bench_printing --benchmark_repetitions=10 --benchmark_report_aggregates_only=true
echo
echo "== Virtual printer"
build/bench/bench_virtualprinter --benchmark_filter='decodeAndRenderPng|pacedReceiptClickToImage' \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
echo
echo "== Virtual printer with its window, long runs, once each (about 30 min: a 1 MiB body at"
echo "   9600 baud takes 18 of them; VR2710_BENCH_PACED_KB and VR2710_BENCH_MEMORY_MB shorten them)"
XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)} tests/run-in-xvfb.sh \
    build/bench/bench_virtualprinter \
    --benchmark_filter='pacedLongBodyWithWindow|unpacedRateWithWindow|residentMemory'
echo
echo "== Start-up to window mapped, and idle memory (medians of ${STARTUP_RUNS:-15} runs)"
XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)} tests/run-in-xvfb.sh \
    build/bench/startup_bench "${STARTUP_RUNS:-15}" "$PWD/build/bench/bare_window" \
    "$PWD/build/bench/bare_window_with_label" "$PWD/build/bench/same_content_window" \
    "$PWD/build/vr2710-demo"
echo
echo "== vr2710-print to a file, one process a receipt, beside dd (${PRINT_RUNS:-50} runs each)"
bench/print_to_file.sh build/vr2710-print "${PRINT_RUNS:-50}"
echo
echo "== One receipt through a private print server (cupsd): ours beside lp + lpstat"
build/bench/bench_cups 20
