# SPDX-License-Identifier: MIT
# The install rules and the packages: cmake --install gives exactly the program, its CMake
# package and its manual page; a hardened .deb that lintian --pedantic accepts and whose program converts
# the sample; a tarball with the licence and README.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need cmake make g++ libgtest-dev dpkg-dev file lintian man-db
cmake -S . -B build >/dev/null
cmake --build build --parallel

DESTDIR="$scratch/destdir" cmake --install build --prefix /opt/mksrec >/dev/null
installed=$(cd "$scratch/destdir" && find . -type f | sort | tr '\n' ' ')
expected="./opt/mksrec/bin/mksrec ./opt/mksrec/share/cmake/mksrec/mksrecConfig.cmake"
expected+=" ./opt/mksrec/share/cmake/mksrec/mksrecConfigVersion.cmake"
expected+=" ./opt/mksrec/share/cmake/mksrec/mksrecConvert.cmake"
expected+=" ./opt/mksrec/share/cmake/mksrec/mksrecFunctions.cmake ./opt/mksrec/share/man/man1/mksrec.1 "
[ "$installed" = "$expected" ] ||
    { echo "unexpected install: $installed"; exit 1; }
hardening_check build/mksrec

rm -f build/mksrec_*.deb build/mksrec-*.tar.gz
(cd build && cpack -G DEB && cpack -G TGZ)
deb=$(ls build/mksrec_*_*.deb)
dpkg-deb --info "$deb"
dpkg-deb -c "$deb"
# Every warning counts; the informational and pedantic tags are printed but pass.
lintian --pedantic --display-info --fail-on error,warning "$deb"
dpkg -x "$deb" "$scratch/root"
hardening_check "$scratch/root/usr/bin/mksrec"
sample_converts "the program of $deb" "$scratch/root/usr/bin/mksrec"
version=$(project_version)
man -l "$scratch/root/usr/share/man/man1/mksrec.1.gz" | grep "mksrec $version" >/dev/null

tar -tzf build/mksrec-*.tar.gz | sort | tee "$scratch/listed"
for file in bin/mksrec share/man/man1/mksrec.1 LICENSE README.md docs/install.md; do
    grep -qx "mksrec-$version-linux-[^/]*/$file" "$scratch/listed" || { echo "tarball lacks $file"; exit 1; }
done
