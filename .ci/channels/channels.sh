# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# shellcheck disable=SC2154 # released, programs, version, the platform's facts and scratch are the stage's
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

# wheel_tags: the tags of the wheel of the platform last named to `platform`, dot-separated
# as in its name (make_wheel.py holds them); nothing for a platform without a program download.
wheel_tags() {
    case " $downloads " in
    *" tgz "* | *" zip "* | *" universal "*) "$py" .ci/channels/make_wheel.py --tags "$package" ;;
    esac
}

# wheel_of: that platform's wheel in dist/, its path.
wheel_of() { echo "dist/mksrec-$version-py3-none-$(wheel_tags).whl"; }

# channel_wheels OUT: a wheel beside each program of OUT, from OUT's own downloads and the
# files of the copy of HEAD that release() builds from ($source).
channel_wheels() {
    local out=$1 work=$scratch/wheels-$RANDOM name kind
    for name in "${released[@]}"; do
        platform "$name"
        for kind in $downloads; do
            [ "$kind" != deb ] || continue
            "$py" "$source/.ci/channels/make_wheel.py" "$out" "$version" "$package" \
                "$(unpacked "$out" "$kind" "$work/$name")" "$source/LICENSE" \
                "$source/.ci/channels/description.md" >/dev/null
        done
    done
}

# channel_wheel_names: the wheels that dist/ must hold, one for each platform's program.
channel_wheel_names() {
    local name
    for name in "${released[@]}"; do
        platform "$name"
        [ -z "$(wheel_tags)" ] || printf '%s ' "$(wheel_of)"
    done
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

# not_here: pip refuses to install the wheel of the platform last named to `platform` on
# this machine without --platform.
not_here() {
    refused "$venv/bin/pip" install --no-index "$(wheel_of)"
    grep -q 'is not a supported wheel on this platform' "$scratch/refused.log" ||
        { cat "$scratch/refused.log"; exit 1; }
    echo "$name: installing its wheel here, without --platform, is refused"
}

# native_wheel: the wheel of the native platform last named to `platform`: refused with one
# program byte flipped; installed offline into the virtual environment, its program the
# download's, byte for byte, through the suite as mksrec and as python -m mksrec; and as
# install.md installs it, in the minimal Debian 12 root that holds the release (the stage
# made it for the README's commands).
native_wheel() {
    mkdir -p "$scratch/flipped"
    flip_byte "$(wheel_of)" "$scratch/flipped/$(basename "$(wheel_of)")"
    refused "$py" -m wheel unpack -d "$scratch/unpacked-flipped" "$scratch/flipped/"*.whl
    grep -q 'Hash mismatch' "$scratch/refused.log" || { cat "$scratch/refused.log"; exit 1; }
    echo "a wheel with one program byte flipped is refused: $(tail -n 1 "$scratch/refused.log")"

    "$venv/bin/pip" install -q --no-index "$(wheel_of)"
    cmp "$venv/bin/mksrec" "${programs[$name]}"
    sample_converts "the $name wheel in a virtual environment, mksrec" "$venv/bin/mksrec"
    # python -m mksrec as one program for the suite; the program it starts names itself by
    # its own path in its usage message.
    printf '#!/bin/sh\nexec "%s" -m mksrec "$@"\n' "$venv/bin/python" >"$scratch/python-m-mksrec"
    chmod +x "$scratch/python-m-mksrec"
    sample_converts "the $name wheel in a virtual environment, python -m mksrec" "$scratch/python-m-mksrec"
    e2e "the $name wheel in a virtual environment, mksrec" "$venv/bin/mksrec"
    E2E_PROGRAM_NAME=$venv/bin/mksrec e2e "the $name wheel in a virtual environment, python -m mksrec" \
        "$scratch/python-m-mksrec"
    step wheel-packages /tmp/release
    step wheel-install /tmp/release >/dev/null
    inside /tmp/release 'venv/bin/mksrec 16 8000 sample.bin wheel.srec >/dev/null &&
        venv/bin/python -m mksrec 16 8000 sample.bin wheel-m.srec >/dev/null'
    cmp "$root/tmp/release/wheel.srec" examples/sample.srec
    cmp "$root/tmp/release/wheel-m.srec" examples/sample.srec
    echo "Debian 12 root: the $name wheel as install.md installs it; mksrec and python -m mksrec convert the sample, byte for byte"
}

# channel_checks: the wheels and the manifests proven; the suite runs join e2e_results.
# A native platform's wheel is installed for real, in a fresh virtual environment; each
# other one by pip for its tags, as for another machine (and refused here without them).
channel_checks() {
    echo "-- the wheels: $(cd dist && echo ./*.whl)"
    COLUMNS=300 twine --no-color check --strict dist/*.whl
    local whl name tag target native=
    for whl in dist/*.whl; do
        "$py" -m wheel unpack -d "$scratch/unpacked" "$whl" >/dev/null
    done
    echo "every wheel's RECORD: each file's hash and size as listed (python3 -m wheel unpack)"
    venv=$scratch/venv
    "$py" -m venv "$venv"
    for name in "${released[@]}"; do
        platform "$name"
        [ -n "$(wheel_tags)" ] || continue
        if [ "$runs" = native ]; then
            native_wheel
            native=$name
        else
            not_here
        fi
        # Every tag the wheel carries gets the download's program from pip.
        for tag in $(wheel_tags | tr . ' '); do
            target=$(installed_for "$tag")
            cmp "$target/bin/$(basename "${programs[$name]}")" "${programs[$name]}"
        done
        echo "$name: for each of its tags ($(wheel_tags)) pip installs the download's program"
        case $runs in
        none) python3 .ci/macho_check.py "$target/bin/mksrec" | tail -n 1 | sed "s|$scratch/||" ;;
        native) ;;
        *) e2e "the $name wheel, pip install --platform $tag, ${runner[0]}" \
            "$target/bin/$(basename "${programs[$name]}")" "${runner[@]}" ;;
        esac
    done
    [ -n "$native" ] || { echo "no wheel installs natively here"; exit 1; }

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
