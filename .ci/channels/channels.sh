# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# shellcheck disable=SC2154 # released, version, emulator, wine and scratch are the stage's
# Sourced by the release stage: the routes by which package managers install mksrec. A pip
# wheel for every program the release ships, made inside release() from the very programs
# its tarballs and zip hold (so made twice, compared, and in SHA256SUMS), then proven:
# twine's metadata check, every RECORD hash, the native wheel installed into a fresh virtual
# environment and each foreign one for its platform, each installed program through the
# end-to-end suite where it runs. Then the Homebrew formula, the Scoop manifest and the
# winget manifests, written into channels/ from SHA256SUMS and checked against the files.
# Debian's own python3 throughout: its zlib writes the wheels, its pip installs them.
need python3 python3-venv python3-wheel twine ruby python3-yaml unzip
py=/usr/bin/python3
# The machine's pip settings (an index, extra folders of wheels) would change what pip finds.
for variable in "${!PIP_@}"; do unset "$variable"; done
export PIP_CONFIG_FILE=/dev/null PIP_DISABLE_PIP_VERSION_CHECK=1 PIP_NO_WARN_SCRIPT_LOCATION=1

# The static Linux downloads, by their names' processor: x86_64 and each row's tarball.
linux_wheels=(x86_64)
for name in "${released[@]}"; do
    platform "$name"
    [ -z "$tarball" ] || linux_wheels+=("$tarball")
done

# wheel_arch TARBALL: the processor as Python names it; armhf is ARMv7 with hard float, which
# a Raspberry Pi OS 32-bit reports as armv7l.
wheel_arch() { case $1 in armhf) echo armv7l ;; *) echo "$1" ;; esac; }

# wheel_of ARCH: the wheel of dist/ for ARCH (as make_wheel.py names them), its path.
wheel_of() {
    local tag
    case $1 in
    windows) tag=win_amd64 ;;
    macos) tag=macosx_11_0_universal2 ;;
    *) tag=manylinux_2_17_$1 ;;
    esac
    ls dist/mksrec-"$version"-py3-none-"$tag".*whl
}

# channel_wheels OUT: a wheel beside each program of OUT, from OUT's own downloads and the
# files of the copy of HEAD that release() builds from ($source).
channel_wheels() {
    local out=$1 work=$scratch/wheels-$RANDOM name arch
    local wheel=("$py" "$source/.ci/channels/make_wheel.py" "$out" "$version")
    local files=("$source/LICENSE" "$source/.ci/channels/description.md")
    for name in "${linux_wheels[@]}"; do
        mkdir -p "$work/$name"
        tar -xzf "$out/mksrec-$version-linux-$name.tar.gz" -C "$work/$name" --strip-components=1
        "${wheel[@]}" "$(wheel_arch "$name")" "$work/$name/bin/mksrec" "${files[@]}" >/dev/null
    done
    unzip -q "$out/mksrec-$version-windows-x86_64.zip" -d "$work/windows"
    "${wheel[@]}" windows "$work/windows/mksrec-$version-windows-x86_64/mksrec.exe" "${files[@]}" >/dev/null
    mkdir -p "$work/macos"
    tar -xzf "$out/mksrec-$version-macos.tar.gz" -C "$work/macos" --strip-components=1
    "${wheel[@]}" macos "$work/macos/bin/mksrec" "${files[@]}" >/dev/null
}

# channel_wheel_names: the names of the wheels that dist/ must hold.
channel_wheel_names() {
    local name
    for name in "${linux_wheels[@]}"; do
        name=$(wheel_arch "$name")
        [ "$name" = riscv64 ] || printf 'mksrec-%s-py3-none-manylinux_2_17_%s.manylinux2014_%s.musllinux_1_1_%s.whl ' \
            "$version" "$name" "$name" "$name"
        [ "$name" != riscv64 ] || printf 'mksrec-%s-py3-none-manylinux_2_17_%s.musllinux_1_1_%s.whl ' \
            "$version" "$name" "$name"
    done
    printf 'mksrec-%s-py3-none-win_amd64.whl ' "$version"
    printf 'mksrec-%s-py3-none-macosx_11_0_universal2.macosx_11_0_arm64.macosx_11_0_x86_64.whl' "$version"
}

# refused COMMAND...: COMMAND must fail; its log is kept in $scratch/refused.log.
refused() {
    if "$@" >"$scratch/refused.log" 2>&1; then
        cat "$scratch/refused.log"
        echo "passed, but must fail: $*"
        exit 1
    fi
}

