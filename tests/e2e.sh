#!/usr/bin/env bash
# End-to-end cases: every row runs mksrec as a process of its own on real files in a fresh
# directory and compares its standard output, standard error, exit status and output file
# byte for byte. Usage: e2e.sh path/to/mksrec [EMULATOR...]
set -u
P=$(realpath "$1")
shift
# The program as the cases call it: behind the emulator (qemu, wine) that runs it, if any.
M="${*:+$* }$P"
examples=$(realpath "$(dirname "$0")/../examples")
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
pass=0 fail=0 skip=0

# A Windows program (under wine) ends its console lines CR LF and names itself by its
# Windows path; the cases that need /dev files, FIFOs or resource limits have no meaning
# there and are skipped by name.
windows=""
[[ $P != *.exe ]] || windows=1
[ -z "$windows" ] || export WINEDEBUG=-all # wine's own messages would join the output
posix_only="directory as input|disk full|disk full, stops early|disk full, terminator only|\
file size limit|fifo as input|fifo as output|stdin redirected|pipe as input|pipe as output"
console() { if [ -n "$windows" ]; then printf '%b' "$1" | sed 's/$/\r/'; else printf '%b' "$1"; fi; }

# t NAME STATUS INPUT COMMAND STDOUT STDERR OUTFILE
# COMMAND runs in the case's directory, which holds the file "in" made from INPUT, and "out"
# holding "old\n" (so untouched and truncated files are told apart). OUTFILE "-" means
# "out" must not exist, and the case starts without it; "*" leaves "out" to the command's
# own check. INPUT, STDOUT, STDERR and OUTFILE are printf %b strings. Whatever the case,
# "in" must come out unchanged.
t() {
    local name=$1 status=$2 input=$3 cmd=$4 stdout=$5 stderr=$6 outfile=$7 w=$root/case
    if [ -n "$windows" ] && [[ "|$posix_only|" == *"|$name|"* ]]; then
        skip=$((skip + 1))
        echo "SKIP: $name: no meaning on Windows"
        return
    fi
    rm -rf "$w" && mkdir "$w" && cd "$w" || exit 2
    printf '%b' "$input" >in
    [ "$outfile" = - ] || printf 'old\n' >out
    eval "$cmd" >"$root/stdout" 2>"$root/stderr"
    local got=$? why=""
    [ "$got" = "$status" ] || why+=" status $got, not $status;"
    cmp -s "$root/stdout" <(console "$stdout") || why+=" stdout [$(cat -A "$root/stdout")];"
    cmp -s "$root/stderr" <(console "$stderr") || why+=" stderr [$(cat -A "$root/stderr")];"
    if [ "$outfile" = - ]; then
        [ ! -e out ] || why+=" out exists;"
    elif [ "$outfile" != '*' ]; then
        cmp -s out <(printf '%b' "$outfile") || why+=" out [$(cat -A out 2>&1)];"
    fi
    cmp -s in <(printf '%b' "$input") || why+=" input changed;"
    cd "$root" || exit 2
    if [ -z "$why" ]; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        echo "FAIL: $name:$why"
    fi
}

# bytes FIRST COUNT: printf escapes for COUNT consecutive byte values.
bytes() {
    local i
    for ((i = $1; i < $1 + $2; i++)); do printf '\\x%02x' $((i & 255)); done
}
say() { printf 'Setting the number of data bytes per record to %s\\n' "$1"; }
at() { printf 'Setting start address to 0x%s\\n' "$1"; }
T='S804000000fb\r\n'
program=$P
[ -z "$windows" ] || program="Z:${P//\//\\\\}" # a printf %b string: \\ for each \
usage="Incorrect number of arguments.\nusage:  $program <#bytes/record> <start addr in hex> <infile> <outfile>\nInput file is raw binary data.  Output file will be S-record format.\n"
fault='ERROR:  Problem writing exo file.\n'
s16="$(say 16)$(at 000000)"
s16_8000="$(say 16)$(at 008000)"
L0='S214000000000102030405060708090a0b0c0d0e0f73\r\n' # bytes 0 to 15 at 0
L40='S214008000000102030405060708090a0b0c0d0e0ff3\r\nS214008010101112131415161718191a1b1c1d1e1fe3\r\nS20c008020202122232425262737\r\n'

