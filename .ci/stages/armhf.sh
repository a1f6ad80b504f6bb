# SPDX-License-Identifier: MIT
# Linux on 32-bit ARM (armhf), the one 32-bit target: the whole suite under qemu-user, and
# the .deb.
source "$(dirname "$0")/../lib.sh"
cross_linux arm-linux-gnueabihf qemu-arm armhf