# flip_byte WHEEL COPY: COPY is WHEEL with one byte of its program changed and its RECORD
# as it was, as a wheel tampered with after it was written would be.
flip_byte() {
    "$py" - "$1" "$2" <<'END'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as wheel, zipfile.ZipFile(sys.argv[2], "w") as copy:
    for member in wheel.infolist():
        data = wheel.read(member)
        if "/scripts/" in member.filename:
            data = data[:4096] + bytes([data[4096] ^ 0xFF]) + data[4097:]
        copy.writestr(member, data)
END
}

# installed_for PLATFORM: the release's wheel for PLATFORM (a pip platform tag) installed
# by pip from dist/ into a folder of its own, as for another machine; the folder's path.
installed_for() {
    local target=$scratch/target-$1
    "$venv/bin/pip" install -q --no-index --find-links dist --platform "$1" --only-binary=:all: \
        --target "$target" mksrec
    echo "$target"
}

# not_here ARCH: pip refuses to install the wheel for ARCH on this machine without --platform.
not_here() {
    refused "$venv/bin/pip" install --no-index "$(wheel_of "$1")"
    grep -q 'is not a supported wheel on this platform' "$scratch/refused.log" ||
        { cat "$scratch/refused.log"; exit 1; }
    echo "$1: installing its wheel here, without --platform, is refused"
}

