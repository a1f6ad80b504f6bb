# SPDX-License-Identifier: MIT
# The README's build recipes, run as a user would copy them: the Make rule (a failed run
# must leave nothing behind that the next make takes as up to date), the CMake project in
# examples/firmware, and the upper-case translation for loaders.
source "$(dirname "$0")/../lib.sh"
need cmake make g++ binutils
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

echo "-- CMake project examples/firmware"
# The recipe in the README must be the one built here, line for line.
if readme_block "$heading" cmake 1 | grep -vxF -f examples/firmware/CMakeLists.txt; then
    echo "the README's CMake recipe is not the one in examples/firmware/CMakeLists.txt"
    exit 1
fi
cmake -S examples/firmware -B "$scratch/firmware" >/dev/null
cmake --build "$scratch/firmware"
objcopy -I srec -O binary "$scratch/firmware/firmware.srec" "$scratch/back.bin"
cmp "$scratch/back.bin" "$scratch/firmware/firmware.bin"
[ ! -e "$scratch/firmware/firmware.srec.part" ] || { echo "firmware.srec.part left behind"; exit 1; }

echo "-- Upper-case digits for loaders"
cd "$scratch/firmware"
(cd "$OLDPWD" && readme_command "$heading" 1) | bash -euo pipefail
objcopy -I srec -O binary firmware-uc.srec back-uc.bin
cmp back-uc.bin firmware.bin
if grep -q '[a-f]' firmware-uc.srec; then
    echo "lower-case digits left in firmware-uc.srec"
    exit 1
fi
