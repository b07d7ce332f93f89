#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Runs a command on a private X display. Xvfb picks a free display number itself and reports
# it (-displayfd), so runs in parallel, or beside other X servers, never race for one. It never
# resets when its last client leaves (-noreset): a reset refuses clients that connect meanwhile,
# such as a window manager starting while a short-lived xprop disconnects.
#   tests/run-in-xvfb.sh COMMAND [ARGS...]
set -euo pipefail
# shellcheck source=scripts/running-child.sh
. "$(dirname "$0")/../scripts/running-child.sh"
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset 3>"$work/display" \
    2>"$work/xvfb.log" &
xvfb=$!
trap 'stop_child "$xvfb"; rm -rf "$work"' EXIT
# The number arrives as one line once the server accepts connections.
for _ in $(seq 400); do
    [[ $(wc -l <"$work/display") -ge 1 ]] && break
    if ! running_child "$xvfb"; then
        echo "run-in-xvfb.sh: Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        exit 1
    fi
    sleep 0.05
done
if [[ $(wc -l <"$work/display") -lt 1 ]]; then
    echo "run-in-xvfb.sh: Xvfb gave no display number within 20 s:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
fi
status=0
DISPLAY=":$(head -n 1 "$work/display")" "$@" || status=$?
exit "$status"