# channel_checks: the wheels and the manifests proven; the suite runs join e2e_results.
channel_checks() {
    echo "-- the wheels: $(cd dist && echo ./*.whl)"
    COLUMNS=300 twine --no-color check --strict dist/*.whl
    local whl
    for whl in dist/*.whl; do
        "$py" -m wheel unpack -d "$scratch/unpacked" "$whl" >/dev/null
    done
    echo "every wheel's RECORD: each file's hash and size as listed (python3 -m wheel unpack)"
    mkdir -p "$scratch/flipped"
    flip_byte "$(wheel_of x86_64)" "$scratch/flipped/$(basename "$(wheel_of x86_64)")"
    refused "$py" -m wheel unpack -d "$scratch/unpacked-flipped" "$scratch/flipped/"*.whl
    grep -q 'Hash mismatch' "$scratch/refused.log" || { cat "$scratch/refused.log"; exit 1; }
    echo "a wheel with one program byte flipped is refused: $(tail -n 1 "$scratch/refused.log")"

    # The native wheel, offline into a fresh virtual environment; the installed program is
    # the download's, byte for byte, and so is each foreign wheel's.
    venv=$scratch/venv
    "$py" -m venv "$venv"
    "$venv/bin/pip" install -q --no-index "$(wheel_of x86_64)"
    cmp "$venv/bin/mksrec" "$scratch/static-x86_64/bin/mksrec"
    sample_converts "the x86-64 wheel in a virtual environment, mksrec" "$venv/bin/mksrec"
    # python -m mksrec as one program for the suite; the program it starts names itself by
    # its own path in its usage message.
    printf '#!/bin/sh\nexec "%s" -m mksrec "$@"\n' "$venv/bin/python" >"$scratch/python-m-mksrec"
    chmod +x "$scratch/python-m-mksrec"
    sample_converts "the x86-64 wheel in a virtual environment, python -m mksrec" "$scratch/python-m-mksrec"
    e2e "the x86_64 wheel in a virtual environment, mksrec" "$venv/bin/mksrec"
    E2E_PROGRAM_NAME=$venv/bin/mksrec e2e "the x86_64 wheel in a virtual environment, python -m mksrec" \
        "$scratch/python-m-mksrec"
    # install.md's route for a downloaded wheel, in the minimal Debian 12 root that holds
    # the release (the stage made it for the README's commands).
    step wheel-packages /tmp/release
    step wheel-install /tmp/release >/dev/null
    inside /tmp/release 'venv/bin/mksrec 16 8000 sample.bin wheel.srec >/dev/null &&
        venv/bin/python -m mksrec 16 8000 sample.bin wheel-m.srec >/dev/null'
    cmp "$root/tmp/release/wheel.srec" examples/sample.srec
    cmp "$root/tmp/release/wheel-m.srec" examples/sample.srec
    echo "Debian 12 root: the x86-64 wheel as install.md installs it; mksrec and python -m mksrec convert the sample, byte for byte"
    cmp "$(installed_for musllinux_1_1_x86_64)/bin/mksrec" "$scratch/static-x86_64/bin/mksrec"
    echo "x86_64: the wheel pip picks for musllinux_1_1_x86_64 holds the same program"

    local name arch target platform
    for name in "${released[@]}"; do
        platform "$name"
        [ -n "$tarball" ] || continue
        arch=$(wheel_arch "$tarball")
        not_here "$arch"
        for platform in "musllinux_1_1_$arch" "manylinux_2_17_$arch"; do
            target=$(installed_for "$platform")
            cmp "$target/bin/mksrec" "$scratch/static-$tarball/bin/mksrec"
        done
        echo "$arch: the wheel pip picks for manylinux_2_17_$arch and for musllinux_1_1_$arch holds the download's program"
        e2e "the $arch wheel, pip install --platform manylinux_2_17_$arch, ${emulator[0]}" \
            "$target/bin/mksrec" "${emulator[0]}"
    done
    not_here windows
    target=$(installed_for win_amd64)
    cmp "$target/bin/mksrec.exe" "$scratch/zip/mksrec-$version-windows-x86_64/mksrec.exe"
    echo "windows: with --platform win_amd64 pip installs the zip's mksrec.exe"
    e2e "the Windows wheel, pip install --platform win_amd64, wine" "$target/bin/mksrec.exe" "$wine/wine64"
    not_here macos
    for platform in macosx_11_0_arm64 macosx_11_0_x86_64; do
        target=$(installed_for "$platform")
        cmp "$target/bin/mksrec" "$scratch/macos/bin/mksrec"
    done
    python3 .ci/macho_check.py "$target/bin/mksrec" | tail -n 1 | sed "s|$scratch/||"
    echo "macos: pip installs the tarball's program for macosx_11_0_arm64 and for macosx_11_0_x86_64 (checked, not run)"

    echo "-- the Homebrew formula, the Scoop manifest, the winget manifests (channels/)"
    rm -rf channels
    "$py" .ci/channels/manifests.py write dist channels "$version"
    "$py" .ci/channels/manifests.py check dist channels "$version"
    # The formula's install and test, with Homebrew's language stubbed, on the source download.
    mkdir -p "$scratch/formula"
    tar -xzf "dist/mksrec-$version.tar.gz" -C "$scratch/formula"
    ruby .ci/channels/formula_stub.rb channels/homebrew/mksrec.rb build "$scratch/formula/mksrec-$version" \
        "$scratch/formula/prefix" >"$scratch/formula.log" 2>&1 || { cat "$scratch/formula.log"; exit 1; }
    tail -n 1 "$scratch/formula.log" | sed "s|$scratch/||g"
    # The check refuses a wrong hash in each, and a path the zip lacks in each that runs one.
    local source_sum zip_sum installer
    source_sum=$(sed -n "s/ .*mksrec-$version.tar.gz$//p" dist/SHA256SUMS)
    zip_sum=$(sed -n "s/ .*mksrec-$version-windows-x86_64.zip$//p" dist/SHA256SUMS)
    installer=$(cd channels && echo winget/*.installer.yaml)
    planted "s/$source_sum/$(wrong_hash "$source_sum")/" homebrew/mksrec.rb
    planted "s/$zip_sum/$(wrong_hash "$zip_sum")/" scoop/mksrec.json
    planted "s/${zip_sum^^}/$(wrong_hash "$zip_sum" | tr a-f A-F)/" "$installer"
    planted 's|"bin": "mksrec.exe"|"bin": "bin/mksrec.exe"|' scoop/mksrec.json
    planted 's|windows-x86_64\\mksrec.exe|windows-x86_64\\bin\\mksrec.exe|' "$installer"
}

# wrong_hash HASH: every digit of HASH moved on by one, a hash of the right shape, and wrong.
wrong_hash() { tr 0-9a-f 1-9a-f0 <<<"$1"; }

# planted SED FILE...: a copy of channels/ with SED applied to those of FILE (under
# channels/) that it changes must be refused by the check; at least one must change.
planted() {
    local edit=$1 file changed=
    shift
    rm -rf "$scratch/planted" && cp -r channels "$scratch/planted"
    for file; do
        sed -i "$edit" "$scratch/planted/$file"
        cmp -s "channels/$file" "$scratch/planted/$file" || changed+=" $file"
    done
    [ -n "$changed" ] || { echo "'$edit' changed nothing in $*"; exit 1; }
    refused "$py" .ci/channels/manifests.py check dist "$scratch/planted" "$version"
    echo "refused:$changed with $edit: $(tail -n 1 "$scratch/refused.log")"
}
