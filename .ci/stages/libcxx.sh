# SPDX-License-Identifier: MIT
# clang++ with libc++, the standard library of macOS: every file warning-free (the
# benchmarks too) and the whole suite.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need clang libc++-dev libc++abi-dev valgrind

# docs/building.md's commands as a user runs them; then the suite with warnings as errors.
need googletest
run_block build-libcxx
# Debian's libbenchmark is built against libstdc++ and would not link here.
suite build-libcxx 2 -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-stdlib=libc++ \
    -DMKSREC_BENCH=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
