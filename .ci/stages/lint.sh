# SPDX-License-Identifier: MIT
# clang-tidy (.clang-tidy), cppcheck (.cppcheck-suppressions) and, on the scripts of .ci/ and
# tests/, shellcheck (.shellcheckrc): any finding fails.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need cmake make clang clang-tidy cppcheck libgtest-dev libbenchmark-dev git shellcheck
# First: it takes a second.
git ls-files .ci/run '.ci/*.sh' 'tests/*.sh' | xargs shellcheck
# Configuring is enough: clang-tidy reads the compile commands, nothing is built.
cmake -S . -B build-lint -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DMKSREC_BENCH=ON >/dev/null
git ls-files '*.cpp' | xargs -n 1 -P 2 clang-tidy -p build-lint --quiet
cppcheck --enable=warning,style,performance,portability --std=c++17 --library=googletest \
    --library=posix --error-exitcode=1 --inline-suppr --suppressions-list=.cppcheck-suppressions \
    --quiet -I srecord -I app srecord app bench fuzz tests
