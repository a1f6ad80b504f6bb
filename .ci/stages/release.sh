# SPDX-License-Identifier: MIT
# A release of every platform from the commit, into dist/: the source, and each download that
# a row of cmake/platforms names (a static program's tarball, a .deb, a zip, the macOS
# tarball of .ci/macos.sh), a pip wheel of each program (.ci/channels/channels.sh),
# SHA256SUMS. Made twice from a git archive of HEAD (nothing untracked can leak in), in two
# directories under two umasks, and compared byte for byte; then each file proven where it
# lands, the setup action's script run against the downloads, and every program that runs
# here, natively or under its row's emulator, through the whole end-to-end suite (one that
# runs nowhere here is checked, not run). Last, the package managers' routes: the wheels
# installed, the Homebrew, Scoop and winget manifests. MKSREC_HOME, the repository's address,
# which the release workflow sets, goes into what must name it (the .deb's Homepage, the
# wheels' metadata, the manifests' addresses).
# shellcheck source=../lib.sh
source "$(dirname "$0")/../lib.sh"
need git cmake make g++ groff-base dpkg-dev file unzip binutils util-linux
# shellcheck source=../macos.sh
source .ci/macos.sh
# The platforms with a download, each with what builds and runs it; for a .deb also Debian's
# own libraries of its architecture, in which dpkg-shlibdeps finds the dependencies
# (multiarch).
released=()
for name in $(platform_names); do
    platform "$name"
    [ -n "$downloads" ] || continue
    released+=("$name")
    need "${needs[@]}"
    case " $downloads " in *" deb "*)
        dpkg --add-architecture "$debian"
        need "libc6:$debian" "libstdc++6:$debian" "libgcc-s1:$debian" ;;
    esac
    case " $downloads " in *" universal "*) zig_install ;; esac
    [ "$runs" != wine ] || start_wine
done
# shellcheck source=../setup_check.sh
source .ci/setup_check.sh

version=$(project_version)
# shellcheck source=../channels/channels.sh
source .ci/channels/channels.sh

# package SOURCE BUILD GENERATOR OPTION...: configures and builds SOURCE into BUILD without
# tests, and makes the package; its path on standard output.
package() {
    local source=$1 build=$2 generator=$3
    shift 3
    cmake -S "$source" -B "$build" -DMKSREC_TESTS=OFF -DMKSREC_HOME="${MKSREC_HOME-}" "$@" >/dev/null
    cmake --build "$build" --parallel >/dev/null
    (cd "$build" && cpack -G "$generator" >/dev/null)
    ls "$build"/mksrec*.{deb,tar.gz,zip} 2>/dev/null
}

# download DIR KIND: the file in DIR that the platform last named to `platform` ships as KIND.
download() {
    case $2 in
    tgz | universal) echo "$1/mksrec-$version-$package.tar.gz" ;;
    zip) echo "$1/mksrec-$version-$package.zip" ;;
    deb) echo "$1/mksrec_${version}_$debian.deb" ;;
    esac
}

# unpacked DIR KIND DEST: that download unpacked into DEST; the path of its program.
unpacked() {
    local file
    file=$(download "$1" "$2")
    mkdir -p "$3"
    case $2 in
    tgz | universal) tar -xzf "$file" -C "$3" --strip-components=1 && echo "$3/bin/mksrec" ;;
    zip) unzip -q "$file" -d "$3" && echo "$3/mksrec-$version-$package/mksrec.exe" ;;
    deb) dpkg -x "$file" "$3" && echo "$3/usr/bin/mksrec" ;;
    esac
}

