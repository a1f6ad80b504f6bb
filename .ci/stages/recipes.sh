# SPDX-License-Identifier: MIT
# The README's build recipes, run as a user would copy them: the CMake package with the
# Cortex-M firmware of examples/firmware (built by arm-none-eabi-gcc, with Makefiles and with
# Ninja), the Make rule (a failed run must leave nothing behind that the next make takes as
# up to date), and the upper-case translation for loaders.
source "$(dirname "$0")/../lib.sh"
need cmake make g++ binutils gcc-arm-none-eabi binutils-arm-none-eabi ninja-build dpkg-dev file
cmake -S . -B build-recipes -DMKSREC_TESTS=OFF >/dev/null
cmake --build build-recipes --parallel >/dev/null
cmake --install build-recipes --prefix "$scratch/prefix" >/dev/null
export PATH="$scratch/prefix/bin:$PATH"
heading='Using mksrec in a build'

echo "-- Make rule"
mkdir "$scratch/make" && cd "$scratch/make"
(cd "$OLDPWD" && readme_block "$heading" make 1) >Makefile
cp "$OLDPWD/examples/sample.bin" .
make --no-print-directory sample.srec
cmp sample.srec "$OLDPWD/examples/sample.srec"
# 17 MiB from 0x8000 run past the last 24-bit address: mksrec fails part-way.
head -c 17825792 /dev/zero >past-the-top.bin
for attempt in first second; do
    if make --no-print-directory past-the-top.srec >/dev/null 2>&1; then
        echo "the $attempt make of a failing conversion succeeded"
        exit 1
    fi
    [ ! -e past-the-top.srec ] || { echo "a failed conversion left past-the-top.srec behind"; exit 1; }
done
cd "$OLDPWD"

echo "-- The CMake package, as each install route places it"
package=$scratch/prefix/share/cmake/mksrec
finds_package "$package"
rm -f build-recipes/mksrec_*.deb
(cd build-recipes && cpack -G DEB >/dev/null)
dpkg -x build-recipes/mksrec_*.deb "$scratch/deb"
finds_package "$scratch/deb/usr/share/cmake/mksrec"

echo "-- examples/firmware, a Cortex-M program, with the CMake package"
# The README's lines are the example's own.
if readme_block CMake cmake 1 | grep -vxF -f examples/firmware/CMakeLists.txt; then
    echo "the README's CMake lines are not those of examples/firmware/CMakeLists.txt"
    exit 1
fi
flash=$(sed -n 's/.*FLASH (rx) *: ORIGIN = 0x\([0-9a-fA-F]*\).*/\1/p' examples/firmware/firmware.ld)
for generator in "Unix Makefiles" Ninja; do
    build=$scratch/firmware-${generator// /-}
    # The README's configure command, with this stage's build directory and prefix.
    configure=$(readme_command CMake 1 | sed "s|-B build-firmware|-B $build|; s|/usr/local/share/cmake/mksrec|$package|")
    echo "$configure -G '$generator'"
    eval "$configure -G '$generator'" >/dev/null
    cmake --build "$build" | tee "$scratch/built"
    grep -q 'Converting firmware into firmware.srec' "$scratch/built"
    # The S-record file reads back to the image of the ELF's loadable sections at their load
    # addresses, from the flash base on.
    arm-none-eabi-objcopy -O binary "$build/firmware.elf" "$scratch/image.bin"
    objcopy -I srec -O binary "$build/firmware.srec" "$scratch/back.bin"
    cmp "$scratch/image.bin" "$scratch/back.bin"
    first=$(head -c 10 "$build/firmware.srec")
    [ "$((16#${first:4:6}))" = "$((16#$flash))" ] || { echo "first record at ${first:4:6}, not $flash"; exit 1; }
    echo "$generator: firmware.srec holds the image from the flash base, 0x$flash"
    # Nothing changed, nothing runs.
    cmake --build "$build" | tee "$scratch/again"
    if grep -q 'Converting' "$scratch/again"; then
        echo "a second build converted again"
        exit 1
    fi
    if [ "$generator" = Ninja ]; then grep -q 'no work to do' "$scratch/again"; fi
    # mksrec changed: converted again.
    touch "$scratch/prefix/bin/mksrec"
    cmake --build "$build" >"$scratch/rebuilt"
    grep -q 'Converting firmware into firmware.srec' "$scratch/rebuilt"

    # An image placed too high for 24-bit addresses: the build fails with mksrec's message
    # and leaves no S-record file, again on the next build.
    failing=$scratch/failing-${generator// /-}
    cp -r examples/firmware "$failing"
    sed -i 's/ADDRESS 8000/ADDRESS FFFFF0/' "$failing/CMakeLists.txt"
    cmake -S "$failing" -B "$failing/build" -G "$generator" -Dmksrec_DIR="$package" \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm-none-eabi.cmake >/dev/null
    for attempt in first second; do
        if cmake --build "$failing/build" >"$scratch/failed" 2>&1; then
            echo "the $attempt build of a failing conversion succeeded"
            exit 1
        fi
        grep 'ERROR:  Address exceeded six byte maximum.' "$scratch/failed"
        [ ! -e "$failing/build/firmware.srec" ] || { echo "a failed conversion left firmware.srec"; exit 1; }
    done
done

echo "-- mksrec_add_srecord()'s arguments, refused when configuring"
for case in "mksrec_add_srecord(firmware):ADDRESS, the load address of the image's first byte, is required" \
    "mksrec_add_srecord(firmware ADDRESS 80zz):ADDRESS '80zz' is not a hexadecimal number" \
    "mksrec_add_srecord(firmware ADDRESS 8000 BYTES_PER_RECORD 17):BYTES_PER_RECORD '17' is not a number from 1 to 16" \
    "mksrec_add_srecord(nothing ADDRESS 8000):there is no target 'nothing'"; do
    call=${case%%:*} expected=${case#*:}
    project=$scratch/refused-$RANDOM
    mkdir "$project"
    printf '%s\n' 'cmake_minimum_required(VERSION 3.19)' 'project(refused LANGUAGES NONE)' \
        'find_package(mksrec 1.0 REQUIRED)' 'add_executable(firmware IMPORTED)' "$call" \
        >"$project/CMakeLists.txt"
    if cmake -S "$project" -B "$project/build" -Dmksrec_DIR="$package" >"$scratch/refused" 2>&1; then
        echo "$call was accepted"
        exit 1
    fi
    # CMake wraps its messages: compared with the lines joined.
    tr -s ' \n' '  ' <"$scratch/refused" | grep -oF "$expected"
done

echo "-- Upper-case digits for loaders"
cd "$scratch/firmware-Ninja"
(cd "$OLDPWD" && readme_command 'Notes for loaders' 1) | bash -euo pipefail
objcopy -I srec -O binary firmware-uc.srec back-uc.bin
cmp back-uc.bin firmware.srec.bin
if grep -q '[a-f]' firmware-uc.srec; then
    echo "lower-case digits left in firmware-uc.srec"
    exit 1
fi
