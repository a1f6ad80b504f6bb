# SPDX-License-Identifier: MIT
# platform.sh NAME: the stage of the row NAME of cmake/platforms, a platform cross-built here
# whose programs run here under an emulator: the platform's commands where docs/building.md
# gives them, as a user runs them; the whole suite with warnings as errors under the emulator
# that its toolchain file names, the sample among its cases; then the packages the row ships:
# a .deb, whose dependencies dpkg-shlibdeps finds in Debian's libraries of that architecture
# (multiarch: the cross compiler's own copies belong to no such package), and whose program
# converts the sample; a zip, with everything a Windows user reads, and a program that
# needs no DLL beyond the system's.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
platform "$1"
build=build-$1
need "${needs[@]}" googletest file unzip
jobs=2
if [ "$runs" = wine ]; then
    start_wine
    # docs/building.md's wine commands use a prefix of their own, stopped and removed here.
    on_exit 'WINEPREFIX=/tmp/mksrec-wine "$wine/wineserver" -k || true; rm -rf /tmp/mksrec-wine'
    # One test at a time: two wine processes at once have failed now and then.
    jobs=1
fi
if has_block "$build"; then run_block "$build"; fi
suite "$build" "$jobs" -DCMAKE_TOOLCHAIN_FILE="$toolchain"

for kind in $downloads; do
    case $kind in
    deb)
        dpkg --add-architecture "$debian"
        need dpkg-dev "libc6:$debian" "libstdc++6:$debian" "libgcc-s1:$debian"
        (cd "$build" && cpack -G DEB)
        deb=$(ls "$build"/mksrec_*_"$debian".deb)
        dpkg-deb --info "$deb"
        dpkg-deb -c "$deb"
        [ "$(dpkg-deb -f "$deb" Architecture)" = "$debian" ] || { echo "$deb is not for $debian"; exit 1; }
        dpkg -x "$deb" "$scratch/deb"
        sample_converts "the program of $deb, ${runner[0]}" "${runner[@]}" "$scratch/deb/usr/bin/mksrec"
        ;;
    zip)
        windows_dlls "$build/mksrec.exe"
        (cd "$build" && cpack -G ZIP)
        zip=$(ls "$build/mksrec-"*"-$package.zip")
        unzip -l "$zip"
        for file in mksrec.exe README.txt LICENSE.txt mksrec.txt; do
            unzip -l "$zip" "*/$file" >/dev/null || { echo "$zip lacks $file"; exit 1; }
        done
        ;;
    esac
done
