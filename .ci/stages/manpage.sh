# SPDX-License-Identifier: MIT
# The manual page through two independent linters; any warning fails.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need groff-base mandoc
# -ww -z prints every warning and nothing else: any output is a finding.
lint=$(groff -man -ww -z docs/mksrec.1 2>&1)
[ -z "$lint" ] || { echo "$lint"; exit 1; }
mandoc -Tlint docs/mksrec.1
