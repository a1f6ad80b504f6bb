# SPDX-License-Identifier: MIT
# The same sources warning-free under g++ and clang++.
source "$(dirname "$0")/../lib.sh"
need cmake make g++ clang libgtest-dev libbenchmark-dev
for compiler in g++ clang++; do
    echo "-- $compiler"
    cmake -S . -B "build-werror-$compiler" -DCMAKE_CXX_COMPILER="$compiler" \
        -DCMAKE_CXX_FLAGS=-Werror -DMKSREC_BENCH=ON >/dev/null
    cmake --build "build-werror-$compiler" --parallel
done
