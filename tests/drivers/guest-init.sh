#!/bin/busybox sh
# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# The guest's /init: loads the port drivers, prints every pitch on each real device, then the
# fault job, and reports to the console (the host reads lines that start with "@@").
/bin/busybox --install -s /bin
export PATH=/bin LANG=C.UTF-8 LD_LIBRARY_PATH=$(cat /libdirs)
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# Lock files go where Debian keeps them (/var/lock is a link to /run/lock there).
mkdir -p /tmp /run/lock /var
ln -s /run/lock /var/lock

finish() {
    echo "@@DONE"
    sync
    poweroff -f
}

for module in $(cat /modules/order); do
    insmod "/modules/$module" || echo "@@FAIL insmod $module"
done

# The USB adapter and the parallel port appear once their drivers have probed.
waited=0
while [ ! -c /dev/ttyUSB0 ] || [ ! -c /dev/lp0 ] || [ ! -c /dev/ttyS1 ]; do
    if [ $waited -ge 300 ]; then
        echo "@@FAIL devices missing after 30 s: $(ls /dev)"
        dmesg | tail -40
        finish
    fi
    sleep 0.1
    waited=$((waited + 1))
done
# Kernel messages stay off the console while the jobs report; they follow at the end.
dmesg -n 1
echo "@@READY"

export VR2710_COM1=/dev/ttyUSB0 VR2710_COM2=/dev/ttyS1 VR2710_LPT1=/dev/lp0

# Reports one job: its name, exit code, seconds taken and standard error line by line.
run_job() {
    name=$1
    shift
    started=$(date +%s)
    vr2710-print "$@" 2>/tmp/stderr
    code=$?
    echo "@@JOB $name exit=$code seconds=$(($(date +%s) - started))"
    while IFS= read -r line; do echo "@@STDERR $name $line"; done </tmp/stderr
}

for port in COM1 COM2 LPT1; do
    for pitch in 15 12 8; do
        run_job "$port-$pitch" --port "$port" --pitch "$pitch"
    done
done

# The fault job: held (SIGSTOP) once it has written 64 KB of its 210 KB, so that it is surely in
# the middle, while the host unplugs the adapter; then it runs on into the vanished device.
vr2710-print --port COM1 --pitch 15 --body /fault-body.txt 2>/tmp/stderr &
job=$!
written=0
read -r now _ </proc/uptime
limit=$((${now%.*} + 60))
while [ "$written" -lt 65536 ]; do
    if ! { read -r _ _ && read -r _ written; } </proc/$job/io 2>/dev/null; then
        echo "@@FAIL the fault job ended before the unplug"
        finish
    fi
    read -r now _ </proc/uptime
    [ "${now%.*}" -lt $limit ] || { echo "@@FAIL the fault job wrote $written bytes in 60 s"; finish; }
done
kill -STOP $job
echo "@@UNPLUG-NOW $written"
waited=0
while [ -e /dev/ttyUSB0 ]; do
    [ $waited -lt 200 ] || { echo "@@FAIL /dev/ttyUSB0 still there 20 s after the unplug"; finish; }
    sleep 0.1
    waited=$((waited + 1))
done
read -r resumed _ </proc/uptime
kill -CONT $job
wait $job
code=$?
read -r ended _ </proc/uptime
echo "@@JOB unplug exit=$code seconds=$(echo "$ended $resumed" | awk '{ print $1 - $2 }')"
while IFS= read -r line; do echo "@@STDERR unplug $line"; done </tmp/stderr
echo "@@LOCKS $(ls /run/lock | tr '\n' ' ')"
dmesg | tail -n 15
finish
