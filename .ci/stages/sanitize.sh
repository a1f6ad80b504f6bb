# SPDX-License-Identifier: MIT
# The whole suite with AddressSanitizer and UndefinedBehaviorSanitizer.
source "$(dirname "$0")/../lib.sh"
need cmake make g++ libgtest-dev binutils strace
cmake -S . -B build-sanitize -DMKSREC_SANITIZE=ON >/dev/null
cmake --build build-sanitize --parallel
ctest --test-dir build-sanitize --output-on-failure
