# SPDX-License-Identifier: MIT
# Linux on another processor with Debian's cross compiler (package g++-TRIPLET), included by
# each such toolchain file once it has set CMAKE_SYSTEM_PROCESSOR and MKSREC_CROSS_TRIPLET.
# The tests run under qemu-user with the cross compiler's libraries as the sysroot.
set(CMAKE_SYSTEM_NAME Linux)

set(CMAKE_C_COMPILER ${MKSREC_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${MKSREC_CROSS_TRIPLET}-g++)

set(CMAKE_FIND_ROOT_PATH /usr/${MKSREC_CROSS_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# qemu-user names its programs after the processor, every 32-bit ARM version as qemu-arm.
string(REGEX REPLACE "^armv.*" arm MKSREC_CROSS_QEMU ${CMAKE_SYSTEM_PROCESSOR})
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${MKSREC_CROSS_QEMU} -L /usr/${MKSREC_CROSS_TRIPLET})
