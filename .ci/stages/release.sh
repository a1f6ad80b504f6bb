# SPDX-License-Identifier: MIT
# A release of every platform from the commit, into dist/: the source, static Linux programs
# for x86-64, AArch64, 32-bit ARM and 64-bit RISC-V, .debs for the first three, the Windows
# zip, the macOS tarball (.ci/macos.sh), SHA256SUMS. Made twice from a git archive of HEAD
# (nothing untracked can leak in), in two directories under two umasks, and compared byte
# for byte; then each file proven where it lands (the macOS program checked, not run), and
# every program in it that runs here through the whole end-to-end suite.
source "$(dirname "$0")/../lib.sh"
need git cmake make g++ g++-aarch64-linux-gnu g++-arm-linux-gnueabihf g++-riscv64-linux-gnu \
    g++-mingw-w64-x86-64-posix groff-base dpkg-dev file qemu-user wine64 unzip \
    binutils-mingw-w64-x86-64 util-linux
# dpkg-shlibdeps finds the cross .debs' dependencies in Debian's own libraries (multiarch).
dpkg --add-architecture arm64
dpkg --add-architecture armhf
need libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64 libc6:armhf libstdc++6:armhf libgcc-s1:armhf
source .ci/macos.sh
zig_install

version=$(project_version)
# NAME:TOOLCHAIN:DEB, DEB telling whether a .deb is made (Debian 12 has no riscv64 port).
toolchains=(x86_64::deb aarch64:cmake/toolchains/aarch64-linux-gnu.cmake:deb
            armhf:cmake/toolchains/arm-linux-gnueabihf.cmake:deb
            riscv64:cmake/toolchains/riscv64-linux-gnu.cmake:)

# package SOURCE BUILD GENERATOR OPTION...: configures and builds SOURCE into BUILD without
# tests, and makes the package; its path on standard output.
package() {
    local source=$1 build=$2 generator=$3
    shift 3
    cmake -S "$source" -B "$build" -DBUILD_TESTING=OFF "$@" >/dev/null
    cmake --build "$build" --parallel >/dev/null
    (cd "$build" && cpack -G "$generator" >/dev/null)
    ls "$build"/mksrec*.{deb,tar.gz,zip} 2>/dev/null
}

# release DIRECTORY: every file of the release, made from a fresh copy of HEAD.
release() {
    local out=$1 source=$scratch/source-$RANDOM
    mkdir -p "$out" "$source"
    git archive HEAD | tar -x -C "$source"
    git archive --prefix="mksrec-$version/" -o "$out/mksrec-$version.tar.gz" HEAD
    local target name toolchain deb options
    for target in "${toolchains[@]}"; do
        IFS=: read -r name toolchain deb <<<"$target"
        options=()
        [ -z "$toolchain" ] || options=(-DCMAKE_TOOLCHAIN_FILE="$source/$toolchain")
        cp "$(package "$source" "$source/static-$name" TGZ "${options[@]}" -DMKSREC_STATIC=ON)" "$out/"
        [ -z "$deb" ] || cp "$(package "$source" "$source/dynamic-$name" DEB "${options[@]}")" "$out/"
    done
    cp "$(package "$source" "$source/windows" ZIP \
        -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchains/mingw-w64-x86_64.cmake")" "$out/"
    cp "$(macos_package "$source")" "$out/"
    (cd "$out" && sha256sum -- * >SHA256SUMS)
}

