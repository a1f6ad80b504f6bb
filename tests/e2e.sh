#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End-to-end cases: every line runs mksrec as a process of its own on real files in a fresh
# directory and compares its exit status, standard output, standard error and output file
# byte for byte, and checks that the input came out unchanged; a failure shows a diff -u
# of each part that differs.
#
# Usage: e2e.sh PROGRAM [EMULATOR WORDS...]
#   PROGRAM         the mksrec binary.
#   EMULATOR WORDS  a command that runs PROGRAM when it was built for another machine
#                   (CMake's CMAKE_CROSSCOMPILING_EMULATOR), e.g. qemu-aarch64 -L /usr/aarch64-linux-gnu.
# Environment: E2E_FAULT_LIBRARY, the fault-injection library built from fault.cpp; the
# cases that need it are skipped without it, and under an emulator. E2E_PROGRAM_NAME, the
# path by which the program names itself in its usage message when PROGRAM is a wrapper that
# starts it (`python -m mksrec`); PROGRAM's own path without it.
#
# Cases that need what only some systems have (FIFOs, /dev/full, /dev/fd, closed
# descriptors, prlimit, loop devices, sparse files, fault injection) sit under a `needs`
# line; where that is missing, on whatever system, each prints "skipped: NAME (reason)"
# (macOS, say, has no /dev/full, prlimit or loop devices). A Windows program (PROGRAM.exe,
# under wine or in Git Bash on Windows) has none of them; its console lines end in CR LF and
# it names itself by its Windows path, and the cases expect exactly that. The last line
# reads "N passed, N failed" and ", N skipped" when any were. Exit status: 0 when every case
# that ran passed, 1 when one failed, 2 when the program or this bash cannot run it, 77
# (skipped) when no case could run. Needs bash 4.4 or later (associative arrays, empty
# arrays under set -u): macOS's own bash is 3.2, Homebrew's is new enough.
set -u
if ((BASH_VERSINFO[0] * 100 + BASH_VERSINFO[1] < 404)); then
    echo "cannot run: this is bash $BASH_VERSION; the suite needs bash 4.4 or later"
    exit 2
fi
if [ ! -f "${1:-}" ] || [ ! -x "$1" ]; then
    echo "cannot run: '${1:-}' is not an executable file"
    exit 2
fi
# Absolute paths, as every case runs in a directory of its own (no realpath: macOS before 13
# lacks it).
program=$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")
shift
emulator=("$@")
# A run that hangs fails its case instead of the whole script, where there is a timeout
# command (coreutils'; Homebrew's is gtimeout). Shell-quoted, as the cases' commands name it $M
# and are evaluated: a path with spaces stays one word.
bound=()
if command -v timeout >/dev/null; then
    bound=(timeout 20)
elif command -v gtimeout >/dev/null; then
    bound=(gtimeout 20)
else
    echo "note: no timeout command: a case that hangs will hang the suite"
fi
printf -v M '%q ' "${bound[@]}" "${emulator[@]}" "$program"
# shellcheck disable=SC2034 # read by the sample's case, whose command check evaluates
examples=$(cd "$(dirname "$0")/../examples" && pwd -P)
windows=""
[[ $program != *.exe ]] || windows=1
if [ -n "$windows" ]; then
    export WINEDEBUG=-all # wine's own messages would join the output
    # wine passes file names through the Unix locale's character set: only a UTF-8 one
    # carries every name the cases use.
    export LC_ALL=C.UTF-8
fi
root=$(mktemp -d)
trap 'release; rm -rf "$root"' EXIT
passed=0 failed=0 skipped=0 requirement=""
feeders=() devices=()

# What this system lacks, by requirement, with the reason shown when its cases are skipped.
declare -A missing=()
[ -c /dev/null ] && [ -e /dev/fd/0 ] && [ -e /dev/stdin ] ||
    missing[posix]="no /dev/null, /dev/fd or /dev/stdin"
[ -c /dev/full ] || missing[full]="no /dev/full, the device whose every write finds the disk full"
mkfifo "$root/probe" 2>/dev/null && rm "$root/probe" || missing[fifo]="no FIFOs"
command -v prlimit >/dev/null || missing[prlimit]="no prlimit, which sets a file size limit"
truncate -s 4294967312 "$root/probe" 2>/dev/null && [ "$(du -k "$root/probe" | cut -f1)" -lt 1024 ] ||
    missing[sparse]="no sparse files of 4 GiB"
