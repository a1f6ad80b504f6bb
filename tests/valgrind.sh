#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs mksrec under valgrind on a success and on every failure path: no memory error, no
# leak, and no descriptor of its own left open at exit (inherited ones are the caller's).
# Usage: valgrind.sh path/to/mksrec [EMULATOR...]; exits 77 (skipped) where it cannot run.
set -u
# shellcheck source=native.sh
. "$(dirname "$0")/native.sh" valgrind "$@"
head -c 1000 /dev/urandom >in
head -c 40000 /dev/urandom >big
pass=0 fail=0

# v NAME STATUS ARGS...
v() {
    local name=$1 status=$2
    shift 2
    (trap "" XFSZ; $prefix valgrind -q --leak-check=full --errors-for-leak-kinds=all \
        --track-fds=yes --error-exitcode=99 --log-file=log "$M" "$@") >/dev/null 2>&1
    local got=$? why=""
    prefix=""
    [ "$got" = "$status" ] || why+=" status $got, not $status;"
    # An open descriptor is the program's own unless valgrind says it was inherited.
    local own
    own=$(awk '/Open file descriptor/ { n++; getline; if ($0 ~ /inherited from parent/) n-- }
               END { print n + 0 }' log)
    [ "$own" = 0 ] || why+=" $own descriptors left open;"
    if [ -z "$why" ]; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        echo "FAIL: $name:$why"
        cat log
    fi
}
prefix=""

v "success" 0 16 8000 in out
v "empty input" 0 16 0 /dev/null out
v "argument count" 255 16 0 in
v "zero per record" 255 0 0 in out
v "negative per record" 255 -1 0 in out
v "invalid address" 255 16 zz in out
v "missing input" 255 16 0 missing out
v "same file" 255 16 0 in in
v "output not opened" 255 16 0 in no/out
# Reading the first page of its own memory fails: nothing is mapped there.
v "read error" 255 16 0 /proc/self/mem out
v "record too long" 255 17 0 in out
v "address overflow" 255 16 fffff0 in out
v "disk full" 255 16 0 big /dev/full
prefix="prlimit --fsize=10000"
v "file size limit" 255 16 0 big out

echo "$pass passed, $fail failed"
[ "$fail" = 0 ]
