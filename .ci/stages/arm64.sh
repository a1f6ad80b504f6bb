# SPDX-License-Identifier: MIT
# Linux on aarch64: cross-built with Debian's cross compiler, the whole suite run under
# qemu-user.
source "$(dirname "$0")/../lib.sh"
need g++-aarch64-linux-gnu qemu-user

suite build-arm64 2 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64-linux-gnu.cmake
sample_converts qemu-aarch64 -L /usr/aarch64-linux-gnu build-arm64/mksrec

# The .deb for arm64. dpkg-shlibdeps finds the dependencies in Debian's arm64 libraries
# (multiarch): the cross compiler's own copies belong to no arm64 package.
dpkg --add-architecture arm64
need dpkg-dev file libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64
(cd build-arm64 && cpack -G DEB)
deb=$(ls build-arm64/mksrec_*_arm64.deb)
dpkg-deb --info "$deb"
dpkg-deb -c "$deb"
[ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ] || { echo "$deb is not for arm64"; exit 1; }
dpkg -x "$deb" "$scratch/root"
sample_converts qemu-aarch64 -L /usr/aarch64-linux-gnu "$scratch/root/usr/bin/mksrec"
