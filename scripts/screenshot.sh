#!/usr/bin/env bash
# Takes docs/screenshot.png: the demo's window on a virtual X display (Xvfb) under openbox.
# Usage: scripts/screenshot.sh [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ -z "${VR2710_IN_XVFB:-}" ]]; then
    scripts/install-deps.sh
    scripts/build.sh >/dev/null
    VR2710_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 800x500x24 -dpi 96" "$0" "$@"
fi
output=${1:-docs/screenshot.png}
openbox >/dev/null 2>&1 &
wm=$!
build/vr2710-demo &
demo=$!
trap 'kill $demo $wm 2>/dev/null || true' EXIT
window=$(xdotool search --sync --name '^VR2710 Print Demo Program$' | head -n 1)
sleep 1 # let the window manager draw its frame
# The window manager's frame is the window's parent; capture the screen and crop to it.
frame=$(xwininfo -id "$window" -children | awk '/Parent window id/ {print $4}')
read -r x y width height < <(xwininfo -id "$frame" |
    awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
         /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
import -window root -crop "${width}x${height}+${x}+${y}" +repage "$output"
echo "wrote $output"
