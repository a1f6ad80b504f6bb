# SPDX-License-Identifier: MIT
# clang-tidy (.clang-tidy) and cppcheck (.cppcheck-suppressions): any finding fails.
source "$(dirname "$0")/../lib.sh"
need cmake make clang clang-tidy cppcheck libgtest-dev libbenchmark-dev git
# Configuring is enough: clang-tidy reads the compile commands, nothing is built.
cmake -S . -B build-lint -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DMKSREC_BENCH=ON >/dev/null
git ls-files '*.cpp' | xargs -n 1 -P 2 clang-tidy -p build-lint --quiet
cppcheck --enable=warning,style,performance,portability --std=c++17 --library=googletest \
    --library=posix --error-exitcode=1 --inline-suppr --suppressions-list=.cppcheck-suppressions \
    --quiet -I srecord -I app srecord app bench fuzz tests
