# SPDX-License-Identifier: MIT
# Linux on aarch64: the whole suite under qemu-user, and the .deb.
source "$(dirname "$0")/../lib.sh"
cross_linux aarch64-linux-gnu qemu-aarch64 arm64
