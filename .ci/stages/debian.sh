# SPDX-License-Identifier: MIT
# The Debian source package as a distribution builds it: install.md's route in a minimal
# Debian 12 root (only build-essential, devscripts, debhelper, git and the Build-Depends added),
# built twice, in two directories under two umasks at two times, with identical packages;
# lintian --pedantic on source and binary; the autopkgtest against the installed package.
# Then the CPack route, twice over in the same way.
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need git lintian devscripts cmake make g++ dpkg-dev file

version=$(dpkg-parsechangelog -S Version)
upstream=${version%-*}
arch=$(dpkg --print-architecture)

fresh_root
step debian-packages /
# install.md's commands, verbatim, in a fresh clone of the commit (as a user's clone is, with
# its git history); the second build also runs the whole suite from a path with spaces.
builds=(/build/one "/build/two, later")
umasks=(022 002)
for i in 0 1; do
    dir=${builds[$i]}
    mkdir -p "$root$dir"
    git clone -q . "$root$dir/mksrec"
    echo "-- dpkg-buildpackage in a clone in $dir, umask ${umasks[$i]}"
    (umask "${umasks[$i]}"
     step debian-orig "$dir/mksrec"
     step debian-build "$dir/mksrec" >"$scratch/build-$i.log" 2>&1) ||
        { tail -n 60 "$scratch/build-$i.log"; exit 1; }
    grep -E '^[0-9]+% tests passed' "$scratch/build-$i.log"
done

one=$root${builds[0]}
for file in "mksrec_${version}_$arch.deb" "mksrec-dbgsym_${version}_$arch.deb" "mksrec_$version.debian.tar.xz"; do
    cmp "$one/$file" "$root${builds[1]}/$file"
    echo "$file: the two builds are identical"
done

# Every warning and error fails; the informational tags are shown.
lintian --pedantic --display-info --fail-on error,warning "$one/mksrec_${version}_$arch.changes"

dpkg -x "$one/mksrec_${version}_$arch.deb" "$scratch/unpacked"
hardening_check "$scratch/unpacked/usr/bin/mksrec"

inside / "apt-get install -y -qq --no-install-recommends autopkgtest >/dev/null"
inside "${builds[0]}" "autopkgtest mksrec_${version}_$arch.deb mksrec/ -- null"

echo "-- the CPack route, twice"
clones=("$scratch/cpack-one" "$scratch/cpack two, later")
for i in 0 1; do
    git clone -q . "${clones[$i]}"
    (umask "${umasks[$i]}"
     cd "${clones[$i]}"
     cmake -S . -B build >/dev/null
     cmake --build build --parallel >/dev/null
     cd build && cpack -G DEB >/dev/null && cpack -G TGZ >/dev/null)
done
for file in "mksrec_${upstream}_$arch.deb" "mksrec-$upstream-linux-x86_64.tar.gz"; do
    cmp "${clones[0]}/build/$file" "${clones[1]}/build/$file"
    echo "$file: the two builds are identical"
done
