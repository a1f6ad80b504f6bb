# SPDX-License-Identifier: MIT
# Sourced by every stage: strict mode, the repository as working directory, a scratch
# directory removed on exit, and `need` to install missing Debian packages.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# need PACKAGE...: installs the packages that are not installed yet, without prompts and
# without recommends, so that a stage works on a fresh machine and costs nothing on one
# that already has them.
need() {
    local missing=() package
    for package; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ "${#missing[@]}" -gt 0 ] || return 0
    echo "installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
        --no-install-recommends "${missing[@]}" >/dev/null
}

# readme_block HEADING LANGUAGE N: the Nth LANGUAGE block under the README's "## HEADING",
# verbatim, so that CI runs exactly what a reader is told to run. Indented blocks (inside a
# list item) count too; their indentation is removed.
readme_block() {
    awk -v heading="## $1" -v fence='```'"$2" -v n="$3" '
        /^## / { inside = ($0 == heading) }
        !inside { next }
        !open && $0 ~ "^ *" fence "$" { block++; open = 1; indent = index($0, "`") - 1; next }
        open && $0 ~ "^ *```$" { open = 0; if (block == n) exit; next }
        open && block == n { print substr($0, 1, indent) ~ /^ *$/ ? substr($0, indent + 1) : $0 }' README.md
}
readme_command() { readme_block "$1" sh "$2"; }

# suite DIR JOBS CMAKE_OPTION...: builds into DIR with warnings as errors and GoogleTest
# compiled from Debian's sources by the same compiler (a prebuilt libgtest links only for
# the machine and the C++ library it was built for), then runs the whole suite, JOBS tests
# at a time, and shows what the scripts counted and skipped.
suite() {
    local dir=$1 jobs=$2
    shift 2
    need cmake make googletest binutils
    cmake -S . -B "$dir" -DMKSREC_GTEST_SOURCE=/usr/src/googletest -DCMAKE_CXX_FLAGS=-Werror \
        "$@" >/dev/null
    cmake --build "$dir" --parallel
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
    grep -hE '^skipped: |^[0-9]+ passed, [0-9]+ failed' "$dir/Testing/Temporary/LastTest.log" || true
}

# sample_converts [EMULATOR...] PROGRAM: the shipped sample converts to exactly the shipped
# S-record file (CR LF line ends, nothing more).
sample_converts() {
    "$@" 16 8000 examples/sample.bin "$scratch/sample.srec" >/dev/null
    cmp "$scratch/sample.srec" examples/sample.srec
    echo "examples/sample.bin converts to exactly examples/sample.srec"
}
