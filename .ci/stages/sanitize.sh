# SPDX-License-Identifier: MIT
# The whole suite with AddressSanitizer and UndefinedBehaviorSanitizer.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need g++ strace
suite build-sanitize 2 -DMKSREC_SANITIZE=ON