rm -f "$root/probe"
if ! command -v losetup >/dev/null; then
    missing[loop]="no losetup, which makes loop devices"
elif [ "$(id -u)" != 0 ]; then
    missing[loop]="loop devices need root"
elif ! truncate -s 4096 "$root/probe" || ! probe=$(losetup -f --show "$root/probe" 2>/dev/null); then
    missing[loop]="losetup cannot attach a loop device here"
else
    losetup -d "$probe"
fi
if [ ! -f "${E2E_FAULT_LIBRARY:-}" ]; then
    missing[fault]="no fault-injection library in E2E_FAULT_LIBRARY"
elif [ "${#emulator[@]}" != 0 ]; then
    missing[fault]="fault injection needs a native program"
elif ldd "$program" 2>&1 | grep -q 'statically linked\|not a dynamic executable'; then
    missing[fault]="the preloaded fault library cannot reach a static program"
else
    # LD_PRELOAD splits its list at spaces: the library goes where no space is.
    cp "$E2E_FAULT_LIBRARY" "$root/fault.so"
fi

# Root opens any file for writing, and so does wine run by root, where Windows refuses.
[ "$(id -u)" != 0 ] || missing[unprivileged]="root may write a read-only file"

if [ -n "$windows" ]; then
    for requirement in posix full fifo prlimit loop fault; do
        missing[$requirement]="no meaning on Windows"
    done
    requirement=""
else
    missing[windows]="Windows names and paths"
fi

# needs REQUIREMENT: the cases below need it, up to the next needs line ("needs" alone: none).
needs() { requirement=${1:-}; }

# check NAME STATUS INPUT COMMAND STDOUT STDERR OUTFILE
# COMMAND runs in the case's directory, which holds the file "in" made from INPUT, and "out"
# holding "old\n" (so untouched and truncated files are told apart). OUTFILE "-" means
# "out" must not exist, and the case starts without it; "*" leaves "out" to the command's
# own check. INPUT, STDOUT, STDERR and OUTFILE are printf %b strings.
check() {
    local name=$1 status=$2 input=$3 command=$4 stdout=$5 stderr=$6 outfile=$7 dir=$root/case
    if [ -n "$requirement" ] && [ -n "${missing[$requirement]:-}" ]; then
        skipped=$((skipped + 1))
        echo "skipped: $name (${missing[$requirement]})"
        return
    fi
    rm -rf "$dir" "$root"/expected.* "$root"/actual.* && mkdir "$dir" && cd "$dir" || exit 2
    printf '%b' "$input" >in
    [ "$outfile" = - ] || printf 'old\n' >out
    eval "${command//\$M/"$M"}" >"$root/actual.stdout" 2>"$root/actual.stderr"
    echo $? >"$root/actual.status"
    release
    echo "$status" >"$root/expected.status"
    console "$stdout" >"$root/expected.stdout"
    console "$stderr" >"$root/expected.stderr"
    if [ "$outfile" != '*' ]; then
        [ "$outfile" = - ] && echo "(no file)" >"$root/expected.out" || printf '%b' "$outfile" >"$root/expected.out"
        [ -e out ] && cat out >"$root/actual.out" || echo "(no file)" >"$root/actual.out"
    fi
    printf '%b' "$input" >"$root/expected.in"
    cat in >"$root/actual.in"
    cd "$root" || exit 2
    local part differ=()
    for part in status stdout stderr out in; do
        [ ! -e "expected.$part" ] || cmp -s "expected.$part" "actual.$part" || differ+=("$part")
    done
    if [ "${#differ[@]}" = 0 ]; then
        passed=$((passed + 1))
        return
    fi
    failed=$((failed + 1))
    echo "FAIL: $name (${differ[*]} differ)"
    for part in "${differ[@]}"; do
        diff -u --label "expected $part" --label "actual $part" <(cat -vet "expected.$part") <(cat -vet "actual.$part")
    done
}

# console TEXT: a printf %b string as the program's console shows it.
console() { if [ -n "$windows" ]; then printf '%b' "$1" | sed 's/$/\r/'; else printf '%b' "$1"; fi; }

