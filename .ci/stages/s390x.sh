# SPDX-License-Identifier: MIT
# Linux on s390x: cross-built with Debian's cross compiler, the whole suite run under
# qemu-user.
source "$(dirname "$0")/../lib.sh"
need g++-s390x-linux-gnu qemu-user

suite build-s390x 2 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/s390x-linux-gnu.cmake
sample_converts "build-s390x/mksrec, qemu-s390x" qemu-s390x -L /usr/s390x-linux-gnu build-s390x/mksrec