# release DIRECTORY: every file of the release, made from a fresh copy of HEAD.
release() {
    local out=$1 source=$scratch/source-$RANDOM name kind options
    mkdir -p "$out" "$source"
    git archive HEAD | tar -x -C "$source"
    git archive --prefix="mksrec-$version/" -o "$out/mksrec-$version.tar.gz" HEAD
    for name in "${released[@]}"; do
        platform "$name"
        options=()
        [ -z "$toolchain" ] || options=(-DCMAKE_TOOLCHAIN_FILE="$source/$toolchain")
        for kind in $downloads; do
            case $kind in
            tgz) cp "$(package "$source" "$source/static-$name" TGZ "${options[@]}" -DMKSREC_STATIC=ON)" "$out/" ;;
            deb) cp "$(package "$source" "$source/dynamic-$name" DEB "${options[@]}")" "$out/" ;;
            zip) cp "$(package "$source" "$source/$name" ZIP "${options[@]}")" "$out/" ;;
            universal) cp "$(macos_package "$source" "$source/$toolchain")" "$out/" ;;
            esac
        done
    done
    channel_wheels "$out"
    (cd "$out" && sha256sum -- * >SHA256SUMS)
}

rm -rf dist
(umask 022 && release dist)
(umask 002 && release "$scratch/again")
ls -l dist
for file in dist/*; do
    cmp "$file" "$scratch/again/${file#dist/}"
done
echo "made twice, the same bytes: $(cd dist && echo *)"
cat dist/SHA256SUMS
(cd dist && sha256sum -c SHA256SUMS)

# Named as the table names each platform (the packaging reads the same table).
read -r -a expected <<<"dist/mksrec-$version.tar.gz dist/SHA256SUMS $(channel_wheel_names)"
for name in "${released[@]}"; do
    platform "$name"
    for kind in $downloads; do expected+=("$(download dist "$kind")"); done
done
[ "$(printf '%s\n' dist/* | sort)" = "$(printf '%s\n' "${expected[@]}" | sort)" ] ||
    { echo "dist/ should hold exactly: ${expected[*]}"; exit 1; }

# e2e LABEL PROGRAM [EMULATOR...]: the whole end-to-end suite on PROGRAM, started in the
# background with its log kept; e2e_results waits for every run, shows each one's counts
# and skip reasons under its LABEL, and fails if a case failed in any. Each run has its own
# scratch directories and loop devices, so the emulated ones go on side by side.
labels=() logs=() pids=()
e2e() {
    local log=$scratch/e2e-${#logs[@]}.log
    labels+=("$1") logs+=("$log")
    E2E_FAULT_LIBRARY=$scratch/fault.so bash tests/e2e.sh "${@:2}" >"$log" 2>&1 &
    pids+=("$!")
}
e2e_results() {
    local i failed=0
    for i in "${!logs[@]}"; do
        wait "${pids[$i]}" || failed=1
        echo "end-to-end, ${labels[$i]}: $(tail -n 1 "${logs[$i]}")"
        sed -n 's/^skipped: .*(\(.*\))$/\1/p' "${logs[$i]}" | sort | uniq -c
        ! grep -q '^FAIL' "${logs[$i]}" || { grep -v '^skipped: ' "${logs[$i]}"; failed=1; }
    done
    pids=()
    return $failed
}
on_exit '[ "${#pids[@]}" = 0 ] || kill "${pids[@]}" 2>/dev/null; wait'
# The fault library that the suite preloads into a native, dynamically linked program.
g++ -O2 -shared -fPIC -o "$scratch/fault.so" tests/fault.cpp -ldl

# Each download where it lands: its files, what its program is, and the program run where it
# runs here, the sample converted and the whole suite. programs[NAME]: the program of the row
# NAME's own download (not its .deb), the one its wheel and the setup action install.
declare -A programs
for name in "${released[@]}"; do
    platform "$name"
    for kind in $downloads; do
        file=$(download dist "$kind")
        echo "-- ${file#dist/}"
        dir=$scratch/$kind-$name
        program=$(unpacked dist "$kind" "$dir")
        [ "$kind" = deb ] || programs[$name]=$program
        case $kind in
        tgz)
            (cd "$dir" && ls bin/mksrec share/man/man1/mksrec.1 share/cmake/mksrec LICENSE README.md >/dev/null)
            file "$program" | tee "$scratch/file"
            grep -q 'static-pie linked\|statically linked' "$scratch/file" || { echo "not static"; exit 1; }
            ;;
        universal) macos_check "$dir" ;;
        zip)
            (cd "$(dirname "$program")" && ls mksrec.exe LICENSE.txt README.txt mksrec.txt >/dev/null)
            for text in LICENSE.txt README.txt mksrec.txt; do
                if grep -q $'[^\r]$\|^$' "$(dirname "$program")/$text"; then
                    echo "$text has a line that does not end in CR LF"
                    exit 1
                fi
            done
            size=$(stat -c %s "$program")
            echo "mksrec.exe: $size bytes"
            [ "$size" -lt 153600 ] || { echo "mksrec.exe is 150 KB or more"; exit 1; }
            windows_dlls "$program"
            # The version resource's strings are UTF-16.
            strings -e l "$program" | grep -x -A1 ProductVersion | tee "$scratch/resource"
            grep -qx "$version" "$scratch/resource" || { echo "no version $version in mksrec.exe"; exit 1; }
            ;;
        deb)
            # Large-file support, which qemu-user cannot show: on the host's 64-bit kernel a
            # 32-bit program opens a file of 2 GiB or more either way. Its calls can: the
            # 64-bit offset ones.
            if file -b "$program" | grep -q '^ELF 32-bit'; then
                opens=$(readelf -W --dyn-syms "$program" | grep -ow 'fopen64\|fopen' | sort -u | tr '\n' ' ')
                echo "${file#dist/}: a 32-bit program, which opens files with: $opens"
                [ "$opens" = "fopen64 " ] || { echo "$program opens files without large-file support"; exit 1; }
            fi
            ;;
        esac
        [ "$runs" != none ] || { echo "${file#dist/}: checked, not run (nothing here runs it)"; continue; }
        if [ "$runs" = native ] && [ "$kind" = tgz ]; then
            finds_package "$dir/share/cmake/mksrec"
            # In a root that holds nothing but the program and its files: no C library at all.
            empty=$scratch/empty-$name
            mkdir "$empty"
            cp "$program" examples/sample.bin "$empty/"
            sample_converts "${file#dist/}, a root with no C library" \
                sh -c 'chroot "$1" /mksrec "$2" "$3" /sample.bin /landed.srec && mv "$1/landed.srec" "$5"' sh "$empty"
        fi
        where="${file#dist/}, ${runner[0]:-native}"
        sample_converts "$where" "${runner[@]}" "$program"
        e2e "$where" "$program" "${runner[@]}"
    done
done

echo "-- the setup action, as each hosted runner would run it"
setup_check

echo "-- what the release workflow publishes with the files"
for deb in dist/*.deb; do
    homepage=$(dpkg-deb -f "$deb" Homepage)
    [ "$homepage" = "${MKSREC_HOME-}" ] ||
        { echo "$deb: its Homepage is '$homepage', MKSREC_HOME '${MKSREC_HOME-}'"; exit 1; }
done
echo "the .debs' Homepage: ${homepage:-none, as MKSREC_HOME is unset (the release workflow sets it)}"
echo "the release notes: $(bash .ci/release_notes.sh "$version" | wc -l) lines of CHANGELOG.md's $version section"

echo "-- a minimal Debian 12 root: the README's download commands, then its .deb"
fresh_root
mkdir "$root/tmp/release"
cp dist/* examples/sample.bin "$root/tmp/release/"
step download-check /tmp/release
step download-unpack /tmp/release
inside /tmp/release 'test "$(command -v mksrec)" = /usr/local/bin/mksrec &&
    test -f /usr/local/share/man/man1/mksrec.1 && mksrec 16 8000 sample.bin static.srec >/dev/null'
cmp "$root/tmp/release/static.srec" examples/sample.srec
step download-deb /tmp/release >/dev/null
inside /tmp/release "/usr/bin/mksrec 16 8000 sample.bin deb.srec >/dev/null"
cmp "$root/tmp/release/deb.srec" examples/sample.srec
echo "Debian 12 root: the static program as the README installs it, and the .deb it names, convert the sample, byte for byte"

channel_checks

echo "-- every program of dist/ through the end-to-end suite"
e2e_results