# Fixtures, each set up by a case's command and undone by release after it.
# feed FIFO: a FIFO that delivers "in" to whoever opens it for reading.
feed() { mkfifo "$1" && { cat in >"$1" & } && feeders+=($!); }
# drain FIFO: a FIFO whose contents end up in "out".
drain() { mkfifo "$1" && { cat "$1" >out & }; }
# loop NAME: "in" attached to a loop device, reached through the symbolic link NAME.
loop() { local device && device=$(losetup -f --show in) && devices+=("$device") && ln -s "$device" "$1"; }
# twin NAME DEVICE: a second device node for the block device DEVICE.
twin() { mknod "$1" b "0x$(stat -Lc %t "$2")" "0x$(stat -Lc %T "$2")"; }
# A feeder nobody read from is stopped; everything else is waited for.
release() {
    [ "${#feeders[@]}" = 0 ] || kill "${feeders[@]}" 2>/dev/null
    wait
    [ "${#devices[@]}" = 0 ] || losetup -d "${devices[@]}"
    feeders=() devices=()
}

# Runners, each wrapped around a command and passing on its exit status.
# together COMMAND...: standard output and standard error into one log, shown as output.
together() { "$@" >log 2>&1; local status=$?; cat log; return $status; }
# reader_gone COMMAND...: standard output is a pipe whose reader has exited by the time the
# command starts.
reader_gone() { { sleep 0.2 && "$@"; } | true; return "${PIPESTATUS[0]}"; }
# through_pipe COMMAND...: descriptor 3 is a pipe that ends in "out".
through_pipe() { { "$@" 3>&1 >&4 | cat >out; return "${PIPESTATUS[0]}"; } 4>&1; }
# from_endless_zeros COMMAND...: 4 MiB of zeros on standard input; the command must stop
# reading them (their writer dies of SIGPIPE) as soon as it fails.
from_endless_zeros() {
    head -c 4194304 /dev/zero | "$@"
    local status=("${PIPESTATUS[@]}")
    [ "${status[0]}" = 141 ] || echo "read on after the failure"
    return "${status[1]}"
}
# size_limited BYTES COMMAND...: the command run once freely, its output kept as "full",
# then under a file size limit; what reached "out" must be exactly the beginning of "full".
size_limited() {
    local limit=$1 status
    shift
    "$@" >/dev/null && mv out full && (trap "" XFSZ && prlimit --fsize="$limit" "$@")
    status=$?
    [ "$(wc -c <out)" = "$limit" ] && head -c "$limit" full | cmp -s - out || echo "out is not the beginning of the full conversion"
    return $status
}
# windows_path FILE: FILE's absolute path as a Windows program names it: cygpath's in Git Bash
# on Windows, else wine's, whose drive Z: is the Unix root.
windows_path() { local path && path=$(realpath -m "$1") && printf 'Z:%s' "${path//\//\\}"; }
! command -v cygpath >/dev/null || windows_path() { cygpath -aw "$1"; }
# escaped TEXT: TEXT as a printf %b string.
escaped() { printf '%s' "${1//\\/\\\\}"; }
# same_file NAME INPUT COMMAND NAMED OUTFILE: the output, NAMED so, is the input file.
same_file() { check "$1" 255 "$2" "$3" "$settings_16_at_0" "ERROR:  Output file '$(escaped "$4")' is the input file.\n" "$5"; }
# copies N FILE: FILE made of N copies of "in".
copies() { local i && for ((i = 0; i < $1; i++)); do cat in; done >"$2"; }
# fail_read FILE BYTES COMMAND...: the command's read of FILE past BYTES fails, once.
fail_read() { FAULT_FILE=$1 FAULT_READ_AFTER=$2 with_faults "${@:3}"; }
# fail_close FILE COMMAND...: closing FILE fails after closing it.
fail_close() { FAULT_FILE=$1 FAULT_CLOSE=1 with_faults "${@:2}"; }
with_faults() { LD_PRELOAD=$root/fault.so ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 "$@"; }

