# SPDX-License-Identifier: MIT
# The whole suite with the portable encoder, the one every target without SSE2 or NEON
# builds, so that both encoders are tested on this machine; the benchmarks built too, so
# that g++ compiles every file of the project warning-free.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need g++ valgrind strace libbenchmark-dev
suite build-portable 2 -DMKSREC_PORTABLE=ON -DMKSREC_BENCH=ON
