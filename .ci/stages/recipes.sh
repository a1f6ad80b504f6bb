# SPDX-License-Identifier: MIT
# The build recipes of the README and docs/cmake.md, run as a user would copy them: the CMake package with the
# Cortex-M firmware of examples/firmware (built by arm-none-eabi-gcc, with Makefiles and with
# Ninja), the Make rule (a failed run must leave nothing behind that the next make takes as
# up to date), and the upper-case translation for loaders.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need cmake make g++ binutils gcc-arm-none-eabi binutils-arm-none-eabi ninja-build dpkg-dev file git
cmake -S . -B build-recipes -DMKSREC_TESTS=OFF >/dev/null
cmake --build build-recipes --parallel >/dev/null
cmake --install build-recipes --prefix "$scratch/prefix" >/dev/null
export PATH="$scratch/prefix/bin:$PATH"

echo "-- Make rule"
mkdir "$scratch/make" && cd "$scratch/make"
(cd "$OLDPWD" && readme_block make-rule) >Makefile
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
if readme_block cmake-find-package | grep -vxF -f examples/firmware/CMakeLists.txt; then
    echo "the README's CMake lines are not those of examples/firmware/CMakeLists.txt"
    exit 1
fi
flash=$(sed -n 's/.*FLASH (rx) *: ORIGIN = 0x\([0-9a-fA-F]*\).*/\1/p' examples/firmware/firmware.ld)
for generator in "Unix Makefiles" Ninja; do
    build=$scratch/firmware-${generator// /-}
    # The README's configure command, with this stage's build directory and prefix.
    configure=$(readme_block cmake-cross-configure | sed "s|-B build-firmware|-B $build|; s|/usr/local/share/cmake/mksrec|$package|")
    echo "$configure -G '$generator'"
    eval "$configure -G '$generator'" >/dev/null
    cmake --build "$build" | tee "$scratch/built"
    grep -q 'Converting firmware into firmware.srec' "$scratch/built"
    if grep Setting "$scratch/built"; then echo "mksrec's settings in the build log"; exit 1; fi
    # The S-record file reads back to the image of the ELF's loadable sections at their load
    # addresses, from the flash base on, which the function read from the ELF as the
    # toolchain's own S-record output places its first byte.
    arm-none-eabi-objcopy -O binary "$build/firmware.elf" "$scratch/image.bin"
    objcopy -I srec -O binary "$build/firmware.srec" "$scratch/back.bin"
    cmp "$scratch/image.bin" "$scratch/back.bin"
    first=$(head -c 10 "$build/firmware.srec")
    [ "$((16#${first:4:6}))" = "$((16#$flash))" ] || { echo "first record at ${first:4:6}, not $flash"; exit 1; }
    own=$(arm-none-eabi-objcopy -O srec --srec-forceS3 "$build/firmware.elf" /dev/stdout | sed -n '2s/^S3..\(........\).*/\1/p')
    [ "$((16#$own))" = "$((16#${first:4:6}))" ] || { echo "first record at ${first:4:6}, objcopy's at $own"; exit 1; }
    echo "$generator: firmware.srec holds the image from the flash base, 0x$flash, read from the ELF"
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

    # The other forms: ADDRESS given, an OUTPUT in a folder of its own, a raw image from the
    # source tree and one the build generates (INPUT), each read back at its address.
    forms=$scratch/forms-${generator// /-}
    cp -r examples/firmware "$forms"
    head -c 100 /dev/urandom >"$forms/raw.bin"
    cat >>"$forms/CMakeLists.txt" <<'END'
mksrec_add_srecord(firmware ADDRESS 0x8000 BYTES_PER_RECORD 8 OUTPUT images/boot.srec TARGET boot)
mksrec_add_srecord(raw INPUT raw.bin ADDRESS 1000)
add_custom_command(OUTPUT made.bin COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/raw.bin made.bin)
add_custom_target(make_image DEPENDS made.bin)
mksrec_add_srecord(made INPUT ${CMAKE_CURRENT_BINARY_DIR}/made.bin ADDRESS 2000 OUTPUT out/made.srec DEPENDS make_image)
END
    cmake -S "$forms" -B "$forms/build" -G "$generator" -Dmksrec_DIR="$package" \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/examples/firmware/cmake/toolchains/arm-none-eabi.cmake" >/dev/null
    # Each conversion by the target name the docs give it.
    cmake --build "$forms/build" --target firmware_srec boot raw made >"$scratch/forms"
    if grep Setting "$scratch/forms"; then echo "mksrec's settings in the build log"; exit 1; fi
    for srec in "images/boot.srec:8000:$scratch/image.bin" "raw.srec:1000:$forms/raw.bin" \
        "out/made.srec:2000:$forms/build/made.bin"; do
        IFS=: read -r file address image <<<"$srec"
        objcopy -I srec -O binary "$forms/build/$file" "$scratch/back.bin"
        cmp "$scratch/back.bin" "$image"
        grep -q "^S2..00$address" "$forms/build/$file" || { echo "$file does not start at $address"; exit 1; }
    done
    echo "$generator: ADDRESS, OUTPUT in a new folder, INPUT from the source tree and from the build"

    # An image placed too high for 24-bit addresses, given or read from the ELF: the build
    # fails with mksrec's message or the function's, and leaves no S-record file, again on
    # the next build.
    for kind in given read; do
        failing=$scratch/failing-$kind-${generator// /-}
        cp -r examples/firmware "$failing"
        if [ "$kind" = given ]; then
            sed -i 's/mksrec_add_srecord(firmware)/mksrec_add_srecord(firmware ADDRESS FFFFF0)/' "$failing/CMakeLists.txt"
            expected='ERROR:  Address exceeded six byte maximum.'
        else
            sed -i 's/ORIGIN = 0x00008000/ORIGIN = 0x08000000/' "$failing/firmware.ld"
            expected="0x8000000 is out of reach: S2 addresses run from 0 to FFFFFF (16 MiB)"
        fi
        cmake -S "$failing" -B "$failing/build" -G "$generator" -Dmksrec_DIR="$package" \
            -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm-none-eabi.cmake >/dev/null
        for attempt in first second; do
            if cmake --build "$failing/build" >"$scratch/failed" 2>&1; then
                echo "the $attempt build of a failing conversion succeeded"
                exit 1
            fi
            # CMake wraps its messages: compared with the lines joined and spaces squeezed.
            tr -s ' \n' '  ' <"$scratch/failed" | grep -oF "$(tr -s ' ' <<<"$expected")"
            [ ! -e "$failing/build/firmware.srec" ] || { echo "a failed conversion left firmware.srec"; exit 1; }
        done
    done
done

echo "-- Vendored: the FetchContent lines of docs/cmake.md, with this commit's source tarball"
# vendored NAME BUILD CMAKE_ARGS...: the block NAME as it stands in the consumer project in
# BUILD/.., with this commit as the release's source tarball where the block keeps it,
# configured and built into BUILD, whose S-record file must read back to its target's raw
# image; mksrec must have left no tests, CPack configuration, build type or install rule.
version=$(project_version)
vendored() {
    local block=$1 build=$2 objcopy elf
    shift 2
    readme_block "$block" >"$build.fetch"
    mkdir -p "$build/../third_party"
    git archive --prefix="mksrec-$version/" -o "$build/../third_party/mksrec-$version.tar.gz" HEAD
    # The consumer's own CMakeLists.txt: the block in place of find_package(), and CTest on.
    sed -e "/^find_package(mksrec/{r $build.fetch" -e 'd}' "$build/../CMakeLists.in" >"$build/../CMakeLists.txt"
    echo 'enable_testing()' >>"$build/../CMakeLists.txt"
    cmake -S "$build/.." -B "$build" "$@" >"$build.log" 2>&1 || { cat "$build.log"; exit 1; }
    cmake --build "$build" >>"$build.log" 2>&1 || { cat "$build.log"; exit 1; }
    grep -q 'Converting firmware into firmware.srec' "$build.log"
    # The target's raw image by the host project's own objcopy, as mksrec_add_srecord() takes it.
    objcopy=$(sed -n 's/^CMAKE_OBJCOPY:FILEPATH=//p' "$build/CMakeCache.txt")
    for elf in "$build/firmware.elf" "$build/firmware"; do [ ! -f "$elf" ] || break; done
    "$objcopy" -O binary "$elf" "$build.image"
    objcopy -I srec -O binary "$build/firmware.srec" "$build.back"
    cmp "$build.image" "$build.back"
    ctest --test-dir "$build" -N | tee "$build.tests" | tail -n 1
    grep -qx 'Total Tests: 0' "$build.tests" || { echo "mksrec's tests in the host project"; exit 1; }
    if find "$build" -name 'CPack*Config.cmake' | grep .; then echo "mksrec made a CPack configuration"; exit 1; fi
    [ -z "$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")" ] ||
        { echo "CMAKE_BUILD_TYPE set in the host project"; exit 1; }
    cmake --install "$build" --prefix "$build.installed" >/dev/null
    [ -z "$(find "$build.installed" -type f 2>/dev/null)" ] || { echo "mksrec installed files"; exit 1; }
}
# Native: a program of the build machine's own, its raw image from its first loadable byte.
native=$scratch/vendored-native
mkdir -p "$native/build"
printf '%s\n' 'cmake_minimum_required(VERSION 3.19)' 'project(native LANGUAGES C)' \
    'find_package(mksrec 1.0 REQUIRED)' 'add_executable(firmware firmware.c)' \
    'mksrec_add_srecord(firmware ADDRESS 0)' >"$native/CMakeLists.in"
echo 'int main(void) { return 0; }' >"$native/firmware.c"
vendored cmake-fetchcontent "$native/build"
echo "native: built with the host project's compiler; firmware.srec reads back to its image"
# Cross: examples/firmware with mksrec vendored, with both generators; the firmware's
# toolchain compiles no file of mksrec's.
for generator in "Unix Makefiles" Ninja; do
    cross=$scratch/vendored-cross-${generator// /-}
    cp -r examples/firmware "$cross"
    mv "$cross/CMakeLists.txt" "$cross/CMakeLists.in"
    mkdir "$cross/build"
    vendored cmake-fetchcontent "$cross/build" -G "$generator" \
        -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm-none-eabi.cmake
    if grep -l 'arm-none-eabi' "$cross/build/_deps/mksrec-build/build-machine/CMakeCache.txt"; then
        echo "the build machine's mksrec saw the firmware's toolchain"
        exit 1
    fi
    file -L "$cross/build/_deps/mksrec-build/build-machine/mksrec" | grep "$(uname -m | tr _ -)"
    cmake --build "$cross/build" | tee "$scratch/again"
    if grep -q 'Converting' "$scratch/again"; then echo "a second build converted again"; exit 1; fi
    echo "cross, $generator: mksrec built for the build machine; firmware.srec reads back to the image"
done
# An installed mksrec first: found, nothing fetched.
first=$scratch/vendored-installed-first
mkdir -p "$first/build"
cp "$native/CMakeLists.in" "$native/firmware.c" "$first/"
vendored cmake-fetchcontent-installed-first "$first/build" -DCMAKE_PREFIX_PATH="$scratch/prefix"
grep -q "^mksrec_DIR:PATH=$scratch/prefix/share/cmake/mksrec\$" "$first/build/CMakeCache.txt"
[ ! -e "$first/build/_deps/mksrec-src" ] || { echo "fetched although installed"; exit 1; }
echo "FIND_PACKAGE_ARGS: the installed mksrec used, nothing fetched"
# The form the hosted CI runs on macOS and Windows.
bash .ci/vendored.sh | tail -n 1

echo "-- mksrec_add_srecord()'s arguments, refused when configuring"
for case in "mksrec_add_srecord(image INPUT image.bin):ADDRESS, the load address of the image's first byte, is required with INPUT" \
    "mksrec_add_srecord(firmware ADDRESS 80zz):ADDRESS '80zz' is not a hexadecimal number" \
    "mksrec_add_srecord(firmware ADDRESS 8000 BYTES_PER_RECORD 1x):BYTES_PER_RECORD '1x' is not a number" \
    "mksrec_add_srecord(firmware ADDRESS 8000 BYTES_PER_RECORD 0):BYTES_PER_RECORD 0 is out of range: an S-record line carries 1 to 16 data bytes" \
    "mksrec_add_srecord(firmware ADDRESS 8000 BYTES_PER_RECORD 17):BYTES_PER_RECORD 17 is out of range: an S-record line carries 1 to 16 data bytes" \
    "set(CMAKE_OBJCOPY objcopy) mksrec_add_srecord(firmware ADDRESS 8000) mksrec_add_srecord(firmware ADDRESS 9000 OUTPUT b.srec):there is a target 'firmware_srec' already; name this conversion with TARGET <name>" \
    "mksrec_add_srecord(firmware ADDRESS 08000000):ADDRESS 0x8000000 is out of reach: S2 addresses run from 0 to FFFFFF (16 MiB)" \
    "mksrec_add_srecord(nothing ADDRESS 8000):there is no target 'nothing'"; do
    call=${case%%:*} expected=${case#*:}
    project=$scratch/refused-$RANDOM
    mkdir "$project"
    printf '%s\n' 'cmake_minimum_required(VERSION 3.19)' 'project(refused LANGUAGES NONE)' \
        'find_package(mksrec 1.0 REQUIRED)' 'add_executable(firmware IMPORTED)' "${call//) /$')\n'}" \
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
(cd "$OLDPWD" && readme_block uppercase) | bash -euo pipefail
objcopy -I srec -O binary firmware-uc.srec back-uc.bin
cmp back-uc.bin firmware.srec.bin
if grep -q '[a-f]' firmware-uc.srec; then
    echo "lower-case digits left in firmware-uc.srec"
    exit 1
fi
