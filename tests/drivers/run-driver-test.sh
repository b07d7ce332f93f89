#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# Prints through the kernel's real serial, USB-serial and parallel-port drivers without hardware:
# boots Debian's kernel under QEMU (software emulation) with an initramfs built here from
# busybox-static, the driver modules and vr2710-print with its libraries. QEMU captures what
# reaches each device in a file; the adapter is unplugged in the middle of the last job. The
# checker then compares the captures byte for byte and reads the jobs' results from the console.
# The adapter sits on a UHCI controller, which moves data in 1 ms USB frames as full-speed USB
# does (about half a megabyte a second here); QEMU's xHCI hands over a whole receipt within a few
# milliseconds, too fast to catch a job in the middle.
#   VR2710_PRINT=path/to/vr2710-print run-driver-test.sh CHECKER WORK_DIR
set -euo pipefail

# shellcheck source=scripts/running-child.sh
. "$(dirname "$0")/../../scripts/running-child.sh"
print_program=${VR2710_PRINT:?VR2710_PRINT must name the vr2710-print program}
checker=$1
work=$2

fail() {
    echo "run-driver-test: $*" >&2
    if [[ -s "$work/console.log" ]]; then
        echo "--- guest console ---" >&2
        tail -n 80 "$work/console.log" >&2
    fi
    exit 1
}

# Seconds since an $EPOCHREALTIME reading, to a tenth.
since() { awk -v from="$1" -v now="$EPOCHREALTIME" 'BEGIN { printf "%.1f", now - from }'; }

qemu_pid=
cleanup() {
    if running_child "$qemu_pid"; then kill "$qemu_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

begun=$EPOCHREALTIME
rm -rf "$work"
mkdir -p "$work/root"/{bin,modules,proc,sys,dev}
root=$work/root

# Debian's newest installed kernel that has its modules.
version=
for candidate in $(ls /lib/modules | sort -V -r); do
    if [[ -e "/boot/vmlinuz-$candidate" && -e "/lib/modules/$candidate/modules.dep" ]]; then
        version=$candidate
        break
    fi
done
[[ -n "$version" ]] || fail "no kernel with modules: install linux-image-amd64"
kernel=/boot/vmlinuz-$version
[[ -r "$kernel" ]] || fail "$kernel is not readable: run as root or make it readable"
modules=/lib/modules/$version

# The kernel unpacked once (kept beside the work folder): QEMU then starts it directly (PVH)
# instead of having it decompress itself under emulation, which takes about ten seconds here.
unpacked=$(dirname "$work")/vmlinux-$version
if [[ ! "$unpacked" -nt "$kernel" ]]; then
    xz_at=$(LC_ALL=C grep -abo -m1 $'\xfd7zXZ' "$kernel" | head -n1 | cut -d: -f1 || true)
    zstd_at=$(LC_ALL=C grep -abo -m1 $'\x28\xb5\x2f\xfd' "$kernel" | head -n1 | cut -d: -f1 || true)
    if [[ -n "$xz_at" ]]; then
        tail -c +$((xz_at + 1)) "$kernel" | xz -dc --single-stream >"$unpacked.part" 2>/dev/null || true
    elif [[ -n "$zstd_at" ]]; then
        tail -c +$((zstd_at + 1)) "$kernel" | zstd -qdc >"$unpacked.part" 2>/dev/null || true
    fi
    if [[ -s "$unpacked.part" && "$(head -c4 "$unpacked.part")" == $'\x7fELF' ]]; then
        mv "$unpacked.part" "$unpacked"
    else
        rm -f "$unpacked.part"
    fi
fi
[[ -s "$unpacked" ]] && kernel=$unpacked

# Driver modules, each after the ones it depends on.
declare -A loaded=()
order=()
add_module() {
    local path=$1 dependency
    [[ -n "${loaded[$path]:-}" ]] && return
    for dependency in $(grep "^$path:" "$modules/modules.dep" | cut -d: -f2); do
        add_module "$dependency"
    done
    loaded[$path]=1
    order+=("$path")
}
for name in uhci-hcd ftdi_sio parport_pc lp; do
    path=$(grep -oE "^[^:]*/${name}\.ko[^:]*" "$modules/modules.dep") ||
        fail "module $name not found for kernel $version"
    add_module "$path"
done
for path in "${order[@]}"; do
    file=$(basename "${path%.xz}")
    file=${file%.zst}
    case "$path" in
    *.xz) xz -dc "$modules/$path" >"$root/modules/$file" ;;
    *.zst) zstd -qdc "$modules/$path" >"$root/modules/$file" ;;
    *) cp "$modules/$path" "$root/modules/$file" ;;
    esac
    echo "$file" >>"$root/modules/order"