t "no arguments" 255 '' '$M' '' "$usage" 'old\n'
t "three arguments" 255 '' '$M 16 0 in' '' "$usage" 'old\n'
t "five arguments" 255 '' '$M 16 0 in out x' '' "$usage" 'old\n'
t "forty bytes at 8000" 0 "$(bytes 0 40)" '$M 16 8000 in out' "$s16_8000" '' "$L40$T"
t "empty input" 0 '' '$M 16 0 in out' "$s16" '' "$T"
t "empty input, address unchecked" 0 '' '$M 16 1000000 in out' "$(say 16)$(at 1000000)" '' "$T"
t "full lines only" 0 "$(bytes 0 32)" '$M 16 10 in out' "$(say 16)$(at 000010)" '' \
    'S214000010000102030405060708090a0b0c0d0e0f63\r\nS214000020101112131415161718191a1b1c1d1e1f53\r\n'"$T"
t "shorter than a record" 0 "$(bytes 0 3)" '$M 16 0 in out' "$s16" '' "S207000000000102f5\r\n$T"
t "eight per record" 0 "$(bytes 0 10)" '$M 8 1a in out' "$(say 8)$(at 00001a)" '' \
    "S20c00001a0001020304050607bd\r\nS2060000220809c6\r\n$T"
t "count with trailing junk" 0 "$(bytes 0 10)" '$M 8xyz 1azz in out' "$(say 8)$(at 00001a)" '' \
    "S20c00001a0001020304050607bd\r\nS2060000220809c6\r\n$T"
t "address with 0x prefix" 0 "$(bytes 0 16)" '$M 16 0x0 in out' "$s16" '' "$L0$T"
t "white space before numbers" 0 "$(bytes 0 16)" '$M " +16" " 0" in out' "$s16" '' "$L0$T"
t "line-end bytes are data" 0 '\x0d\x0a\x1a\x00' '$M 16 0 in out' "$s16" '' "S2080000000d0a1a00c6\r\n$T"
t "32 per record, 16 bytes" 0 "$(bytes 0 16)" '$M 32 0 in out' "$(say 32)$(at 000000)" '' "$L0$T"
t "17 per record, 20 bytes" 255 "$(bytes 0 20)" '$M 17 0 in out' "$(say 17)$(at 000000)" \
    "ERROR:  Can't have 17 bytes per record.\n$fault" 'S2'
t "0 per record" 255 "$(bytes 0 4)" '$M 0 0 in out' "$(say 0)" "ERROR:  Can't have 0 bytes per record.\n" -
t "0x10 per record is 0" 255 "$(bytes 0 4)" '$M 0x10 0 in out' "$(say 0)" "ERROR:  Can't have 0 bytes per record.\n" -
t "abc per record is 0" 255 "$(bytes 0 4)" '$M abc 0 in out' "$(say 0)" "ERROR:  Can't have 0 bytes per record.\n" -
t "negative per record" 255 "$(bytes 0 4)" '$M -1 0 in out' "$(say -1)" 'ERROR:  Unable to allocate buffer.\n' -
t "wrapped to negative" 255 "$(bytes 0 4)" '$M 4294967295 0 in out' "$(say -1)" 'ERROR:  Unable to allocate buffer.\n' -
for a in zz x1a '' - + 0x 0xg '- 1'; do
    t "address '$a'" 255 "$(bytes 0 4)" "\$M 16 '$a' in out" "$(say 16)" "ERROR:  Invalid start address '$a'.\n" -
done
t "one byte at ffffff" 0 '\xab' '$M 16 ffffff in out' "$(say 16)$(at ffffff)" '' "S205ffffffab52\r\n$T"
t "record ending at ffffff" 0 "$(bytes 0 16)" '$M 16 fffff0 in out' "$(say 16)$(at fffff0)" '' \
    "S214fffff0000102030405060708090a0b0c0d0e0f85\r\n$T"
t "record crossing ffffff" 255 "$(bytes 0 16)" '$M 16 fffff8 in out' "$(say 16)$(at fffff8)" \
    "ERROR:  Address exceeded six byte maximum.\n$fault" 'S214'
t "data running past ffffff" 255 "$(bytes 0 40)" '$M 16 fffff0 in out' "$(say 16)$(at fffff0)" \
    "ERROR:  Address exceeded six byte maximum.\n$fault" 'S214fffff0000102030405060708090a0b0c0d0e0f85\r\nS214'
t "missing input" 255 '' '$M 16 0 nothing out' "$s16" "ERROR:  Can't open file 'nothing' for reading.\n" -
t "missing output directory" 255 '' '$M 16 0 in no/out' "$s16" "ERROR:  Can't open file 'no/out' for writing.\n" -
t "same path" 255 "$(bytes 0 4)" '$M 16 0 in in' "$s16" "ERROR:  Output file 'in' is the input file.\n" 'old\n'
t "hard link" 255 "$(bytes 0 4)" 'ln -f in out && $M 16 0 in out' "$s16" \
    "ERROR:  Output file 'out' is the input file.\n" "$(bytes 0 4)"
