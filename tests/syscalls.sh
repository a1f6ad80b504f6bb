#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Counts the system calls of a 16 MiB conversion (a million records): the input must be
# read and the output written a block at a time, not a record at a time. A count needs no
# timing, so this holds on any machine. Usage: syscalls.sh path/to/mksrec [EMULATOR...];
# exits 77 (skipped) where it cannot count.
set -u
# shellcheck source=native.sh
. "$(dirname "$0")/native.sh" strace "$@"
head -c 16777216 /dev/urandom >in
# LeakSanitizer cannot run under a tracer; a sanitized build's leaks are the other tests'.
if ! ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    strace -c -f -o counts "$M" 16 0 in out >/dev/null; then
    echo "FAIL: the conversion did not succeed"
    cat counts
    exit 1
fi
# strace -c prints one row per call: % time, seconds, usecs/call, calls, [errors,] name.
calls() { awk -v name="$1" '$NF == name { print $4 }' counts; }
reads=$(calls read)
writes=$(calls write)
# 16 MiB in and 48 MB out are a few hundred blocks; a record at a time would be a million.
limit=1000
echo "read: ${reads:-none}, write: ${writes:-none} (each at least 1, at most $limit)"
if [ "${reads:-0}" -lt 1 ] || [ "${writes:-0}" -lt 1 ] || [ "$reads" -gt "$limit" ] ||
    [ "$writes" -gt "$limit" ]; then
    echo "FAIL: system calls out of range"
    cat counts
    exit 1
fi
