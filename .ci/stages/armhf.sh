# SPDX-License-Identifier: MIT
# Linux on 32-bit ARM (armhf), the one 32-bit target: cross-built with Debian's cross
# compiler, the whole suite run under qemu-user.
source "$(dirname "$0")/../lib.sh"
need g++-arm-linux-gnueabihf qemu-user

suite build-armhf 2 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm-linux-gnueabihf.cmake
sample_converts qemu-arm -L /usr/arm-linux-gnueabihf build-armhf/mksrec

# The .deb for armhf. dpkg-shlibdeps finds the dependencies in Debian's armhf libraries
# (multiarch): the cross compiler's own copies belong to no armhf package.
dpkg --add-architecture armhf
need dpkg-dev file libc6:armhf libstdc++6:armhf libgcc-s1:armhf
(cd build-armhf && cpack -G DEB)
deb=$(ls build-armhf/mksrec_*_armhf.deb)
dpkg-deb --info "$deb"
dpkg-deb -c "$deb"
[ "$(dpkg-deb -f "$deb" Architecture)" = armhf ] || { echo "$deb is not for armhf"; exit 1; }
dpkg -x "$deb" "$scratch/root"
sample_converts qemu-arm -L /usr/arm-linux-gnueabihf "$scratch/root/usr/bin/mksrec"
