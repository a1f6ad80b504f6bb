# SPDX-License-Identifier: MIT
# platform.sh NAME: the stage of the row NAME of .ci/platforms, Linux on another processor
# cross-built with Debian's cross compiler: the whole suite run under the emulator that its
# toolchain file names, the sample among its cases; then, for a platform that ships a .deb,
# the .deb, whose dependencies dpkg-shlibdeps finds in Debian's libraries of that
# architecture (multiarch: the cross compiler's own copies belong to no such package), and
# whose program converts the sample.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
platform "$1"
build=build-$1
need "g++-$triplet" qemu-user googletest
# The platform's commands where docs/building.md gives them, as a user runs them; then the
# suite with warnings as errors.
if has_block "$build"; then run_block "$build"; fi
suite "$build" 2 -DCMAKE_TOOLCHAIN_FILE="$toolchain"
[ -n "$deb" ] || exit 0

dpkg --add-architecture "$debian"
need dpkg-dev file "libc6:$debian" "libstdc++6:$debian" "libgcc-s1:$debian"
(cd "$build" && cpack -G DEB)
package=$(ls "$build"/mksrec_*_"$debian".deb)
dpkg-deb --info "$package"
dpkg-deb -c "$package"
[ "$(dpkg-deb -f "$package" Architecture)" = "$debian" ] ||
    { echo "$package is not for $debian"; exit 1; }
dpkg -x "$package" "$scratch/root"
sample_converts "the program of $package, ${emulator[0]}" "${emulator[@]}" \
    "$scratch/root/usr/bin/mksrec"
