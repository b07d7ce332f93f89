#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
#
# The Debian package as a distribution and a user meet it: made from a built tree with CPack,
# clean under lintian, its AppStream and desktop files valid, and, unpacked into a scratch
# root, its demo opening a window whose class matches the launcher.
#   tests/check-package.sh BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=scripts/running-child.sh
. "$here/../scripts/running-child.sh"

# Inside the private X display: start the unpacked demo and read its window's class.
if [[ "${1:-}" == --check-window ]]; then
    root=$2 desktop_file=$3
    QT_QPA_PLATFORM=xcb "$root/usr/bin/vr2710-demo" &
    demo=$!
    trap 'stop_child "$demo"' EXIT
    desktop_id=$(basename "$desktop_file" .desktop)
    # Up to 30 s for the window to map, less if the demo ends first.
    window=
    for _ in $(seq 300); do
        window=$(xdotool search --onlyvisible --class "^${desktop_id//./\\.}\$" | head -n 1) || true
        [[ -n "$window" ]] && break
        running_child "$demo" || break
        sleep 0.1
    done
    if [[ -z "$window" ]]; then
        echo "FAIL: the installed demo mapped no window of class $desktop_id within 30 s" >&2
        running_child "$demo" || echo "      (it is no longer running)" >&2
        xwininfo -root -tree | grep -v '(has no name)' >&2 || true
        exit 1
    fi
    # WM_CLASS(STRING) = "<instance>", "<class>"
    class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = ".*", "\(.*\)"$/\1/p')
    startup_class=$(sed -n 's/^StartupWMClass=//p' "$desktop_file")
    if [[ "$class" != "$desktop_id" || "$startup_class" != "$class" ]]; then
        echo "FAIL: window class \"$class\", desktop id \"$desktop_id\"," \
            "StartupWMClass \"$startup_class\": all three must be the same" >&2
        exit 1
    fi
    echo "PASS: the installed demo maps its window, class $class"
    exit 0
fi

build=$(cd "${1:?usage: check-package.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The package goes to a scratch folder: the build tree keeps no packaging leftovers.
if ! "${CPACK:-cpack}" --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    echo "FAIL: cpack could not make the package" >&2
    exit 1
fi
packages=("$work"/cpack/*.deb)
[[ ${#packages[@]} -eq 1 && -f "${packages[0]}" ]] || {
    cat "$work/cpack.log" >&2
    echo "FAIL: expected one .deb from cpack, found: ${packages[*]}" >&2
    exit 1
}
package=${packages[0]}
echo "made $(basename "$package") ($(du -k "$package" | cut -f1) KiB)"

# The print-server module is loaded, not linked: its libcups must still reach Depends.
dpkg-deb -f "$package" Depends | grep -q 'libcups2' ||
    { echo "FAIL: Depends lacks libcups2: $(dpkg-deb -f "$package" Depends)" >&2; exit 1; }
# No error and no warning; lintian prints every tag it finds.
lintian --no-cfg --fail-on error,warning "$package"
echo "PASS: lintian"

root=$work/root
dpkg -x "$package" "$root"
metainfo=$root/usr/share/metainfo/org.vr2710.Demo.metainfo.xml
desktop_file=$root/usr/share/applications/org.vr2710.Demo.desktop
appstreamcli validate --no-net --strict "$metainfo"
desktop-file-validate "$desktop_file"
# Software centres lay the screenshot out by the size the metainfo gives: it must be the image's.
screenshot=$here/../docs/screenshot.png
stated=$(sed -n 's/.*<image type="source" width="\([0-9]*\)" height="\([0-9]*\)".*/\1x\2/p' "$metainfo")
actual=$(identify -format '%wx%h' "$screenshot")
if [[ "$stated" != "$actual" ]]; then
    echo "FAIL: the metainfo gives the screenshot as ${stated:-no size}; docs/screenshot.png is $actual" >&2
    exit 1
fi
echo "PASS: AppStream metainfo and desktop file"

"$here/run-in-xvfb.sh" "$0" --check-window "$root" "$desktop_file"
