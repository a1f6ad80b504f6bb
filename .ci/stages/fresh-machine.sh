# SPDX-License-Identifier: MIT
# The README tried as a new user would: a minimal Debian 12 root with nothing but what the
# README names, its Quick-start commands run verbatim, then its Install routes as written.
# Whatever they need that the README does not name makes this stage fail.
source "$(dirname "$0")/../lib.sh"
need debootstrap git

root=$scratch/root
# The root holds mounts of this machine's /proc and /dev: they must be gone before anything
# is removed, or the removal would reach into the real ones.
cleanup() {
    umount -R "$root/dev" "$root/proc" 2>/dev/null || umount -R -l "$root/dev" "$root/proc" 2>/dev/null
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
        echo "still mounted under $root: not removed" >&2
        return
    fi
    rm -rf --one-file-system "$scratch"
}
trap cleanup EXIT

# The Debian mirror this machine already uses, the first deb URI of its apt sources.
# Either format of apt's sources will do: "URIs: URI" in a .sources file, "deb [options] URI
# suite" in a list.
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list.d/*.list /etc/apt/sources.list \
    2>/dev/null | awk '$1 == "URIs:" || $1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) { print $i; exit } }' || true)
[ -n "$mirror" ] || { echo "no Debian mirror in this machine's apt sources"; exit 1; }
echo "debootstrap from $mirror"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$scratch/debootstrap.log" 2>&1 ||
    { tail -n 30 "$scratch/debootstrap.log"; exit 1; }
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount --make-rslave "$root/dev"
mkdir "$root/src"
git archive HEAD | tar -x -C "$root/src"

# inside COMMAND: runs COMMAND with bash in the root's copy of the sources, as root with a
# clean environment, as a user's shell would.
inside() {
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive bash -euo pipefail -c "cd /src && $1"
}
# step HEADING N: the README's Nth command under HEADING, shown and run inside. An install
# command gets -y and no recommended packages, so that only what it names is installed.
step() {
    local command
    command=$(cd "$root/src" && readme_command "$1" "$2")
    [ -n "$command" ] || { echo "no command $2 under '## $1' in the README"; exit 1; }
    echo "-- $1, command $2: $command" >&2
    case $command in
        "apt-get install "*)
            command="apt-get install -y -qq --no-install-recommends ${command#apt-get install }"
            inside "$command" >"$scratch/apt.log" 2>&1 || { tail -n 30 "$scratch/apt.log"; exit 1; }
            return ;;
    esac
    inside "$command"
}

inside "apt-get update -qq"
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
step 'Install' 1
inside 'test "$(command -v mksrec)" = /usr/local/bin/mksrec'
step 'Install' 2
step 'Install' 3
inside 'dpkg -s mksrec | grep -q "^Status: install ok installed"'
step 'Install' 4
step 'Install' 5 | grep >/dev/null 'convert a raw binary image into Motorola S-records'
