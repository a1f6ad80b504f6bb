# SPDX-License-Identifier: MIT
# The README tried as a new user would: a minimal Debian 12 root with nothing but what the
# README names, its Quick-start commands run verbatim, then its Install routes as written.
# Whatever they need that the README does not name makes this stage fail.
source "$(dirname "$0")/../lib.sh"
need git

fresh_root
mkdir "$root/src"
git archive HEAD | tar -x -C "$root/src"
step 'Quick start' 1
# The README shows how the conversion's output ends: the same lines must end it here.
step 'Quick start' 2 | tee "$scratch/converted"
(cd "$root/src" && awk '/ends with/ { armed = 1; next } armed && /^```/ { if (shown) exit; shown = 1; next }
                       shown { print }' README.md) \
    >"$scratch/shown"
[ -s "$scratch/shown" ] || { echo "the README shows no output of the conversion"; exit 1; }
# The file's lines end in CR LF; the README shows them as text.
tail -n "$(wc -l <"$scratch/shown")" "$scratch/converted" | tr -d '\r' | diff -u "$scratch/shown" -
step 'Quick start' 3
step 'From source' 1
inside /src 'test "$(command -v mksrec)" = /usr/local/bin/mksrec'
step 'As a Debian package' 1
step 'As a Debian package' 2
inside /src 'dpkg -s mksrec | grep -q "^Status: install ok installed"'
# Commands 3 to 5 are the Debian source package's route, and the downloads need a release:
# the debian and release stages run them.
step 'The manual page' 1
step 'The manual page' 2 | grep >/dev/null 'convert a raw binary image into Motorola S-records'
