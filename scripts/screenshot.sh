#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Makes the README's pictures on a virtual X display (Xvfb) under openbox:
#   docs/screenshot.png  the demo's window
#   docs/receipt.png     the receipt the virtual printer renders for "Receipt 12 CPI"
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ -z "${VR2710_IN_XVFB:-}" ]]; then
    scripts/install-deps.sh
    scripts/build.sh >/dev/null
    VR2710_IN_XVFB=1 exec tests/run-in-xvfb.sh "$0" "$@"
fi
# shellcheck source=scripts/running-child.sh
. scripts/running-child.sh
work=$(mktemp -d)
demo='' printer='' wm=''
trap 'stop_child "$demo"; stop_child "$printer"; stop_child "$wm"; rm -rf "$work"' EXIT
openbox >/dev/null 2>&1 &
wm=$!
build/vr2710-virtual-printer --quiet --ports LPT1 --no-pacing --output "$work/receipts" \
    --env-file "$work/env" >/dev/null &
printer=$!
for _ in $(seq 100); do [[ -s "$work/env" ]] && break; sleep 0.1; done
env $(cat "$work/env") build/vr2710-demo &
demo=$!
window=$(xdotool search --sync --name '^VR2710 Print Demo Program$' | head -n 1)
sleep 1 # let the window manager draw its frame

# The window manager's frame is the window's parent; capture the screen and crop to it.
frame=$(xwininfo -id "$window" -children | awk '/Parent window id/ {print $4}')
read -r x y width height < <(xwininfo -id "$frame" |
    awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
         /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
import -window root -crop "${width}x${height}+${x}+${y}" +repage docs/screenshot.png
echo "wrote docs/screenshot.png"

# "LPT1" is selected at start; print at 12 CPI and keep what the printer made of it.
xdotool mousemove --window "$window" 308 72 click 1
for _ in $(seq 100); do ls "$work"/receipts/*.png >/dev/null 2>&1 && break; sleep 0.1; done
cp "$(ls "$work"/receipts/*.png | head -n 1)" docs/receipt.png
echo "wrote docs/receipt.png"
