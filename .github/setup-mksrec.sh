#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The setup action's work (action.yml): a release of mksrec installed for the runner's system
# and processor, checked against the release's SHA256SUMS before anything is unpacked, its
# folder put on the PATH. It is the one place that knows which download serves which runner
# and where the program sits inside it; the release stage runs it against every download it
# makes, so a wrong name or path fails there first.
# Environment:
#   MKSREC_VERSION  the release, for example 1.1.0
#   MKSREC_FROM     where its files are: a folder, or an address curl reads (https:, file:)
#   RUNNER_OS, RUNNER_ARCH, RUNNER_TEMP  as a hosted runner sets them
#   GITHUB_PATH, GITHUB_OUTPUT           where the folder and the program's path are written,
#                                        when set
set -euo pipefail
version=${MKSREC_VERSION:?the version to install}
from=${MKSREC_FROM:?where the release files are}
case $RUNNER_OS/$RUNNER_ARCH in
Linux/X64) name=mksrec-$version-linux-x86_64 archive=$name.tar.gz program=$name/bin/mksrec ;;
Linux/ARM64) name=mksrec-$version-linux-aarch64 archive=$name.tar.gz program=$name/bin/mksrec ;;
Linux/ARM) name=mksrec-$version-linux-armhf archive=$name.tar.gz program=$name/bin/mksrec ;;
macOS/X64 | macOS/ARM64) name=mksrec-$version-macos archive=$name.tar.gz program=$name/bin/mksrec ;;
Windows/X64) name=mksrec-$version-windows-x86_64 archive=$name.zip program=$name/mksrec.exe ;;
*)
    echo "mksrec $version has no download for $RUNNER_OS on $RUNNER_ARCH" >&2
    exit 1
    ;;
esac

# A folder as the caller named it, before the work moves elsewhere.
[ ! -d "$from" ] || from=$(cd "$from" && pwd)
work=$(mktemp -d "${RUNNER_TEMP:-${TMPDIR:-/tmp}}/mksrec.XXXXXX")
cd "$work"
work=$(pwd)
for file in SHA256SUMS "$archive"; do
    if [ -d "$from" ]; then
        cp "$from/$file" .
    else
        curl --fail --silent --show-error --location --retry 3 -o "$file" "$from/$file"
    fi
done
# The archive's own line of SHA256SUMS, and nothing unpacked unless it matches.
grep -E "^[0-9a-f]{64}  $archive\$" SHA256SUMS >checksum || {
    echo "SHA256SUMS of mksrec $version has no line for $archive" >&2
    exit 1
}
if command -v sha256sum >/dev/null; then
    sha256sum -c checksum
else
    shasum -a 256 -c checksum # macOS
fi
case $archive in
*.zip)
    if command -v unzip >/dev/null; then
        unzip -q "$archive"
    else
        powershell -NoProfile -Command "Expand-Archive -LiteralPath '$archive' -DestinationPath ."
    fi
    ;;
*) tar -xzf "$archive" ;;
esac
[ -f "$program" ] || {
    echo "$archive holds no $program" >&2
    exit 1
}
directory=$work/$(dirname "$program")
# The PATH of a Windows runner holds Windows paths, which Git Bash's cygpath gives.
! command -v cygpath >/dev/null || directory=$(cygpath -w "$directory")
echo "mksrec $version: $work/$program"
[ -z "${GITHUB_PATH:-}" ] || echo "$directory" >>"$GITHUB_PATH"
[ -z "${GITHUB_OUTPUT:-}" ] || echo "program=$work/$program" >>"$GITHUB_OUTPUT"
