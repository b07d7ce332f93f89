# SPDX-FileCopyrightText: 2026 The VR2710 Demo Developers
# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# load_printer_env FILE: exports the VR2710_* assignments that vr2710-virtual-printer writes
# with --env-file, without running anything in the file. Each assignment is NAME=VALUE, the
# value a shell word as the printer quotes it: plain, or in single quotes with ' written as
# '\''. Anything else in the file is refused. Paths may hold any byte, line breaks included.
load_printer_env() {
    local LC_ALL=C # bytes, whatever the locale
    local rest name value
    local assignment='^(VR2710_[A-Z0-9_]+)='
    local quoted="^'([^']*)'"
    local escaped_quote="^\\\\'"
    local plain='^[A-Za-z0-9_@%+=:,./-]+'
    rest=$(cat -- "$1" && printf x) || return 1
    rest=${rest%x}
    while [[ -n $rest ]]; do
        if ! [[ $rest =~ $assignment ]]; then
            echo "load_printer_env: $1 holds something other than VR2710_* assignments" >&2
            return 1
        fi
        name=${BASH_REMATCH[1]}
        rest=${rest:${#BASH_REMATCH[0]}}
        value=
        while [[ -n $rest && $rest != $'\n'* ]]; do
            if [[ $rest =~ $quoted ]]; then
                value+=${BASH_REMATCH[1]}
            elif [[ $rest =~ $escaped_quote ]]; then
                value+="'"
            elif [[ $rest =~ $plain ]]; then
                value+=${BASH_REMATCH[0]}
            else
                echo "load_printer_env: $1: the value of $name is not quoted as expected" >&2
                return 1
            fi
            rest=${rest:${#BASH_REMATCH[0]}}
        done
        rest=${rest#$'\n'}
        export "$name=$value"
    done
}