t "symbolic link" 255 "$(bytes 0 4)" 'ln -sf in out && $M 16 0 in out' "$s16" \
    "ERROR:  Output file 'out' is the input file.\n" "$(bytes 0 4)"
t "directory as input" 255 '' 'mkdir d && $M 16 0 d out' "$s16" "ERROR:  Can't read file 'd': Is a directory.\n" ''
t "disk full" 255 "$(bytes 0 40)" '$M 16 0 in /dev/full' "$s16" \
    "ERROR:  Can't write file '/dev/full': No space left on device.\n$fault" 'old\n'
# Reading stops at the first failed write: the writer of a 4 MiB pipe is cut off (SIGPIPE).
t "disk full, stops early" 255 '' \
    'head -c 4194304 /dev/zero | $M 16 0 /dev/stdin /dev/full; p=("${PIPESTATUS[@]}"); [ "${p[0]}" = 141 ] || echo late; (exit "${p[1]}")' \
    "$s16" "ERROR:  Can't write file '/dev/full': No space left on device.\n$fault" 'old\n'
t "disk full, terminator only" 255 '' '$M 16 0 in /dev/full' "$s16" \
    "ERROR:  Can't write file '/dev/full': No space left on device.\n$fault" 'old\n'
# The file size limit cuts the output mid-block: what reached the file must be the exact
# beginning of the full conversion.
t "file size limit" 255 "$(bytes 0 256)$(bytes 0 256)" \
    'for i in $(seq 80); do cat in; done >big && $M 16 0 big full >/dev/null &&
     (trap "" XFSZ; prlimit --fsize=10000 $M 16 0 big out); r=$?;
     [ "$(wc -c <out)" = 10000 ] && head -c 10000 full | cmp -s - out || echo "not the beginning"; (exit $r)' \
    "$s16" "ERROR:  Can't write file 'out': File too large.\n$fault" '*'
t "input links to output" 255 "$(bytes 0 4)" 'ln -s out link && $M 16 0 link out' "$s16" \
    "ERROR:  Output file 'out' is the input file.\n" 'old\n'
t "input hard link of output" 255 "$(bytes 0 4)" 'ln out link && $M 16 0 link out' "$s16" \
    "ERROR:  Output file 'out' is the input file.\n" 'old\n'
t "fifo as input" 0 "$(bytes 0 40)" 'mkfifo f && { cat in >f & } && $M 16 8000 f out; r=$?; wait; (exit $r)' \
    "$s16_8000" '' "$L40$T"
t "fifo as output" 0 "$(bytes 0 40)" 'mkfifo f && { cat f >out & } && $M 16 8000 in f; r=$?; wait; (exit $r)' \
    "$s16_8000" '' "$L40$T"
t "stdin redirected" 0 "$(bytes 0 40)" '$M 16 8000 /dev/stdin out <in' "$s16_8000" '' "$L40$T"
t "pipe as input" 0 "$(bytes 0 40)" 'cat in | $M 16 8000 /dev/stdin out' "$s16_8000" '' "$L40$T"
t "pipe as output" 0 "$(bytes 0 40)" \
    '{ (set -o pipefail; $M 16 8000 in /dev/fd/3 3>&1 >&4 | cat >out); } 4>&1' "$s16_8000" '' "$L40$T"

# Paths and bytes that a Windows build could get wrong: spaces, characters beyond the
# legacy code page, hard links, and text-mode line ends.
t "paths with spaces" 0 "$(bytes 0 40)" \
    'mkdir "a dir" && mv in "a dir/in file" && $M 16 8000 "a dir/in file" "a dir/out file" &&
     mv "a dir/in file" in && mv "a dir/out file" out' "$s16_8000" '' "$L40$T"
t "non-ASCII paths" 0 "$(bytes 0 40)" \
    'mv in é.bin && $M 16 8000 é.bin ж.srec; r=$?; mv é.bin in; mv ж.srec out; (exit $r)' \
    "$s16_8000" '' "$L40$T"
t "non-ASCII same file" 255 "$(bytes 0 4)" 'ln in ж && $M 16 0 in ж' "$s16" \
    "ERROR:  Output file 'ж' is the input file.\n" 'old\n'
t "the sample, byte for byte" 0 '' \
    '$M 16 8000 "$examples/sample.bin" out && cmp out "$examples/sample.srec"' "$s16_8000" '' '*'

echo "$pass passed, $fail failed, $skip skipped"
[ "$fail" = 0 ]
