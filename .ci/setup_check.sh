# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# Sourced by the release stage: the setup action's script (.github/setup-mksrec.sh) run as a
# hosted runner of each system and processor would run it, against the files just made in
# dist/, read through curl as from the release's address, the x86-64 one from the folder
# as ci.yml names it to the action (dist, relative). Each must install the program that
# `file` says is for that runner; the native one must convert the sample; a download with one
# byte changed must be refused before it is unpacked.
setup_check() {
    need curl file unzip
    local row runner kind dir program from
    # RUNNER_OS/RUNNER_ARCH as the runner sets them, and what `file` says of its program.
    for row in "Linux/X64:x86-64" "Linux/ARM64:ARM aarch64" "Linux/ARM:ARM, EABI5" \
        "macOS/X64:Mach-O universal" "macOS/ARM64:Mach-O universal" "Windows/X64:PE32+ executable (console) x86-64"; do
        runner=${row%%:*} kind=${row#*:}
        dir=${scratch:?}/setup-${runner/\//-} from=file://$PWD/dist
        [ "$runner" != Linux/X64 ] || from=dist
        mkdir -p "$dir"
        RUNNER_OS=${runner%/*} RUNNER_ARCH=${runner#*/} RUNNER_TEMP=$dir GITHUB_PATH=$dir/path \
            GITHUB_OUTPUT=$dir/output MKSREC_VERSION=${version:?} MKSREC_FROM=$from \
            bash .github/setup-mksrec.sh >"$dir/log" 2>&1 || { cat "$dir/log"; exit 1; }
        program=$(sed -n 's/^program=//p' "$dir/output")
        [ "$(cat "$dir/path")" = "$(dirname "$program")" ] || { echo "$runner: PATH not $program's folder"; exit 1; }
        file -b "$program" | tee "$dir/file" | sed "s|^|$runner: ${program#"$dir"/}: |"
        grep -qF "$kind" "$dir/file" || { echo "$runner: not a program for it ($kind)"; exit 1; }
    done
    sample_converts "the setup action's Linux/X64 install" "$scratch/setup-Linux-X64"/mksrec.*/*/bin/mksrec
    # From a folder, as ci.yml gives it the release job's files; and a changed byte refused.
    cp -r dist "$scratch/tampered"
    printf 'x' | dd of="$scratch/tampered/mksrec-$version-linux-x86_64.tar.gz" bs=1 seek=100 conv=notrunc status=none
    mkdir "$scratch/setup-tampered"
    if RUNNER_OS=Linux RUNNER_ARCH=X64 RUNNER_TEMP=$scratch/setup-tampered MKSREC_VERSION=$version \
        MKSREC_FROM=$scratch/tampered bash .github/setup-mksrec.sh >"$scratch/tampered.log" 2>&1; then
        cat "$scratch/tampered.log"
        echo "the setup action installed a download that SHA256SUMS does not match"
        exit 1
    fi
    echo "a download with one byte changed, from a folder: refused ($(grep -i 'fail' "$scratch/tampered.log" | head -n 1))"
    [ -z "$(find "$scratch/setup-tampered" -name bin)" ] || { echo "unpacked before the check"; exit 1; }
}
