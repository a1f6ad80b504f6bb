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
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# readme_command HEADING N: the Nth sh block under the README's "## HEADING", verbatim, so
# that CI runs exactly what a reader is told to run.
readme_command() {
    awk -v heading="## $1" -v n="$2" '
        /^## / { inside = ($0 == heading) }
        inside && /^```sh$/ { block++; next }
        inside && /^```$/ { if (block == n) exit; next }
        inside && block == n { print }' README.md
}

# suite DIR JOBS CMAKE_OPTION...: builds into DIR with warnings as errors and GoogleTest
# compiled from Debian's sources by the same compiler (a prebuilt libgtest links only for
# the machine and the C++ library it was built for), then runs the whole suite, JOBS tests
# at a time, and names what the end-to-end script skipped.
suite() {
    local dir=$1 jobs=$2
    shift 2
    need cmake make googletest binutils
    cmake -S . -B "$dir" -DMKSREC_GTEST_SOURCE=/usr/src/googletest -DCMAKE_CXX_FLAGS=-Werror \
        "$@" >/dev/null
    cmake --build "$dir" --parallel
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
    grep -h '^SKIP:' "$dir/Testing/Temporary/LastTest.log" || true
}

# sample_converts [EMULATOR...] PROGRAM: the shipped sample converts to exactly the shipped
# S-record file (CR LF line ends, nothing more).
sample_converts() {
    "$@" 16 8000 examples/sample.bin "$scratch/sample.srec" >/dev/null
    cmp "$scratch/sample.srec" examples/sample.srec
    echo "examples/sample.bin converts to exactly examples/sample.srec"
}
