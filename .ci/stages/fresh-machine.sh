# SPDX-License-Identifier: MIT
# The README tried as a new user would: a minimal Debian 12 root with nothing but what the
# README names, its Quick-start commands run verbatim, then its Install routes as written.
# Whatever they need that the README does not name makes this stage fail.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need git

fresh_root
mkdir "$root/src"
git archive HEAD | tar -x -C "$root/src"
step quick-start-packages
# The README shows how the conversion's output ends: the same lines must end it here.
step quick-start-convert | tee "$scratch/converted"
readme_block quick-start-output >"$scratch/shown"
[ -s "$scratch/shown" ] || { echo "the README shows no output of the conversion"; exit 1; }
# The file's lines end in CR LF; the README shows them as text.
tail -n "$(wc -l <"$scratch/shown")" "$scratch/converted" | tr -d '\r' | diff -u "$scratch/shown" -
step quick-start-test
step from-source
inside /src 'test "$(command -v mksrec)" = /usr/local/bin/mksrec'
step cpack-deb-packages
step cpack-deb
inside /src 'dpkg -s mksrec | grep -q "^Status: install ok installed"'
# The Debian source package's route (debian-packages, debian-orig, debian-build), and the downloads need a release:
# the debian and release stages run them.
step manual-packages
step manual | grep >/dev/null 'convert a raw binary image into Motorola S-records'
