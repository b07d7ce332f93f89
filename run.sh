#!/usr/bin/env bash
# Installs what is missing, builds, and starts the demo program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
scripts/build.sh
if [[ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    echo "run.sh: no display to open the window on; start it from a desktop session" >&2
    echo "        (or without one: xvfb-run -a ./run.sh)" >&2
    exit 1
fi
exec build/vr2710-demo "$@"
