# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# The project's scripts signal only processes that are their own running children: never an
# empty PID or 0 (`kill 0` signals the whole process group, the script and whoever started
# it included), never a child that has ended (bash reaps its children as they end, after which
# the number may belong to another process). Source this file, then:
#   running_child PID        true while PID is a background job (or coproc) of this shell
#   stop_child PID [SIGNAL]  sends SIGNAL (TERM unless given) if PID is one, then waits until
#                            it has ended; a trapped signal that cuts the wait short (another
#                            Ctrl+C) does not end the waiting

running_child() {
    [[ ${1:-} =~ ^[1-9][0-9]*$ ]] || return 1
    local running
    running=$'\n'$(jobs -pr)$'\n'
    [[ $running == *$'\n'"$1"$'\n'* ]]
}

stop_child() {
    local pid=${1:-} signal=${2:-TERM}
    running_child "$pid" || return 0
    kill -s "$signal" "$pid" 2>/dev/null || true
    while running_child "$pid"; do
        wait "$pid" 2>/dev/null || true
    done
}