rm -rf dist
(umask 022 && release dist)
(umask 002 && release "$scratch/again")
ls -l dist
for file in dist/*; do
    cmp "$file" "$scratch/again/${file#dist/}"
done
echo "made twice, the same bytes: $(cd dist && echo *)"
cat dist/SHA256SUMS
(cd dist && sha256sum -c SHA256SUMS)

expected="mksrec-$version.tar.gz mksrec-$version-linux-aarch64.tar.gz"
expected+=" mksrec-$version-linux-armhf.tar.gz mksrec-$version-linux-riscv64.tar.gz"
expected+=" mksrec-$version-linux-x86_64.tar.gz mksrec-$version-macos.tar.gz"
expected+=" mksrec-$version-windows-x86_64.zip mksrec_${version}_amd64.deb mksrec_${version}_arm64.deb"
expected+=" mksrec_${version}_armhf.deb SHA256SUMS"
[ "$(cd dist && ls | sort | tr '\n' ' ')" = "$(tr ' ' '\n' <<<"$expected" | sort | tr '\n' ' ')" ] ||
    { echo "dist/ should hold exactly: $expected"; exit 1; }

# e2e LABEL PROGRAM [EMULATOR...]: the whole end-to-end suite on PROGRAM, started in the
# background with its log kept; e2e_results waits for every run, shows each one's counts
# and skip reasons under its LABEL, and fails if a case failed in any. Each run has its own
# scratch directories and loop devices, so the emulated ones go on side by side.
labels=() logs=() pids=()
e2e() {
    local log=$scratch/e2e-${#logs[@]}.log
    labels+=("$1") logs+=("$log")
    E2E_FAULT_LIBRARY=$scratch/fault.so bash tests/e2e.sh "${@:2}" >"$log" 2>&1 &
    pids+=("$!")
}
e2e_results() {
    local i failed=0
    for i in "${!logs[@]}"; do
        wait "${pids[$i]}" || failed=1
        echo "end-to-end, ${labels[$i]}: $(tail -n 1 "${logs[$i]}")"
        sed -n 's/^skipped: .*(\(.*\))$/\1/p' "${logs[$i]}" | sort | uniq -c
        ! grep -q '^FAIL' "${logs[$i]}" || { grep -v '^skipped: ' "${logs[$i]}"; failed=1; }
    done
    pids=()
    return $failed
}
on_exit '[ "${#pids[@]}" = 0 ] || kill "${pids[@]}" 2>/dev/null; wait'
# The fault library that the suite preloads into a native, dynamically linked program.
g++ -O2 -shared -fPIC -o "$scratch/fault.so" tests/fault.cpp -ldl

echo "-- the static programs"
for name in x86_64 aarch64 armhf riscv64; do
    mkdir -p "$scratch/static-$name"
    tar -xzf "dist/mksrec-$version-linux-$name.tar.gz" -C "$scratch/static-$name" --strip-components=1
    (cd "$scratch/static-$name" && ls bin/mksrec share/man/man1/mksrec.1 LICENSE README.md >/dev/null)
    file "$scratch/static-$name/bin/mksrec" | tee "$scratch/file"
    grep -q 'static-pie linked\|statically linked' "$scratch/file" || { echo "not static"; exit 1; }
done
finds_package "$scratch/static-x86_64/share/cmake/mksrec"
# x86-64 in a root that holds nothing but the program and its files: no C library at all.
empty=$scratch/empty
mkdir "$empty"
cp "$scratch/static-x86_64/bin/mksrec" examples/sample.bin "$empty/"
sample_converts "x86-64, a root with no C library" \
    sh -c 'chroot "$1" /mksrec "$2" "$3" /sample.bin /landed.srec && mv "$1/landed.srec" "$5"' sh "$empty"
e2e "mksrec-$version-linux-x86_64.tar.gz, native" "$scratch/static-x86_64/bin/mksrec"
for name in aarch64:qemu-aarch64 armhf:qemu-arm riscv64:qemu-riscv64; do
    IFS=: read -r name emulator <<<"$name"
    sample_converts "$name, $emulator without a sysroot" "$emulator" "$scratch/static-$name/bin/mksrec"
    e2e "mksrec-$version-linux-$name.tar.gz, $emulator" "$scratch/static-$name/bin/mksrec" "$emulator"
done

echo "-- the macOS program: built and checked here, not run (no Mac)"
macos_check "dist/mksrec-$version-macos.tar.gz"

echo "-- the .debs"
dpkg -x "dist/mksrec_${version}_amd64.deb" "$scratch/deb-amd64"
e2e "mksrec_${version}_amd64.deb, native" "$scratch/deb-amd64/usr/bin/mksrec"
for arch in arm64:qemu-aarch64:aarch64-linux-gnu armhf:qemu-arm:arm-linux-gnueabihf; do
    IFS=: read -r debian emulator triplet <<<"$arch"
    dpkg -x "dist/mksrec_${version}_$debian.deb" "$scratch/deb-$debian"
    sample_converts "$debian .deb, unpacked, $emulator" "$emulator" -L "/usr/$triplet" \
        "$scratch/deb-$debian/usr/bin/mksrec"
    e2e "mksrec_${version}_$debian.deb, $emulator" "$scratch/deb-$debian/usr/bin/mksrec" \
        "$emulator" -L "/usr/$triplet"
done

echo "-- the Windows zip"
unzip -q "dist/mksrec-$version-windows-x86_64.zip" -d "$scratch/zip"
zipped=$scratch/zip/mksrec-$version-windows-x86_64
(cd "$zipped" && ls mksrec.exe LICENSE.txt README.txt mksrec.txt >/dev/null)
for text in LICENSE.txt README.txt mksrec.txt; do
    if grep -q $'[^\r]$\|^$' "$zipped/$text"; then
        echo "$text has a line that does not end in CR LF"
        exit 1
    fi
done
exe=$zipped/mksrec.exe
size=$(stat -c %s "$exe")
echo "mksrec.exe: $size bytes"
[ "$size" -lt 153600 ] || { echo "mksrec.exe is 150 KB or more"; exit 1; }
windows_dlls "$exe"
# The version resource's strings are UTF-16.
strings -e l "$exe" | grep -x -A1 ProductVersion | tee "$scratch/resource"
grep -qx "$version" "$scratch/resource" || { echo "no version $version in mksrec.exe"; exit 1; }
start_wine
sample_converts "mksrec.exe under wine" "$wine/wine64" "$exe"
e2e "mksrec-$version-windows-x86_64.zip, wine" "$exe" "$wine/wine64"

echo "-- a minimal Debian 12 root: the README's download commands, then the amd64 .deb"
fresh_root
mkdir "$root/tmp/release"
cp dist/* examples/sample.bin "$root/tmp/release/"
step download-check /tmp/release
step download-unpack /tmp/release
inside /tmp/release 'test "$(command -v mksrec)" = /usr/local/bin/mksrec &&
    test -f /usr/local/share/man/man1/mksrec.1 && mksrec 16 8000 sample.bin static.srec >/dev/null'
cmp "$root/tmp/release/static.srec" examples/sample.srec
inside /tmp/release "dpkg -i mksrec_${version}_amd64.deb >/dev/null && /usr/bin/mksrec 16 8000 sample.bin deb.srec >/dev/null"
cmp "$root/tmp/release/deb.srec" examples/sample.srec
echo "Debian 12 root: the static program as the README installs it, and the amd64 .deb, convert the sample, byte for byte"

echo "-- every program of dist/ through the end-to-end suite"
e2e_results
