# SPDX-License-Identifier: MIT
# The install rules and the packages: exactly the program, its manual page, changelog and
# copyright; a .deb that lintian accepts and whose program converts the sample; a tarball.
source "$(dirname "$0")/../lib.sh"
need cmake make g++ libgtest-dev libbenchmark-dev dpkg-dev file lintian man-db
cmake -S . -B build >/dev/null
cmake --build build --parallel

DESTDIR="$scratch/destdir" cmake --install build --prefix /opt/mksrec >/dev/null
installed=$(cd "$scratch/destdir" && find . -type f | sort | tr '\n' ' ')
expected="./opt/mksrec/bin/mksrec ./opt/mksrec/share/doc/mksrec/changelog.gz"
expected+=" ./opt/mksrec/share/doc/mksrec/copyright ./opt/mksrec/share/man/man1/mksrec.1.gz "
[ "$installed" = "$expected" ] ||
    { echo "unexpected install: $installed"; exit 1; }

rm -f build/mksrec_*.deb build/mksrec-*.tar.gz
(cd build && cpack -G DEB && cpack -G TGZ)
deb=$(ls build/mksrec_*_*.deb)
dpkg-deb --info "$deb"
dpkg-deb -c "$deb"
# Every warning counts; the informational tags are printed but pass.
lintian --display-info --fail-on error,warning "$deb"
dpkg -x "$deb" "$scratch/root"
"$scratch/root/usr/bin/mksrec" 16 8000 examples/sample.bin "$scratch/sample.srec"
cmp "$scratch/sample.srec" examples/sample.srec
version=$(sed -n 's/^project(mksrec VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
man -l "$scratch/root/usr/share/man/man1/mksrec.1.gz" | grep "mksrec $version" >/dev/null
tar -tzf build/mksrec-*.tar.gz
