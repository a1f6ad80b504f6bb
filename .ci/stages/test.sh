# SPDX-License-Identifier: MIT
# The README's test command, verbatim, with every tool the suite can use installed, so
# that nothing is skipped here.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need cmake make g++ libgtest-dev binutils valgrind strace
command=$(readme_block quick-start-test)
echo "$command"
bash -euo pipefail -c "$command"
