# SPDX-License-Identifier: MIT
# A release of every platform from the commit, into dist/: the source, a static Linux program
# and a .deb for x86-64 and those of the foreign platforms that .ci/platforms names, the
# Windows zip, the macOS tarball (.ci/macos.sh), a pip wheel of each program
# (.ci/channels/channels.sh), SHA256SUMS. Made twice from a git archive of
# HEAD (nothing untracked can leak in), in two directories under two umasks, and compared
# byte for byte; then each file proven where it lands (the macOS program checked, not run),
# the setup action's script run against the downloads, and every program in it that runs
# here through the whole end-to-end suite. Last, the package managers' routes: the wheels
# installed, the Homebrew, Scoop and winget manifests. MKSREC_HOME, the repository's address,
# which the release workflow sets, goes into what must name it (the .deb's Homepage, the
# wheels' metadata, the manifests' addresses).
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need git cmake make g++ g++-mingw-w64-x86-64-posix groff-base dpkg-dev file qemu-user wine64 \
    unzip binutils-mingw-w64-x86-64 util-linux
# The foreign platforms with a download (.ci/platforms), each with its cross compiler; for a
# .deb also Debian's own libraries of its architecture, in which dpkg-shlibdeps finds the
# dependencies (multiarch).
released=()
for name in $(platform_names); do
    platform "$name"
    [ -n "$tarball$deb" ] || continue
    released+=("$name")
    need "g++-$triplet"
    [ -z "$deb" ] || dpkg --add-architecture "$debian"
    [ -z "$deb" ] || need "libc6:$debian" "libstdc++6:$debian" "libgcc-s1:$debian"
done
# shellcheck source=../macos.sh
source .ci/macos.sh
zig_install
# shellcheck source=../setup_check.sh
source .ci/setup_check.sh

version=$(project_version)
# shellcheck source=../channels/channels.sh
source .ci/channels/channels.sh

# package SOURCE BUILD GENERATOR OPTION...: configures and builds SOURCE into BUILD without
# tests, and makes the package; its path on standard output.
package() {
    local source=$1 build=$2 generator=$3
    shift 3
    cmake -S "$source" -B "$build" -DMKSREC_TESTS=OFF -DMKSREC_HOME="${MKSREC_HOME-}" "$@" >/dev/null
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
    cp "$(package "$source" "$source/static-x86_64" TGZ -DMKSREC_STATIC=ON)" "$out/"
    cp "$(package "$source" "$source/dynamic-x86_64" DEB)" "$out/"
    local name option
    for name in "${released[@]}"; do
        platform "$name"
        option=-DCMAKE_TOOLCHAIN_FILE=$source/$toolchain
        [ -z "$tarball" ] ||
            cp "$(package "$source" "$source/static-$name" TGZ "$option" -DMKSREC_STATIC=ON)" "$out/"
        [ -z "$deb" ] || cp "$(package "$source" "$source/dynamic-$name" DEB "$option")" "$out/"
    done
    cp "$(package "$source" "$source/windows" ZIP \
        -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchains/mingw-w64-x86_64.cmake")" "$out/"
    cp "$(macos_package "$source")" "$out/"
    channel_wheels "$out"
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

expected="mksrec-$version.tar.gz mksrec-$version-linux-x86_64.tar.gz"
expected+=" mksrec-$version-windows-x86_64.zip mksrec-$version-macos.tar.gz"
expected+=" mksrec_${version}_amd64.deb SHA256SUMS $(channel_wheel_names)"
tarballs=()
for name in "${released[@]}"; do
    platform "$name"
    [ -z "$tarball" ] || tarballs+=("$tarball")
    [ -z "$tarball" ] || expected+=" mksrec-$version-linux-$tarball.tar.gz"
    [ -z "$deb" ] || expected+=" mksrec_${version}_$debian.deb"
done
[ "$(cd dist && printf '%s\n' * | sort | tr '\n' ' ')" = "$(tr ' ' '\n' <<<"$expected" | sort | tr '\n' ' ')" ] ||
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
for name in x86_64 "${tarballs[@]}"; do
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
for name in "${released[@]}"; do
    platform "$name"
    [ -n "$tarball" ] || continue
    program=$scratch/static-$tarball/bin/mksrec
    sample_converts "$tarball, ${emulator[0]} without a sysroot" "${emulator[0]}" "$program"
    e2e "mksrec-$version-linux-$tarball.tar.gz, ${emulator[0]}" "$program" "${emulator[0]}"
done

echo "-- the macOS program: built and checked here, not run (no Mac)"
macos_check "dist/mksrec-$version-macos.tar.gz"

echo "-- the .debs"
dpkg -x "dist/mksrec_${version}_amd64.deb" "$scratch/deb-amd64"
e2e "mksrec_${version}_amd64.deb, native" "$scratch/deb-amd64/usr/bin/mksrec"
for name in "${released[@]}"; do
    platform "$name"
    [ -n "$deb" ] || continue
    dpkg -x "dist/mksrec_${version}_$debian.deb" "$scratch/deb-$debian"
    sample_converts "$debian .deb, unpacked, ${emulator[0]}" "${emulator[@]}" \
        "$scratch/deb-$debian/usr/bin/mksrec"
    e2e "mksrec_${version}_$debian.deb, ${emulator[0]}" "$scratch/deb-$debian/usr/bin/mksrec" \
        "${emulator[@]}"
done
# Large-file support, which qemu-user cannot show: on the host's 64-bit kernel a 32-bit
# program opens a file of 2 GiB or more either way. Its calls can: the 64-bit offset ones.
platform armhf
"$triplet-objdump" -T "$scratch/deb-$debian/usr/bin/mksrec" | grep -ow 'fopen64\|fopen' |
    sort -u | tee "$scratch/opens"
[ "$(cat "$scratch/opens")" = fopen64 ] || { echo "the armhf program opens files without large-file support"; exit 1; }

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

echo "-- the setup action, as each hosted runner would run it"
setup_check

echo "-- what the release workflow publishes with the files"
homepage=$(dpkg-deb -f "dist/mksrec_${version}_amd64.deb" Homepage)
[ "$homepage" = "${MKSREC_HOME-}" ] ||
    { echo "the .deb's Homepage is '$homepage', MKSREC_HOME '${MKSREC_HOME-}'"; exit 1; }
echo "the .deb's Homepage: ${homepage:-none, as MKSREC_HOME is unset (the release workflow sets it)}"
echo "the release notes: $(bash .ci/release_notes.sh "$version" | wc -l) lines of CHANGELOG.md's $version section"

echo "-- a minimal Debian 12 root: the README's download commands, then the amd64 .deb"
fresh_root
mkdir "$root/tmp/release"
cp dist/* examples/sample.bin "$root/tmp/release/"
step download-check /tmp/release
step download-unpack /tmp/release
inside /tmp/release 'test "$(command -v mksrec)" = /usr/local/bin/mksrec &&
    test -f /usr/local/share/man/man1/mksrec.1 && mksrec 16 8000 sample.bin static.srec >/dev/null'
cmp "$root/tmp/release/static.srec" examples/sample.srec
step download-deb /tmp/release >/dev/null
inside /tmp/release "/usr/bin/mksrec 16 8000 sample.bin deb.srec >/dev/null"
cmp "$root/tmp/release/deb.srec" examples/sample.srec
echo "Debian 12 root: the static program as the README installs it, and the amd64 .deb, convert the sample, byte for byte"

channel_checks

echo "-- every program of dist/ through the end-to-end suite"
e2e_results
