# SPDX-License-Identifier: MIT
# clang-tidy (.clang-tidy), cppcheck (.cppcheck-suppressions) and, on the scripts of .ci/,
# .github/ and tests/, shellcheck (.shellcheckrc); the hosted CI's workflows and setup action
# (.ci/workflows.sh): any finding fails.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need cmake make clang clang-tidy cppcheck libgtest-dev libbenchmark-dev git shellcheck
# First: it takes a second.
git ls-files .ci/run '.ci/*.sh' '.github/*.sh' 'tests/*.sh' | xargs shellcheck
bash .ci/workflows.sh
# Configuring is enough: clang-tidy reads the compile commands, nothing is built.
cmake -S . -B build-lint -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
    -DMKSREC_BENCH=ON >/dev/null
git ls-files '*.cpp' | xargs -n 1 -P 2 clang-tidy -p build-lint --quiet
cppcheck --enable=warning,style,performance,portability --std=c++17 --library=googletest \
    --library=posix --error-exitcode=1 --inline-suppr --suppressions-list=.cppcheck-suppressions \
    --quiet -I srecord -I app srecord app bench fuzz tests
