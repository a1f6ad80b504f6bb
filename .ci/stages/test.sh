# SPDX-License-Identifier: MIT
# The README's test command, verbatim, with every tool the suite can use installed, so
# that nothing is skipped here; then, in the same build, the benchmark command of
# docs/performance.md, to its end (its figures need a quiet machine: none is checked here).
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need cmake make g++ libgtest-dev binutils valgrind strace libbenchmark-dev
run_block quick-start-test
run_block benchmark
