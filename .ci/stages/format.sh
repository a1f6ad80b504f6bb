# SPDX-License-Identifier: MIT
# Every C++ file as clang-format would write it, and every file with its licence line (first:
# it takes a second).
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need clang-format git
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
# Every source, script and build file names its licence in its first lines.
untagged=$(git ls-files '*.cpp' '*.h' '*.sh' '*.py' '*.cmake' '*CMakeLists.txt' .ci/run .ci/platforms \
    .shellcheckrc debian/rules |
    xargs grep -L 'SPDX-License-Identifier: MIT' || true)
[ -z "$untagged" ] || { echo "no SPDX-License-Identifier line in:"; echo "$untagged"; exit 1; }
