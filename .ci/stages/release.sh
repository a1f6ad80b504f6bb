# SPDX-License-Identifier: MIT
# A release of every platform from the commit, into dist/: the source, static Linux programs
# for x86-64, AArch64 and 32-bit ARM, .debs for the same, the Windows zip, SHA256SUMS. Made
# twice from a git archive of HEAD (nothing untracked can leak in), in two directories under
# two umasks, and compared byte for byte; then each file proven where it lands.
source "$(dirname "$0")/../lib.sh"
need git cmake make g++ g++-aarch64-linux-gnu g++-arm-linux-gnueabihf g++-mingw-w64-x86-64-posix \
    groff-base dpkg-dev file qemu-user wine64 unzip binutils-mingw-w64-x86-64
# dpkg-shlibdeps finds the cross .debs' dependencies in Debian's own libraries (multiarch).
dpkg --add-architecture arm64
dpkg --add-architecture armhf
need libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64 libc6:armhf libstdc++6:armhf libgcc-s1:armhf

version=$(sed -n 's/^project(mksrec VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
toolchains=(x86_64: aarch64:cmake/toolchains/aarch64-linux-gnu.cmake
            armhf:cmake/toolchains/arm-linux-gnueabihf.cmake)

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
    local target name toolchain options
    for target in "${toolchains[@]}"; do
        name=${target%%:*} toolchain=${target#*:}
        options=()
        [ -z "$toolchain" ] || options=(-DCMAKE_TOOLCHAIN_FILE="$source/$toolchain")
        cp "$(package "$source" "$source/static-$name" TGZ "${options[@]}" -DMKSREC_STATIC=ON)" "$out/"
        cp "$(package "$source" "$source/dynamic-$name" DEB "${options[@]}")" "$out/"
    done
    cp "$(package "$source" "$source/windows" ZIP \
        -DCMAKE_TOOLCHAIN_FILE="$source/cmake/toolchains/mingw-w64-x86_64.cmake")" "$out/"
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
expected+=" mksrec-$version-linux-armhf.tar.gz mksrec-$version-linux-x86_64.tar.gz"
expected+=" mksrec-$version-windows-x86_64.zip mksrec_${version}_amd64.deb mksrec_${version}_arm64.deb"
expected+=" mksrec_${version}_armhf.deb SHA256SUMS"
[ "$(cd dist && ls | sort | tr '\n' ' ')" = "$(tr ' ' '\n' <<<"$expected" | sort | tr '\n' ' ')" ] ||
    { echo "dist/ should hold exactly: $expected"; exit 1; }

# converts WHERE COMMAND...: the command, given the sample's input and output paths, writes
# exactly the shipped S-record file.
converts() {
    local where=$1
    shift
    "$@" >/dev/null
    cmp "$scratch/landed.srec" examples/sample.srec
    echo "$where: the sample, byte for byte"
}

echo "-- the static programs"
for name in x86_64 aarch64 armhf; do
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
converts "x86-64, a root with no C library" \
    sh -c 'chroot "$1" /mksrec 16 8000 /sample.bin /landed.srec && mv "$1/landed.srec" "$2"' \
    sh "$empty" "$scratch/landed.srec"
converts "aarch64, qemu-aarch64 without a sysroot" qemu-aarch64 "$scratch/static-aarch64/bin/mksrec" \
    16 8000 examples/sample.bin "$scratch/landed.srec"
converts "armhf, qemu-arm without a sysroot" qemu-arm "$scratch/static-armhf/bin/mksrec" \
    16 8000 examples/sample.bin "$scratch/landed.srec"

echo "-- the .debs"
for arch in arm64:qemu-aarch64:aarch64-linux-gnu armhf:qemu-arm:arm-linux-gnueabihf; do
    IFS=: read -r debian emulator triplet <<<"$arch"
    dpkg -x "dist/mksrec_${version}_$debian.deb" "$scratch/deb-$debian"
    converts "$debian .deb, unpacked, $emulator" "$emulator" -L "/usr/$triplet" \
        "$scratch/deb-$debian/usr/bin/mksrec" 16 8000 examples/sample.bin "$scratch/landed.srec"
done

echo "-- a minimal Debian 12 root: the README's download commands, then the amd64 .deb"
fresh_root
mkdir "$root/tmp/release"
cp dist/* examples/sample.bin "$root/tmp/release/"
step Downloads 1 /tmp/release
step Downloads 2 /tmp/release
inside /tmp/release 'test "$(command -v mksrec)" = /usr/local/bin/mksrec &&
    test -f /usr/local/share/man/man1/mksrec.1 && mksrec 16 8000 sample.bin static.srec >/dev/null'
cmp "$root/tmp/release/static.srec" examples/sample.srec
inside /tmp/release "dpkg -i mksrec_${version}_amd64.deb >/dev/null && /usr/bin/mksrec 16 8000 sample.bin deb.srec >/dev/null"
cmp "$root/tmp/release/deb.srec" examples/sample.srec
echo "Debian 12 root: the static program as the README installs it, and the amd64 .deb, convert the sample, byte for byte"

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
dlls=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p' | tr '\n' ' ')
echo "mksrec.exe imports: $dlls"
for dll in $dlls; do
    case ${dll,,} in
    kernel32.dll | msvcrt.dll) ;;
    *) echo "mksrec.exe needs $dll, which a bare Windows lacks"; exit 1 ;;
    esac
done
# The version resource's strings are UTF-16.
strings -e l "$exe" | grep -x -A1 ProductVersion | tee "$scratch/resource"
grep -qx "$version" "$scratch/resource" || { echo "no version $version in mksrec.exe"; exit 1; }
export WINEDEBUG=-all WINEPREFIX="$scratch/wine"
wine=/usr/lib/wine
mkdir -p "$WINEPREFIX"
"$wine/wineserver" -p </dev/null >/dev/null 2>&1
"$wine/wine64" wineboot.exe -i </dev/null >/dev/null 2>&1
trap '"$wine/wineserver" -k; "$wine/wineserver" -w; cleanup_root' EXIT
converts "mksrec.exe under wine" "$wine/wine64" "$exe" 16 8000 examples/sample.bin "$scratch/landed.srec"

