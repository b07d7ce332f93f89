#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Runs a command as a client of a private headless Wayland compositor (weston). The compositor
# logs every request it receives (WAYLAND_DEBUG=server) to the file named in VR2710_WESTON_LOG,
# so a test can see what reached it, and when.
#   tests/run-in-weston.sh COMMAND [ARGS...]
set -euo pipefail
# shellcheck source=scripts/running-child.sh
. "$(dirname "$0")/../scripts/running-child.sh"
work=$(mktemp -d)
chmod 700 "$work"
export XDG_RUNTIME_DIR="$work"
socket=vr2710-test
WAYLAND_DEBUG=server weston --backend=headless-backend.so --socket="$socket" --idle-time=0 \
    >"$work/weston.log" 2>&1 &
weston=$!
trap 'stop_child "$weston"; rm -rf "$work"' EXIT
for _ in $(seq 200); do
    [[ -S "$work/$socket" ]] && break
    if ! running_child "$weston"; then
        echo "run-in-weston.sh: weston did not start:" >&2
        cat "$work/weston.log" >&2
        exit 1
    fi
    sleep 0.05
done
if [[ ! -S "$work/$socket" ]]; then
    echo "run-in-weston.sh: weston offered no socket within 10 s:" >&2
    tail -n 20 "$work/weston.log" >&2
    exit 1
fi
status=0
WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland VR2710_WESTON_LOG="$work/weston.log" "$@" ||
    status=$?
exit "$status"