# bytes FIRST COUNT: printf escapes for COUNT consecutive byte values.
bytes() {
    local i
    for ((i = $1; i < $1 + $2; i++)); do printf '\\x%02x' $((i & 255)); done
}
count_setting() { printf 'Setting the number of data bytes per record to %s\\n' "$1"; }
address_setting() { printf 'Setting start address to 0x%s\\n' "$1"; }
settings_16_at_0="$(count_setting 16)$(address_setting 000000)"
settings_16_at_8000="$(count_setting 16)$(address_setting 008000)"
terminator='S804000000fb\r\n'
bytes_0_to_15_at_0='S214000000000102030405060708090a0b0c0d0e0f73\r\n'
forty_bytes_at_8000='S214008000000102030405060708090a0b0c0d0e0ff3\r\nS214008010101112131415161718191a1b1c1d1e1fe3\r\nS20c008020202122232425262737\r\n'
thirty_two_bytes_at_8000='S214008000000102030405060708090a0b0c0d0e0ff3\r\nS214008010101112131415161718191a1b1c1d1e1fe3\r\n'
shown_program=${E2E_PROGRAM_NAME:-$program}
[ -z "$windows" ] || shown_program=$(escaped "$(windows_path "$program")")
usage="Incorrect number of arguments.\nusage:  $shown_program <#bytes/record> <start addr in hex> <infile> <outfile>\nInput file is raw binary data.  Output file will be S-record format.\n"
problem='ERROR:  Problem writing exo file.\n'
too_many="ERROR:  Can't have 17 bytes per record.\n"
disk_full="ERROR:  Can't write file '/dev/full': No space left on device.\n"
io_error_on_out="ERROR:  Can't write file 'out': Input/output error.\n"
io_error_on_in="ERROR:  Can't read file 'in': Input/output error.\n"
kilobyte="$(bytes 0 256)$(bytes 0 256)$(bytes 0 256)$(bytes 0 256)"

for arguments in '' ' 16 0 in' ' 16 0 in out x'; do
    check "$(wc -w <<<"$arguments") arguments" 255 '' "\$M$arguments" '' "$usage" 'old\n'
done
check "forty bytes at 8000" 0 "$(bytes 0 40)" '$M 16 8000 in out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
check "empty input" 0 '' '$M 16 0 in out' "$settings_16_at_0" '' "$terminator"
check "empty input, address unchecked" 0 '' '$M 16 1000000 in out' "$(count_setting 16)$(address_setting 1000000)" '' "$terminator"
check "full lines only" 0 "$(bytes 0 32)" '$M 16 10 in out' "$(count_setting 16)$(address_setting 000010)" '' 'S214000010000102030405060708090a0b0c0d0e0f63\r\nS214000020101112131415161718191a1b1c1d1e1f53\r\n'"$terminator"
check "shorter than a record" 0 "$(bytes 0 3)" '$M 16 0 in out' "$settings_16_at_0" '' "S207000000000102f5\r\n$terminator"
check "eight per record" 0 "$(bytes 0 10)" '$M 8 1a in out' "$(count_setting 8)$(address_setting 00001a)" '' "S20c00001a0001020304050607bd\r\nS2060000220809c6\r\n$terminator"
check "count with trailing junk" 0 "$(bytes 0 10)" '$M 8xyz 1azz in out' "$(count_setting 8)$(address_setting 00001a)" '' "S20c00001a0001020304050607bd\r\nS2060000220809c6\r\n$terminator"
check "address with 0x prefix" 0 "$(bytes 0 16)" '$M 16 0x0 in out' "$settings_16_at_0" '' "$bytes_0_to_15_at_0$terminator"
check "white space before numbers" 0 "$(bytes 0 16)" '$M " +16" " 0" in out' "$settings_16_at_0" '' "$bytes_0_to_15_at_0$terminator"
check "line-end bytes are data" 0 '\x0d\x0a\x1a\x00' '$M 16 0 in out' "$settings_16_at_0" '' "S2080000000d0a1a00c6\r\n$terminator"
check "32 per record, 16 bytes" 0 "$(bytes 0 16)" '$M 32 0 in out' "$(count_setting 32)$(address_setting 000000)" '' "$bytes_0_to_15_at_0$terminator"
check "17 per record, 20 bytes" 255 "$(bytes 0 20)" '$M 17 0 in out' "$(count_setting 17)$(address_setting 000000)" "$too_many$problem" 'S2'
for n in 0 0x10 abc; do
    check "$n per record is 0" 255 "$(bytes 0 4)" "\$M $n 0 in out" "$(count_setting 0)" "ERROR:  Can't have 0 bytes per record.\n" -