done

busybox=$(command -v busybox) || fail "busybox not found: install busybox-static"
ldd "$busybox" >/dev/null 2>&1 && fail "$busybox is not static: install busybox-static"
cp "$busybox" "$root/bin/busybox"

# vr2710-print and every library it loads, the dynamic loader included, at their own paths.
cp "$print_program" "$root/bin/vr2710-print"
libraries=$(ldd "$print_program" | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }') ||
    fail "cannot list the libraries of $print_program"
for library in $libraries; do
    mkdir -p "$root$(dirname "$library")"
    cp -L "$library" "$root$library"
done
for library in $libraries; do dirname "$library"; done | sort -u | paste -sd: >"$root/libdirs"
# The code pages come through iconv, which loads them at run time (ldd does not list them).
libc=$(realpath "$(ldd "$print_program" | awk '$1 == "libc.so.6" { print $3 }')")
gconv=$(dirname "$libc")/gconv
mkdir -p "$root$gconv"
cp -r "$gconv"/gconv-modules* "$gconv"/UTF-16.so "$gconv"/IBM437.so "$gconv"/IBM850.so \
    "$gconv"/IBM858.so "$gconv"/CP1252.so "$root$gconv/"
# Qt wants a UTF-8 locale, as on any Debian system.
mkdir -p "$root/usr/lib/locale"
cp -r /usr/lib/locale/C.utf8 "$root/usr/lib/locale/"

# The fault job's body: numbered lines, so that lost or repeated packets show (210 KB).
awk 'BEGIN { for (i = 0; i < 5000; i++) printf "LINE %06d THE ADAPTER IS UNPLUGGED NOW\r\n", i }' \
    >"$work/fault-body.txt"
cp "$work/fault-body.txt" "$root/fault-body.txt"

cp "$(dirname "$0")/guest-init.sh" "$root/init"
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet) >"$work/initramfs.cpio"
echo "run-driver-test: kernel and initramfs ($(du -m "$work/initramfs.cpio" | cut -f1) MB) ready in $(since "$begun") s"

touch "$work/console.log" "$work/ttyS1.bin" "$work/ttyUSB0.bin" "$work/lp0.bin"
started=$EPOCHREALTIME
coproc QEMU {
    exec qemu-system-x86_64 -accel tcg -cpu max -m 512 -nodefaults -display none -no-reboot \
        -kernel "$kernel" -initrd "$work/initramfs.cpio" \
        -append "console=ttyS0 quiet panic=-1 rdinit=/init" \
        -chardev file,id=console,path="$work/console.log" -serial chardev:console \
        -chardev file,id=uart,path="$work/ttyS1.bin" -serial chardev:uart \
        -chardev file,id=lpt,path="$work/lp0.bin" -parallel chardev:lpt \
        -device piix3-usb-uhci -chardev file,id=adapter,path="$work/ttyUSB0.bin" \
        -device usb-serial,id=adapter,chardev=adapter \
        -monitor stdio >"$work/monitor.log" 2>"$work/qemu.log"
}
qemu_pid=$QEMU_PID
monitor_input=${QEMU[1]}
monitor() { echo "$*" >&"$monitor_input"; }

# Waits (at most $2 s) until the console shows a line starting with $1; fails on a guest failure.
wait_for_console() {
    local marker=$1 limit=$(($2 + SECONDS))
    while ! grep -q "^$marker" "$work/console.log"; do
        grep -q '^@@FAIL' "$work/console.log" && fail "the guest failed"
        running_child "$qemu_pid" || fail "QEMU ended before '$marker'. $(cat "$work/qemu.log")"
        ((SECONDS < limit)) || fail "no '$marker' from the guest within $2 s"
        sleep 0.1
    done
}

wait_for_console @@READY 120
echo "run-driver-test: guest ready after $(since "$started") s"
wait_for_console @@UNPLUG-NOW 120
monitor device_del adapter
unplugged=$EPOCHREALTIME
echo "run-driver-test: adapter unplugged after $(grep -a '^@@UNPLUG-NOW' "$work/console.log" | cut -d' ' -f2) bytes of the job"
# The job's no-progress bound is 10 s; a vanished device should fail it long before that.
wait_for_console "@@JOB unplug" 20
echo "run-driver-test: fault job ended $(since "$unplugged") s after the unplug"
wait_for_console @@DONE 30
limit=$((SECONDS + 30))
while running_child "$qemu_pid"; do
    ((SECONDS < limit)) || fail "QEMU did not end after the guest powered off"
    sleep 0.1
done
echo "run-driver-test: guest done after $(since "$started") s"

VR2710_DRIVER_CAPTURES=$work "$checker"
