# SPDX-License-Identifier: MIT
# Linux on s390x with Debian's cross compiler (cmake/toolchains/debian-cross.cmake).
# cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/s390x-linux-gnu.cmake
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(MKSREC_CROSS_TRIPLET s390x-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
