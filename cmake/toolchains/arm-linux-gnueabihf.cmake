# SPDX-License-Identifier: MIT
# Linux on 32-bit ARM (Debian's armhf: ARMv7-A, hard float) with Debian's cross compiler
# (cmake/toolchains/debian-cross.cmake). NEON is optional on ARMv7-A, and armhf does not
# assume it: the portable encoder is used.
# cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm-linux-gnueabihf.cmake
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(MKSREC_CROSS_TRIPLET arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
