#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and starts the demo.
#   ./run.sh          the demo wired to the virtual printer: receipts appear in its window,
#                     in this terminal and as images in receipts/ (no hardware needed)
#   ./run.sh --real   the demo on the real devices (COM1 /dev/ttyS0, COM2 /dev/ttyS1, LPT1 /dev/lp0)
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh --run # what running needs; ./test.sh brings the tests' own
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

# shellcheck source=scripts/running-child.sh
. scripts/running-child.sh
state=$(mktemp -d)
printer=
# However the demo ends (Exit, Esc, closing it, Ctrl+C here), the printer is then stopped with
# SIGTERM and waited for: it first reads and saves what the demo had already sent to it, so no
# receipt is cut. Ctrl+C reaches the demo and the printer alike; this script ignores it but
# for ending, so that it still waits for the printer (a second Ctrl+C does not cut that short).
trap 'stop_child "$printer" TERM; rm -rf "$state"' EXIT
trap ':' INT
# Side by side on a 1280x800 screen: the demo (491x313) on the left, the printer's window
# (638x640) on the right. Qt's -qwindowgeometry places a program's first window on X11; on
# Wayland the compositor places windows itself.
build/vr2710-virtual-printer --window --wired --ports COM1,COM2,LPT1 --env-file "$state/env" \
    -qwindowgeometry +560+40 &
printer=$!
for _ in $(seq 100); do
    [[ -s "$state/env" ]] && break
    running_child "$printer" || { echo "run.sh: the virtual printer did not start" >&2; exit 1; }
    sleep 0.1
done
[[ -s "$state/env" ]] || { echo "run.sh: the virtual printer did not get ready" >&2; exit 1; }
# Read, never sourced: the file's paths come from $TMPDIR and may hold any character.
# shellcheck source=scripts/printer-env.sh
. scripts/printer-env.sh
load_printer_env "$state/env"
echo "The demo prints to the virtual printer; closing the demo (or Ctrl+C) ends both."
build/vr2710-demo -qwindowgeometry +40+40 "$@"
