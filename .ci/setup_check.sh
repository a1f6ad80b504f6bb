# SPDX-License-Identifier: MIT
# shellcheck shell=bash
# shellcheck disable=SC2154 # released, programs, version and the platform's facts are the stage's
# Sourced by the release stage: the setup action's script (.github/setup-mksrec.sh) run as
# each hosted runner that a row of cmake/platforms names would run it, against the files just
# made in dist/, read through curl as from the release's address, a native platform's from
# the folder as ci.yml names it to the action (dist, relative). Each must install exactly the
# program of its row's download; a native one must convert the sample; a download with one
# byte changed must be refused before it is unpacked.
setup_check() {
    need curl file unzip
    local name runner dir program from native=
    for name in "${released[@]}"; do
        platform "$name"
        for runner in "${runners[@]}"; do
            dir=${scratch:?}/setup-${runner/\//-} from=file://$PWD/dist
            [ "$runs" != native ] || from=dist
            mkdir -p "$dir"
            RUNNER_OS=${runner%/*} RUNNER_ARCH=${runner#*/} RUNNER_TEMP=$dir GITHUB_PATH=$dir/path \
                GITHUB_OUTPUT=$dir/output MKSREC_VERSION=${version:?} MKSREC_FROM=$from \
                bash .github/setup-mksrec.sh >"$dir/log" 2>&1 || { cat "$dir/log"; exit 1; }
            program=$(sed -n 's/^program=//p' "$dir/output")
            [ "$(cat "$dir/path")" = "$(dirname "$program")" ] || { echo "$runner: PATH not $program's folder"; exit 1; }
            cmp "$program" "${programs[$name]}" ||
                { echo "$runner: not the program of the $name download"; exit 1; }
            echo "$runner: ${program#"$dir"/}, the $name download's: $(file -b "$program" | cut -d'[' -f1 | cut -d, -f1-2)"
            [ "$runs" != native ] || { native=$runner; sample_converts "the setup action's $runner install" "$program"; }
        done
    done
    [ -n "$native" ] || { echo "no native platform with a hosted runner to check the setup action on"; exit 1; }
    # A changed byte, in a copy of the folder: refused, and nothing unpacked.
    cp -r dist "$scratch/tampered"
    local archive
    archive=$(sed -n 's/: OK$//p' "$scratch/setup-${native/\//-}/log")
    printf 'x' | dd of="$scratch/tampered/$archive" bs=1 seek=100 conv=notrunc status=none
    mkdir "$scratch/setup-tampered"
    if RUNNER_OS=${native%/*} RUNNER_ARCH=${native#*/} RUNNER_TEMP=$scratch/setup-tampered MKSREC_VERSION=$version \
        MKSREC_FROM=$scratch/tampered bash .github/setup-mksrec.sh >"$scratch/tampered.log" 2>&1; then
        cat "$scratch/tampered.log"
        echo "the setup action installed a download that SHA256SUMS does not match"
        exit 1
    fi
    echo "a download with one byte changed, from a folder: refused ($(grep -i 'fail' "$scratch/tampered.log" | head -n 1))"
    [ -z "$(find "$scratch/setup-tampered" -mindepth 2 -type d)" ] || { echo "unpacked before the check"; exit 1; }
}
