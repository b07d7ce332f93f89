#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and starts the demo.
#   ./run.sh          the demo wired to the virtual printer: receipts appear in its window,
#                     in this terminal and as images in receipts/ (no hardware needed)
#   ./run.sh --real   the demo on the real devices (COM1 /dev/ttyS0, COM2 /dev/ttyS1, LPT1 /dev/lp0)
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh vr2710-demo vr2710-virtual-printer # only what it starts: the window opens sooner

if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: no display to open the window on; start it from a desktop session" >&2
    echo "        (or without one: tests/run-in-xvfb.sh ./run.sh)" >&2
    exit 1
fi

if [[ "${1:-}" == "--real" ]]; then
    shift
    exec build/vr2710-demo "$@"
fi

state=$(mktemp -d)
build/vr2710-virtual-printer --window --ports COM1,COM2,LPT1 --env-file "$state/env" &
printer=$!
trap 'kill "$printer" 2>/dev/null || true; wait "$printer" 2>/dev/null || true; rm -rf "$state"' EXIT
for _ in $(seq 100); do
    [[ -s "$state/env" ]] && break
    kill -0 "$printer" 2>/dev/null || { echo "run.sh: the virtual printer did not start" >&2; exit 1; }
    sleep 0.1
done
[[ -s "$state/env" ]] || { echo "run.sh: the virtual printer did not get ready" >&2; exit 1; }
# Read, never sourced: the file's paths come from $TMPDIR and may hold any character.
# shellcheck source=scripts/printer-env.sh
. scripts/printer-env.sh
load_printer_env "$state/env"
build/vr2710-demo "$@"
