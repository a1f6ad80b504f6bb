# SPDX-License-Identifier: MIT
# Windows x86-64: cross-built with mingw-w64, the whole suite run under wine, a program
# that needs no DLL beyond the system's, and the zip package.
source "$(dirname "$0")/../lib.sh"
need g++-mingw-w64-x86-64-posix wine64 groff-base unzip

# A prefix of our own, created before anything runs: its first start prints configuration
# messages, and the server and services it starts would inherit, and hold open, the output
# of whichever test started them. They are stopped, and the prefix removed, at the end.
# wine64 itself: the wine wrapper prints a hint on every run.
wine=/usr/lib/wine
export WINEDEBUG=-all WINEPREFIX="$scratch/wine"
mkdir -p "$WINEPREFIX"
"$wine/wineserver" -p </dev/null >/dev/null 2>&1
"$wine/wine64" wineboot.exe -i </dev/null >/dev/null 2>&1
trap '"$wine/wineserver" -k; "$wine/wineserver" -w; rm -rf "$scratch"' EXIT

# One test at a time: two wine processes at once have failed now and then.
suite build-windows 1 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
sample_converts "$wine/wine64" build-windows/mksrec.exe

dlls=$(x86_64-w64-mingw32-objdump -p build-windows/mksrec.exe | sed -n 's/^\tDLL Name: //p')
echo "mksrec.exe imports:" $dlls
for dll in $dlls; do
    case ${dll,,} in
    kernel32.dll | msvcrt.dll) ;;
    *) echo "mksrec.exe needs $dll, which a bare Windows lacks"; exit 1 ;;
    esac
done

(cd build-windows && cpack -G ZIP)
unzip -l build-windows/mksrec-*-windows-x86_64.zip
for file in mksrec.exe README.txt LICENSE.txt mksrec.txt; do
    unzip -l build-windows/mksrec-*-windows-x86_64.zip "*/$file" >/dev/null ||
        { echo "zip lacks $file"; exit 1; }
done
