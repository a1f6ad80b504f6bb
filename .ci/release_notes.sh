#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# release_notes.sh VERSION: the body of CHANGELOG.md's section for VERSION, the release's
# notes; fails when there is none or it is empty.
set -euo pipefail
cd "$(dirname "$0")/.."
notes=$(awk -v heading="## [$1]" '
    index($0, heading) == 1 { inside = 1; next }
    inside && /^## \[/ { exit }
    inside' CHANGELOG.md)
[ -n "${notes//[[:space:]]/}" ] || { echo "CHANGELOG.md has no notes for $1" >&2; exit 1; }
printf '%s\n' "$notes"
