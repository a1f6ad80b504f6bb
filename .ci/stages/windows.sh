# SPDX-License-Identifier: MIT
# Windows x86-64: cross-built with mingw-w64, the whole suite run under wine, a program
# that needs no DLL beyond the system's, and the zip package.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need g++-mingw-w64-x86-64-posix wine64 groff-base unzip

start_wine

# docs/building.md's commands as a user runs them, with a prefix of their own, stopped and
# removed afterwards; then the suite with warnings as errors.
need googletest
on_exit 'WINEPREFIX=/tmp/mksrec-wine "$wine/wineserver" -k || true; rm -rf /tmp/mksrec-wine'
run_block build-windows
# One test at a time: two wine processes at once have failed now and then.
suite build-windows 1 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake

windows_dlls build-windows/mksrec.exe

(cd build-windows && cpack -G ZIP)
unzip -l build-windows/mksrec-*-windows-x86_64.zip
for file in mksrec.exe README.txt LICENSE.txt mksrec.txt; do
    unzip -l build-windows/mksrec-*-windows-x86_64.zip "*/$file" >/dev/null ||
        { echo "zip lacks $file"; exit 1; }
done
