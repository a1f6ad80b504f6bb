#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The program must start without the C++ runtime library: loading it takes a third of a
# millisecond on every run, more than converting a 64 KiB image. Usage: runtime.sh
# path/to/mksrec; exits 77 (skipped) where the libraries cannot be listed.
set -u
if ! command -v readelf >/dev/null; then
    echo "readelf not found: skipped"
    exit 77
fi
if ! dynamic=$(readelf --dynamic "$1" 2>&1); then
    echo "readelf cannot read $1: skipped"
    echo "$dynamic"
    exit 77
fi
# Lines like: 0x0000000000000001 (NEEDED)  Shared library: [libc.so.6]
needed=$(awk '/\(NEEDED\)/ { gsub(/[][]/, "", $NF); print $NF }' <<<"$dynamic")
echo "needs: ${needed:-nothing}"
if grep -E '^lib(std)?c\+\+' <<<"$needed"; then
    echo "FAIL: the program needs a C++ runtime library"
    exit 1
fi
