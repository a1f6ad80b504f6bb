# SPDX-License-Identifier: MIT
# Sourced by every stage: strict mode, the repository as working directory, a scratch
# directory removed on exit, and `need` to install missing Debian packages.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scratch=$(mktemp -d)
# on_exit COMMAND: COMMAND runs when the stage ends, however it ends, before the scratch
# directory goes; the last one given runs first.
exits=()
on_exit() { exits=("$1" "${exits[@]}"); }
end_stage() {
    local command
    for command in "${exits[@]}"; do eval "$command"; done
    cleanup_root
}
trap end_stage EXIT

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

# The documents whose code blocks a user may copy: each block is marked on the line right
# above its opening fence, "<!-- ci: NAME -->" when a stage runs it (readme_block NAME),
# "<!-- not run: REASON -->" when none does, or it is a ```text block, shown and never run.
docs=(README.md docs/*.md)

# readme_block NAME: the code block of the README or docs/ marked "<!-- ci: NAME -->",
# verbatim (an indented one, inside a list item, loses its indentation), so that CI runs
# exactly what a reader is told to run, and a block added to the documents changes nothing
# that CI picks. A name that marks no block, or two, fails.
readme_block() {
    local mark="<!-- ci: $1 -->" marks file
    marks=$(cat "${docs[@]}" | grep -c -- "^ *$mark\$") || true
    [ "$marks" = 1 ] || { echo "the documents mark $marks blocks '$1', not one" >&2; exit 1; }
    file=$(grep -l -- "^ *$mark\$" "${docs[@]}")
    awk -v mark="$mark" '
        !armed { line = $0; sub(/^ */, "", line); armed = line == mark; next }
        !open { if ($0 !~ /^ *```/) exit 1; open = 1; indent = index($0, "`") - 1; next }
        /^ *```$/ { exit }
        { print substr($0, 1, indent) ~ /^ *$/ ? substr($0, indent + 1) : $0 }' "$file" ||
        { echo "$file: the mark '$1' is not right above a code block" >&2; exit 1; }
}

# has_block NAME: whether the documents mark a block NAME. grep reads the files itself: fed
# through a pipe, its early exit on a match could fail the writer (SIGPIPE) and, with
# pipefail, the answer.
has_block() { grep -q -- "^ *<!-- ci: $1 -->\$" "${docs[@]}"; }

# run_block NAME: the documents' block NAME, shown and run here as it stands.
run_block() {
    local command
    command=$(readme_block "$1") || exit 1
    echo "-- $1: $command"
    bash -euo pipefail -c "$command"
}

# suite DIR JOBS CMAKE_OPTION...: builds into DIR with the project's warnings as errors
# (MKSREC_WERROR) and GoogleTest compiled from Debian's sources by the same compiler (a
# prebuilt libgtest links only for the machine and the C++ library it was built for), then
# runs the whole suite, JOBS tests at a time, and shows what the scripts counted and skipped.
suite() {
    local dir=$1 jobs=$2
    shift 2
    need cmake make googletest binutils
    cmake -S . -B "$dir" -DMKSREC_GTEST_SOURCE=/usr/src/googletest -DMKSREC_WERROR=ON \
        "$@" >/dev/null
    cmake --build "$dir" --parallel
    ctest --test-dir "$dir" --output-on-failure -j "$jobs"
    grep -hE '^skipped: |^[0-9]+ passed, [0-9]+ failed' "$dir/Testing/Temporary/LastTest.log" || true
}

# sample_converts WHERE COMMAND...: COMMAND, given the words 16 8000, the shipped sample
# image and an output path, writes exactly the shipped S-record file (CR LF line ends,
# nothing more); says so for WHERE.
sample_converts() {
    local where=$1
    shift
    rm -f "$scratch/sample.srec"
    "$@" 16 8000 examples/sample.bin "$scratch/sample.srec" >/dev/null
    cmp "$scratch/sample.srec" examples/sample.srec
    echo "$where: examples/sample.bin converts to exactly examples/sample.srec"
}

# project_version: the version that CMakeLists.txt gives the project.
project_version() { sed -n 's/^project(mksrec VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt; }

# hardening_check PROGRAM: Debian's hardening-check finds every protection in an x86-64
# program. Control-flow integrity is left to the objdump check: the linker marks a program
# for it only when every object linked in is marked, and Debian 12's C library start files
# (Scrt1.o, crti.o) are not; the protection itself is the endbr64 at mksrec's own branch
# targets.
hardening_check() {
    need devscripts binutils
    hardening-check --nocfprotection "$1"
    local targets
    targets=$(objdump -d "$1" | grep -c endbr64) || { echo "$1: no endbr64, built without -fcf-protection"; exit 1; }
    echo "$1: endbr64 at $targets branch targets (-fcf-protection)"
}

# fresh_root: a minimal Debian 12 root in $root (debootstrap --variant=minbase from the mirror
# this machine already uses), with this machine's /proc and /dev mounted in it and apt's
# lists fetched; unmounted and removed on exit.
fresh_root() {
    need debootstrap
    root=$scratch/root
    # The first deb URI of this machine's apt sources, in either format: "URIs: URI" in a
    # .sources file, "deb [options] URI suite" in a list.
    local mirror
    mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list \
        /etc/apt/sources.list 2>/dev/null | awk '$1 == "URIs:" || $1 == "deb" {
            for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) { print $i; exit } }' || true)
    [ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources"; exit 1; }
    echo "debootstrap from $mirror"
    debootstrap --variant=minbase bookworm "$root" "$mirror" >"$scratch/debootstrap.log" 2>&1 ||
        { tail -n 30 "$scratch/debootstrap.log"; exit 1; }
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount --make-rslave "$root/dev"
    inside / "apt-get update -qq"
}

# The root holds mounts of this machine's /proc and /dev: they must be gone before anything
# is removed, or the removal would reach into the real ones.
cleanup_root() {
    [ -n "${root:-}" ] || { rm -rf "$scratch"; return; }
    umount -R "$root/dev" "$root/proc" 2>/dev/null || umount -R -l "$root/dev" "$root/proc" 2>/dev/null
    # Not a pipe: grep stopping at a match could fail findmnt (SIGPIPE) and, with pipefail, the test.
    if grep -q "^$root/" <(findmnt -rn -o TARGET); then
        echo "still mounted under $root: not removed" >&2
        return
    fi
    rm -rf --one-file-system "$scratch"
}

# inside DIR COMMAND: runs COMMAND with bash in DIR of the root, as root with a clean
# environment, as a user's shell would (the umask is the caller's).
inside() {
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive bash -euo pipefail -c "cd \"\$0\" && $2" "$1"
}

# start_wine: a wine prefix of the stage's own, made before any program runs: its first
# start prints configuration messages, and the server and services it starts would inherit,
# and hold open, the output of whichever program started them. Stopped when the stage ends.
# $wine/wine64 itself runs programs: the wine wrapper prints a hint on every run.
wine=/usr/lib/wine
start_wine() {
    need wine64
    export WINEDEBUG=-all WINEPREFIX="$scratch/wine"
    mkdir -p "$WINEPREFIX"
    "$wine/wineserver" -p </dev/null >/dev/null 2>&1
    "$wine/wine64" wineboot.exe -i </dev/null >/dev/null 2>&1
    on_exit '"$wine/wineserver" -k; "$wine/wineserver" -w'
}

# windows_dlls EXE: EXE imports no DLL beyond those every Windows has.
windows_dlls() {
    local dlls dll
    dlls=$(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
    echo "$1 imports: $dlls"
    for dll in $dlls; do
        case ${dll,,} in
        kernel32.dll | msvcrt.dll) ;;
        *) echo "$1 needs $dll, which a bare Windows lacks"; exit 1 ;;
        esac
    done
}

# step NAME [DIR]: the documents' command marked NAME, shown and run inside, in DIR (/src
# unless given). An install command gets -y and no recommended packages, so that only what
# it names is installed.
step() {
    local command dir=${2:-/src}
    command=$(readme_block "$1") || exit 1
    echo "-- $1: $command" >&2
    case $command in
        "apt-get install "*)
            command="apt-get install -y -qq --no-install-recommends ${command#apt-get install }"
            inside "$dir" "$command" >"$scratch/apt.log" 2>&1 || { tail -n 30 "$scratch/apt.log"; exit 1; }
            return ;;
    esac
    inside "$dir" "$command"
}

# finds_package PACKAGE_DIRECTORY: a project that asks find_package(mksrec 1.0 REQUIRED) of
# that directory gets a mksrec::mksrec that converts the sample exactly.
finds_package() {
    local project=$scratch/finds-package-$RANDOM
    mkdir "$project"
    cat >"$project/CMakeLists.txt" <<'END'
cmake_minimum_required(VERSION 3.19)
project(finds_package LANGUAGES NONE)
find_package(mksrec 1.0 REQUIRED)
get_target_property(program mksrec::mksrec IMPORTED_LOCATION)
execute_process(COMMAND ${program} 16 8000 ${SAMPLE} sample.srec WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
END
    cmake -S "$project" -B "$project/build" -Dmksrec_DIR="$1" -DSAMPLE="$PWD/examples/sample.bin" >/dev/null
    cmp "$project/build/sample.srec" examples/sample.srec
    echo "find_package(mksrec 1.0) in $1: mksrec::mksrec converts the sample"
}

# platform_names: the names of the rows of cmake/platforms, in its order.
platform_names() { awk '!/^#/ && NF { print $1 }' cmake/platforms; }

# platform NAME: the facts of the row NAME of cmake/platforms, in variables: system, package,
# debian, runs and downloads as the row gives them ("" for -), toolchain, its toolchain file
# ("" for the machine's own compiler), needs and runners, arrays of the row's lists; and runner, an array: the command its programs run under here, empty for
# a native one, the emulator that the toolchain file gives CTest (read by CMake itself), or
# wine (started by start_wine), unset for a platform that nothing here runs.
platform() {
    local row toolchain_name
    row=$(awk -v name="$1" '!/^#/ && $1 == name' cmake/platforms)
    [ -n "$row" ] || { echo "no platform '$1' in cmake/platforms" >&2; exit 1; }
    # shellcheck disable=SC2034 # the facts are for the stage that asked
    read -r _ system _ package debian toolchain_name runs downloads needs runners <<<"$row"
    [ "$debian" != - ] || debian=
    [ "$downloads" != - ] || downloads=
    [ "$runners" != - ] || runners=
    IFS=, read -r -a needs <<<"$needs"
    IFS=, read -r -a runners <<<"$runners"
    downloads=${downloads//,/ }
    toolchain=
    [ "$toolchain_name" = - ] || toolchain=cmake/toolchains/$toolchain_name.cmake
    runner=()
    case $runs in
    wine) runner=("$wine/wine64") ;;
    qemu)
        need cmake
        printf '%s\n' "include($PWD/$toolchain)" \
            'execute_process(COMMAND ${CMAKE_COMMAND} -E echo ${CMAKE_CROSSCOMPILING_EMULATOR})' \
            >"$scratch/emulator.cmake"
        read -r -a runner <<<"$(cmake -P "$scratch/emulator.cmake")"
        [ "${#runner[@]}" -gt 0 ] || { echo "$toolchain names no emulator" >&2; exit 1; }
        ;;
    esac
}