done
check "negative per record" 255 "$(bytes 0 4)" '$M -1 0 in out' "$(count_setting -1)" 'ERROR:  Unable to allocate buffer.\n' -
for n in 4294967312 -4294967280 2147483648 99999999999999999999; do
    check "count $n out of range" 255 "$(bytes 0 4)" "\$M $n 0 in out" '' "ERROR:  Bytes per record '$n' is out of range.\n" -
done
for a in zz x1a '' - + 0x 0xg '- 1'; do
    check "address '$a'" 255 "$(bytes 0 4)" "\$M 16 '$a' in out" "$(count_setting 16)" "ERROR:  Invalid start address '$a'.\n" -
done
for a in 100008000 0x100000000 -100000000; do
    check "address $a out of range" 255 "$(bytes 0 4)" "\$M 16 $a in out" "$(count_setting 16)" "ERROR:  Start address '$a' is out of range.\n" -
done
check "one byte at ffffff" 0 '\xab' '$M 16 ffffff in out' "$(count_setting 16)$(address_setting ffffff)" '' "S205ffffffab52\r\n$terminator"
check "record ending at ffffff" 0 "$(bytes 0 16)" '$M 16 fffff0 in out' "$(count_setting 16)$(address_setting fffff0)" '' "S214fffff0000102030405060708090a0b0c0d0e0f85\r\n$terminator"
check "record crossing ffffff" 255 "$(bytes 0 16)" '$M 16 fffff8 in out' "$(count_setting 16)$(address_setting fffff8)" "ERROR:  Address exceeded six byte maximum.\n$problem" 'S214'
check "data running past ffffff" 255 "$(bytes 0 40)" '$M 16 fffff0 in out' "$(count_setting 16)$(address_setting fffff0)" "ERROR:  Address exceeded six byte maximum.\n$problem" 'S214fffff0000102030405060708090a0b0c0d0e0f85\r\nS214'
check "missing input" 255 '' '$M 16 0 nothing out' "$settings_16_at_0" "ERROR:  Can't open file 'nothing' for reading.\n" -
check "missing output directory" 255 '' '$M 16 0 in no/out' "$settings_16_at_0" "ERROR:  Can't open file 'no/out' for writing.\n" -
same_file "same path" "$(bytes 0 4)" '$M 16 0 in in' in 'old\n'
same_file "hard link" "$(bytes 0 4)" 'ln -f in out && $M 16 0 in out' out "$(bytes 0 4)"
same_file "symbolic link" "$(bytes 0 4)" 'ln -sf in out && $M 16 0 in out' out "$(bytes 0 4)"
same_file "input links to output" "$(bytes 0 4)" 'ln -s out link && $M 16 0 link out' out 'old\n'
same_file "input hard link of output" "$(bytes 0 4)" 'ln out link && $M 16 0 link out' out 'old\n'
# Names that a Windows build could get wrong: spaces, characters beyond the legacy code
# page, a hard link by such a name; and the shipped sample, byte for byte.
check "paths with spaces" 0 "$(bytes 0 40)" 'mkdir "a dir" && cp in "a dir/in file" && $M 16 8000 "a dir/in file" "a dir/out file" && mv "a dir/out file" out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
check "non-ASCII paths" 0 "$(bytes 0 40)" 'cp in é.bin && $M 16 8000 é.bin ж.srec && mv ж.srec out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
same_file "non-ASCII hard link" "$(bytes 0 4)" 'ln in ж && $M 16 0 in ж' 'ж' 'old\n'
check "the sample, byte for byte" 0 '' '$M 16 8000 "$examples/sample.bin" out && cmp out "$examples/sample.srec"' "$settings_16_at_8000" '' '*'
check "messages after settings in one log" 255 "$(bytes 0 20)" 'together $M 17 0 in out' "$(count_setting 17)$(address_setting 000000)$too_many$problem" '' 'S2'
check "count error after its setting in one log" 255 "$(bytes 0 40)" 'together $M 0 0 in out' "$(count_setting 0)ERROR:  Can't have 0 bytes per record.\n" '' 'old\n'
check "open error after settings in one log" 255 '' 'together $M 16 0 nothing out' "${settings_16_at_0}ERROR:  Can't open file 'nothing' for reading.\n" '' -
check "directory as input" 255 '' 'mkdir d && $M 16 0 d out' "$settings_16_at_0" "ERROR:  Can't open file 'd' for reading.\n" 'old\n'
check "directory as output" 255 "$(bytes 0 4)" 'mkdir d && $M 16 0 in d' "$settings_16_at_0" "ERROR:  Can't open file 'd' for writing.\n" 'old\n'

