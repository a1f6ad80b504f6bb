# SPDX-License-Identifier: MIT
# Linux on 64-bit RISC-V (RV64GC) with Debian's cross compiler
# (cmake/toolchains/debian-cross.cmake). The vector extension is optional on RV64GC boards:
# the portable encoder is used.
# cmake -S . -B build-riscv64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/riscv64-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(MKSREC_CROSS_TRIPLET riscv64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
