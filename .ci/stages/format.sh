# SPDX-License-Identifier: MIT
# Every C++ file as clang-format would write it, and every file with its licence line (first:
# it takes a second).
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need clang-format git
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
# Every source, script and build file names its licence in its first lines.
untagged=$(git ls-files '*.cpp' '*.h' '*.sh' '*.py' '*.cmake' '*CMakeLists.txt' .ci/run cmake/platforms \
    .shellcheckrc debian/rules |
    xargs grep -L 'SPDX-License-Identifier: MIT' || true)
[ -z "$untagged" ] || { echo "no SPDX-License-Identifier line in:"; echo "$untagged"; exit 1; }
# Every code block of the README and docs/ is run by a stage, or says why not, or is text.
unmarked=$(awk '
    FNR == 1 { open = 0 }
    /^ *```/ {
        if (open) { open = 0; next }
        open = 1
        info = $0; sub(/^ *```/, "", info)
        if (info != "text" && previous !~ /^ *<!-- (ci: [a-z0-9-]+|not run: .+) -->$/)
            print FILENAME ":" FNR ": " $0
    }
    { previous = $0 }' "${docs[@]}")
[ -z "$unmarked" ] || { echo "code blocks without a ci or not-run mark:"; echo "$unmarked"; exit 1; }
