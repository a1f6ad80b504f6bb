# SPDX-License-Identifier: MIT
# Every C++ file as clang-format would write it (first: it takes a second).
source "$(dirname "$0")/../lib.sh"
need clang-format git
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
