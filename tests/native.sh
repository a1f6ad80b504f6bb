# SPDX-License-Identifier: MIT
# Sourced by the tests that watch the program under a tool, as `. native.sh TOOL PROGRAM
# [EMULATOR...]`: sets M to the program's absolute path and moves into a fresh directory,
# removed at exit. Exits 77 (skipped) where the program needs an emulator, whose own work
# the tool would watch, or where the tool is not installed.
# shellcheck disable=SC2034 # M is for the test that sources this
M=$(realpath "$2")
if [ "$#" -gt 2 ]; then
    echo "$1 cannot watch a program run by an emulator (${*:3}): skipped"
    exit 77
fi
if ! command -v "$1" >/dev/null; then
    echo "$1 not found: skipped"
    exit 77
fi
w=$(mktemp -d)
trap 'rm -rf "$w"' EXIT
cd "$w" || exit 2