needs unprivileged
check "read-only output" 255 "$(bytes 0 4)" 'chmod a-w out && $M 16 0 in out' "$settings_16_at_0" "ERROR:  Can't open file 'out' for writing.\n" 'old\n'

# What only Windows users meet: the null device by its name; the input named again in
# other letter case, with either slash, by drive letter or through the \\?\ prefix; paths
# past the old limit of 260 characters; names that need two UTF-16 units a character.
needs windows
long=$(printf 'd%.0s' {1..100})
long="$long/$long/$long" long_windows=${long//\//\\}
check "NUL as output" 0 "$(bytes 0 40)" '$M 16 8000 in NUL' "$settings_16_at_8000" '' 'old\n'
check "NUL as input" 0 "$(bytes 0 40)" '$M 16 8000 NUL out' "$settings_16_at_8000" '' "$terminator"
same_file "input in other letter case" "$(bytes 0 4)" '$M 16 0 in IN' IN 'old\n'
same_file "input through .\\" "$(bytes 0 4)" '$M 16 0 in ".\\in"' '.\in' 'old\n'
same_file "input through its directory" "$(bytes 0 4)" '$M 16 0 in "..\\case\\in"' '..\case\in' 'old\n'
same_file "input by drive letter" "$(bytes 0 4)" '$M 16 0 in "$(windows_path in)"' "$(windows_path "$root/case/in")" 'old\n'
same_file "input by drive letter and slashes" "$(bytes 0 4)" '$M 16 0 in "Z:$PWD/in"' "Z:$root/case/in" 'old\n'
# shellcheck disable=SC1003 # '\\?\' is Windows' prefix \\?\ itself: its last backslash ends it
same_file "input through \\\\?\\" "$(bytes 0 4)" '$M 16 0 in "\\\\?\\$(windows_path in)"' '\\?\'"$(windows_path "$root/case/in")" 'old\n'
check "long path as output" 0 "$(bytes 0 40)" 'mkdir -p "$long" && $M 16 8000 in "$long/out" && mv "$long/out" out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
check "long path as input" 0 "$(bytes 0 40)" 'mkdir -p "$long" && cp in "$long/in" && $M 16 8000 "$long/in" out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
same_file "long path named twice" "$(bytes 0 4)" 'mkdir -p "$long" && ln in "$long/in" && $M 16 0 "$long/in" "$long_windows\\in"' "$long_windows\in" 'old\n'
check "names beyond the BMP" 0 "$(bytes 0 40)" 'cp in 😀.bin && $M 16 8000 😀.bin 日本.srec && mv 日本.srec out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
same_file "hard link beyond the BMP" "$(bytes 0 4)" 'ln in 😀 && $M 16 0 in 😀' 😀 'old\n'

needs posix
check "stdin redirected" 0 "$(bytes 0 40)" '$M 16 8000 /dev/stdin out <in' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
check "pipe as input" 0 "$(bytes 0 40)" 'cat in | $M 16 8000 /dev/stdin out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
check "pipe as output" 0 "$(bytes 0 40)" 'through_pipe $M 16 8000 in /dev/fd/3' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
check "null device twice" 0 "$(bytes 0 40)" '$M 16 8000 /dev/null /dev/null' "$settings_16_at_8000" '' 'old\n'
same_file "input by descriptor is the output" "$(bytes 0 4)" '$M 16 0 /dev/fd/3 in 3<in' in 'old\n'
same_file "output by descriptor is the input" "$(bytes 0 4)" '$M 16 0 in /dev/fd/3 3<in' /dev/fd/3 'old\n'
check "stdout's reader gone" 0 "$(bytes 0 40)" 'reader_gone $M 16 8000 in out' '' '' "$forty_bytes_at_8000$terminator"
check "output's reader gone" 255 "$(bytes 0 40)" 'reader_gone $M 16 8000 in /dev/stdout' '' "ERROR:  Can't write file '/dev/stdout': Broken pipe.\n$problem" 'old\n'
# Every subset of closed standard descriptors, on a success and on a bad record: what a
# closed one would carry is lost, and nothing else changes.
for ((closed = 1; closed < 8; closed++)); do
    redirections="" name="" stdout=1 stderr=1
    ((closed & 1)) && redirections+=" <&-" name+=" and stdin"
    ((closed & 2)) && redirections+=" >&-" name+=" and stdout" stdout=""
    ((closed & 4)) && redirections+=" 2>&-" name+=" and stderr" stderr=""
    name=${name# and }
    ((closed != 7)) || name="all three"
    check "$name closed" 0 "$(bytes 0 40)" "\$M 16 8000 in out$redirections" "${stdout:+$settings_16_at_8000}" '' "$forty_bytes_at_8000$terminator"
    check "bad record, $name closed" 255 "$(bytes 0 20)" "\$M 17 0 in out$redirections" "${stdout:+$(count_setting 17)$(address_setting 000000)}" "${stderr:+$too_many$problem}" 'S2'
done
check "usage, all three closed" 255 '' '$M <&- >&- 2>&-' '' '' 'old\n'

needs full
# full_disk NAME INPUT COMMAND STDOUT ERRORS: COMMAND writes to /dev/full after ERRORS.
full_disk() { check "$1" 255 "$2" "$3 /dev/full" "$4" "$5$disk_full$problem" 'old\n'; }
full_disk "disk full" "$(bytes 0 40)" '$M 16 0 in' "$settings_16_at_0" ''
full_disk "disk full, terminator only" '' '$M 16 0 in' "$settings_16_at_0" ''
full_disk "disk full, stops early" '' 'from_endless_zeros $M 16 0 /dev/stdin' "$settings_16_at_0" ''
full_disk "disk full after a bad record" "$(bytes 0 20)" '$M 17 0 in' "$(count_setting 17)$(address_setting 000000)" "$too_many"
full_disk "disk full after an address overflow" "$(bytes 0 40)" '$M 16 fffff0 in' "$(count_setting 16)$(address_setting fffff0)" 'ERROR:  Address exceeded six byte maximum.\n'
check "stdout on a full disk" 0 "$(bytes 0 40)" '$M 16 8000 in out >/dev/full' '' '' "$forty_bytes_at_8000$terminator"

needs fifo
check "fifo as input" 0 "$(bytes 0 40)" 'feed f && $M 16 8000 f out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
check "fifo as output" 0 "$(bytes 0 40)" 'drain f && $M 16 8000 in f' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
same_file "fifo twice" "$(bytes 0 4)" 'feed f && $M 16 0 f f' f 'old\n'
same_file "fifo and a symbolic link to it" "$(bytes 0 4)" 'feed f && ln -s f link && $M 16 0 f link' link 'old\n'
same_file "fifo and its descriptor" "$(bytes 0 4)" 'feed f && $M 16 0 f /dev/fd/3 3<>f' /dev/fd/3 'old\n'

needs loop
same_file "block device twice" "$kilobyte" 'loop disk && $M 16 0 disk disk' disk 'old\n'
same_file "block device and a second node" "$kilobyte" 'loop disk && twin node disk && $M 16 0 disk node' node 'old\n'
same_file "block device and its descriptor" "$kilobyte" 'loop disk && $M 16 0 disk /dev/fd/3 3<disk' /dev/fd/3 'old\n'
check "a block node of no device as output" 255 "$kilobyte" 'mknod blk b 0 0 && $M 16 0 in blk' "$settings_16_at_0" "ERROR:  Can't open file 'blk' for writing.\n" 'old\n'
check "a character node of the input's numbers" 255 "$kilobyte" 'loop disk && mkdir d && mount -t tmpfs -o nodev none d && mknod d/node c "0x$(stat -Lc %t disk)" "0x$(stat -Lc %T disk)" && $M 16 0 disk d/node; s=$?; umount d; (exit $s)' "$settings_16_at_0" "ERROR:  Can't open file 'd/node' for writing.\n" 'old\n'
check "same inode number on two file systems" 0 "$(bytes 0 40)" 'mkdir a b && mount -t tmpfs none a && mount -t tmpfs none b && cp in a/in && : >b/out && [ "$(stat -c %i a/in)" = "$(stat -c %i b/out)" ] && $M 16 8000 a/in b/out; s=$? && cat b/out >out; umount a b; (exit $s)' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"

# An input and an existing output of more than 4 GiB, opened and read as small ones are,
# by 32-bit programs too; the run stops at the top of the address space. An output left
# whole is emptied, so that the diff shows the failure without reading 4 GiB.
needs sparse
check "files past 4 GiB" 255 '' 'truncate -s 4294967312 big out && $M 16 fffff0 big out; s=$?; [ "$(wc -c <out)" -lt 4096 ] || : >out; (exit $s)' "$(count_setting 16)$(address_setting fffff0)" "ERROR:  Address exceeded six byte maximum.\n$problem" "S214fffff000000000000000000000000000000000fd\r\nS214"

needs prlimit
check "file size limit, first block" 255 "$(bytes 0 256)$(bytes 0 256)" 'copies 80 big && size_limited 10000 $M 16 0 big out' "$settings_16_at_0" "ERROR:  Can't write file 'out': File too large.\n$problem" '*'
check "file size limit, second block" 255 "$(bytes 0 256)$(bytes 0 256)" 'copies 400 big && size_limited 300000 $M 16 0 big out' "$settings_16_at_0" "ERROR:  Can't write file 'out': File too large.\n$problem" '*'

needs fault
check "closing the output fails" 255 "$(bytes 0 40)" 'fail_close out $M 16 8000 in out' "$settings_16_at_8000" "$io_error_on_out$problem" "$forty_bytes_at_8000$terminator"
check "closing the output fails after a bad record" 255 "$(bytes 0 20)" 'fail_close out $M 17 0 in out' "$(count_setting 17)$(address_setting 000000)" "$too_many$io_error_on_out$problem" 'S2'
check "closing the output fails after a read error" 255 "$(bytes 0 40)" 'fail_close out $M 16 0 /proc/self/mem out' "$settings_16_at_0" "ERROR:  Can't read file '/proc/self/mem': Input/output error.\n$io_error_on_out$problem" ''
check "closing the input fails" 0 "$(bytes 0 40)" 'fail_close in $M 16 8000 in out' "$settings_16_at_8000" '' "$forty_bytes_at_8000$terminator"
# read_fails NAME INPUT BYTES OUTFILE [REDIRECTIONS]: reading "in" fails once past BYTES.
read_fails() { check "$1" 255 "$2" "fail_read in $3 \$M 16 8000 in out${5:-}" "$settings_16_at_8000" "$io_error_on_in" "$4"; }
read_fails "read fails at the start" "$(bytes 0 40)" 0 ''
read_fails "read fails after two whole chunks" "$(bytes 0 40)" 32 "$thirty_two_bytes_at_8000"
read_fails "read fails inside the third chunk" "$(bytes 0 40)" 36 "$thirty_two_bytes_at_8000"
read_fails "read fails once, not tried again" "$(bytes 0 64)" 32 "$thirty_two_bytes_at_8000"
read_fails "read fails once, stdin closed" "$(bytes 0 40)" 32 "$thirty_two_bytes_at_8000" ' <&-'
check "input replaced right after opening" 255 "$(bytes 0 40)" 'rm out && ln in out && cp in other && FAULT_FILE=in FAULT_REPLACE=other with_faults $M 16 8000 in out' "$settings_16_at_8000" "ERROR:  Output file 'out' is the input file.\n" "$(bytes 0 40)"
check "no /dev/null for a closed stdout" 255 "$(bytes 0 40)" 'FAULT_FILE=/dev/null FAULT_OPEN=1 with_faults $M 16 8000 in out >&-' '' "ERROR:  Can't open /dev/null in place of closed standard output: Too many open files in system.\n" 'old\n'
check "no /dev/null for a closed stdin" 255 "$(bytes 0 40)" 'FAULT_FILE=/dev/null FAULT_OPEN=1 with_faults $M 16 8000 in out <&-' '' "ERROR:  Can't open /dev/null in place of closed standard input: Too many open files in system.\n" 'old\n'
needs

if [ $((passed + failed)) = 0 ]; then
    echo "nothing could run here"
    echo "0 passed, 0 failed, $skipped skipped"
    exit 77
fi
summary="$passed passed, $failed failed"
[ "$skipped" = 0 ] || summary+=", $skipped skipped"
echo "$summary"
[ "$failed" = 0 ]
