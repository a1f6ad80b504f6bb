# SPDX-License-Identifier: MIT
# The whole suite with the portable encoder, the one every target without SSE2 or NEON
# builds, so that both encoders are tested on this machine.
source "$(dirname "$0")/../lib.sh"
need cmake make g++ libgtest-dev binutils valgrind strace
cmake -S . -B build-portable -DMKSREC_PORTABLE=ON >/dev/null
cmake --build build-portable --parallel
ctest --test-dir build-portable --output-on-failure
