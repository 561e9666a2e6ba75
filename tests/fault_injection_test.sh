#!/usr/bin/env bash
# Runs the real program under faults and checks that it stays honest: read, write, close and
# rename errors injected with strace, a file size limit and a memory limit, each of which
# must give its status, its one error line, nothing on standard error, and the previous
# output byte for byte; report lines with NUL bytes loaded into the sqlite3 shell; and
# concurrent runs to one output.
#   fault_injection_test.sh PROGRAM EXAMPLE_REPORT
set -uo pipefail
program=$1
example=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

# A report of many blocks and a long summary: the example with its files renamed 30 times.
report=$work/report.txt
for copy in $(seq 1 30); do sed "s/Src_NV\\\\/Src_NV\\\\copy$copy\\\\/" "$example"; done >"$report"

out=$work/out/out.txt
previous=$'previous output\n'
arguments=(--platform=P --typ_name=T --typ_var=V)

# run [PREFIX...]: runs the program behind PREFIX on $input into $out, keeping its status,
# console and standard error.
run() {
    "$@" "$program" "${arguments[@]}" --input="$input" --output="$out" \
        >"$work/console" 2>"$work/errors"
    status=$?
}

# expect NAME STATUS LINE: the last run ended with STATUS and LINE after the banner, wrote
# nothing to standard error, and left the previous output alone and nothing beside it.
expect() {
    local name=$1 want_status=$2 line=$3
    check "$name: status $status, expected $want_status" test "$status" -eq "$want_status"
    check "$name: console" test "$(tail -n +3 "$work/console")" = "$line"
    check "$name: standard error" test ! -s "$work/errors"
    check "$name: previous output kept" test "$(cat "$out"; echo .)" = "${previous}."
    check "$name: nothing left beside the output" test "$(ls -A "$work/out")" = "out.txt"
}

reset_output() {
    rm -rf "$work/out"
    mkdir "$work/out"
    printf '%s' "$previous" >"$out"
}

# The number of the first call of SYSCALL on a file whose path holds TEXT, counted among all
# calls of SYSCALL in a run without faults, as strace's inject counts them.
call_number() {
    reset_output
    strace -qq -y -e trace="$1" -o "$work/trace" "$program" "${arguments[@]}" --input="$input" \
        --output="$out" >/dev/null 2>&1
    awk -v call="$1(" -v text="$2" \
        'index($0, call) == 1 { n++; if (index($0, text)) { print n; exit } }' "$work/trace"
}

# Faults, each with the line it must give.
input=$report
read_error="Vendrik error: Could not read input file"
write_error="Vendrik error: Could not write output file"
for when in 1 3; do
    reset_output
    run strace -qq -o /dev/null -P "$report" -e trace=read -e inject=read:error=EIO:when=$when
    expect "read EIO at read $when" 254 "$read_error"
done
write=$(call_number write .vendrik-)
close=$(call_number close .vendrik-)
check "the output is written through a temporary" test -n "$write" -a -n "$close"
reset_output
run strace -qq -o /dev/null -e trace=write -e inject=write:error=ENOSPC:when="$write"
expect "write ENOSPC" 252 "$write_error"
reset_output
run strace -qq -o /dev/null -e trace=close -e inject=close:error=EIO:when="$close"
expect "close EIO" 252 "$write_error"
reset_output
run strace -qq -o /dev/null -e trace=rename -e inject=rename:error=EIO:when=1
expect "rename EIO" 252 "$write_error"
# The exports are put in place before the output, which comes last: when its rename fails,
# after the export's, the output is untouched.
reset_output
arguments+=(--sarif_output="$work/out/../r.sarif")
run strace -qq -o /dev/null -e trace=rename -e inject=rename:error=EIO:when=2
expect "rename EIO of the output after the export's" 252 "$write_error"
unset 'arguments[-1]'
# The file system refuses the temporary (no free block or inode): a failure, never a write
# in place that would empty the previous output.
create=$(call_number openat .vendrik-)
for error in ENOSPC EDQUOT EMFILE; do
    reset_output
    run strace -qq -o /dev/null -e trace=openat -e inject=openat:error=$error:when="$create"
    expect "temporary refused with $error" 253 "Vendrik error: Could not open output file"
done
reset_output
run bash -c 'ulimit -f 4; exec "$@"' limited
expect "ulimit -f 4 (a 4 KiB file size limit)" 252 "$write_error"
reset_output
input=/dev/zero
run bash -c 'ulimit -v 200000; exec "$@"' limited
expect "ulimit -v with an endless line" 251 "Vendrik error: Not enough memory"
# 900 copies of the example, each with files of its own: 60 MiB and 160,000 findings.
awk '{ line[NR] = $0 } END { for (c = 1; c <= 900; c++) for (i = 1; i <= NR; i++) {
    text = line[i]; sub(/Src_NV\\/, "Src_NV\\" c "\\", text); print text } }' "$example" \
    >"$work/large.txt"
input=$work/large.txt
reset_output
run bash -c 'ulimit -v 20000; exec "$@"' limited
expect "ulimit -v below what the report needs" 251 "Vendrik error: Not enough memory"
input=$report

# The same runs without faults succeed.
reset_output
run
check "the report converts: status $status" test "$status" -eq 0
check "the summary is long enough for the size limit" test "$(stat -c %s "$out")" -gt 8192
check "the echo is the output" cmp -s <(tail -n +3 "$work/console") "$out"

# A 250-byte output name: the temporary's name still fits, so a failing write keeps the
# previous output.
long_name=$(printf 'o%.0s' {1..250})
out=$work/out/$long_name
reset_output
printf '%s' "$previous" >"$out"
rm "$work/out/out.txt"
run bash -c 'ulimit -f 4; exec "$@"' limited
check "250-byte name under ulimit -f: status $status" test "$status" -eq 252
check "250-byte name: previous output kept" test "$(cat "$out"; echo .)" = "${previous}."
check "250-byte name: nothing beside it" test "$(ls -A "$work/out")" = "$long_name"
out=$work/out/out.txt

# A rename refused for permission, with the file writable: the new content is written in place.
reset_output
run strace -qq -o /dev/null -e trace=rename -e inject=rename:error=EACCES:when=1
check "rename EACCES: status $status" test "$status" -eq 0
check "rename EACCES: the output is the new summary" cmp -s <(tail -n +3 "$work/console") "$out"
check "rename EACCES: nothing beside it" test "$(ls -A "$work/out")" = "out.txt"

# Another user's writable file in a sticky folder: the rename is refused, the run still works
# and the file keeps its owner. Run as nobody.
shared=$work/sticky
mkdir -m 1777 "$shared"
chmod 755 "$work"
cp "$example" "$work/public.txt"
chmod 644 "$work/public.txt"
printf '%s' "$previous" >"$shared/out.txt"
chmod 666 "$shared/out.txt"
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
as_nobody "$program" "${arguments[@]}" --input="$work/public.txt" --output="$shared/out.txt" \
    >"$work/console" 2>"$work/errors"
status=$?
check "sticky folder: status $status" test "$status" -eq 0
check "sticky folder: new content" cmp -s <(tail -n +3 "$work/console") "$shared/out.txt"
check "sticky folder: still root's" test "$(stat -c %U "$shared/out.txt")" = root
check "sticky folder: nothing beside it" test "$(ls -A "$shared")" = "out.txt"

# Root replacing another user's file keeps its owner, group and permission bits.
chown nobody:nogroup "$shared/out.txt"
chmod 640 "$shared/out.txt"
"$program" "${arguments[@]}" --input="$example" --output="$shared/out.txt" >/dev/null
check "replaced file keeps owner, group and mode" \
    test "$(stat -c '%U:%G %a' "$shared/out.txt")" = "nobody:nogroup 640"

# A link that another user planted in a sticky world-writable folder is followed only where
# open() would follow it: with the kernel's protected_symlinks, not at all.
protection=/proc/sys/fs/protected_symlinks
saved=$(cat "$protection")
for setting in 1 0; do
    echo "$setting" >"$protection" 2>/dev/null || continue
    printf '%s' "$previous" >"$work/victim.txt"
    rm -f "$shared/planted.txt"
    as_nobody ln -s "$work/victim.txt" "$shared/planted.txt"
    if (echo x >>"$shared/planted.txt") 2>/dev/null; then want=0; else want=253; fi
    printf '%s' "$previous" >"$work/victim.txt"
    "$program" "${arguments[@]}" --input="$example" --output="$shared/planted.txt" \
        >"$work/console" 2>&1
    status=$?
    check "planted link, protected_symlinks=$setting: status $status, as open() gives $want" \
        test "$status" -eq "$want"
    check "planted link, protected_symlinks=$setting: still a link" test -L "$shared/planted.txt"
    if [ "$want" -ne 0 ]; then
        check "planted link refused: target kept" test "$(cat "$work/victim.txt"; echo .)" = "${previous}."
    fi
done
echo "$saved" >"$protection" 2>/dev/null
check "protected_symlinks tested" test "$(cat "$protection")" = "$saved"

# SIGINT and SIGTERM remove the run's temporaries: the run waits on a FIFO report.
for signal in INT TERM; do
    reset_output
    mkfifo "$work/fifo"
    env --default-signal=INT "$program" "${arguments[@]}" --input="$work/fifo" --output="$out" \
        --sarif_output="$work/out/r.sarif" >/dev/null 2>&1 &
    pid=$!
    exec 3>"$work/fifo"
    head -c 1000 "$example" >&3
    for _ in $(seq 1 50); do
        [ "$(ls -A "$work/out" | grep -c vendrik-)" -eq 2 ] && break
        sleep 0.1
    done
    check "SIG$signal: two temporaries while running" test "$(ls -A "$work/out" | grep -c vendrik-)" -eq 2
    kill -s "$signal" "$pid"
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null && sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid"
    status=$?
    exec 3>&-
    rm "$work/fifo"
    check "SIG$signal: ended by the signal ($status)" test "$status" -gt 128
    check "SIG$signal: temporaries removed" test "$(ls -A "$work/out")" = "out.txt"
    check "SIG$signal: previous output kept" test "$(cat "$out"; echo .)" = "${previous}."
done

# Two outputs naming one file, and an export on the console, are refused.
reset_output
for same in "--sarif_output=$out" "--codequality_output=$work/out/../out/out.txt" \
    "--sarif_output=$work/out/new.json --codequality_output=$work/out/new.json" \
    "--sarif_output=/dev/stdout"; do
    # shellcheck disable=SC2086
    "$program" "${arguments[@]}" --input="$example" --output="$out" $same \
        >"$work/console" 2>"$work/errors"
    status=$?
    expect "two outputs, one file ($same)" 253 "Vendrik error: Could not open output file"
done

# Report lines with a NUL byte whose cut would close a value early, through the file name
# and through the message text that the file name takes in; loaded by the sqlite3 shell.
payloads=( # printf formats, with the padding and statement for %s
    'D:\\w\\Src\\Src_NV\\a\0%s.c (1) : warning : QAC(Prio3) Msg: 2000(t.) Ref: R\n'
    'D:\\w\\Src\\Src_NV\\a.c (1) : warning : QAC(Prio3) Msg: 2000(t\0%s.) y.c (2) : warning : QAC(Prio3) Msg: 2000(t.) Ref: R\n'
)
statement=$(printf 'p%.0s' {1..30})'", 1,0,0,0,0,0,0,0,0,0,0,0); create table pwned(x); --'
for payload in "${payloads[@]}"; do
    # shellcheck disable=SC2059
    printf "$payload" "$statement" >"$work/nul.txt"
    # The file name as the table must hold it: P, a backslash, and the report's bytes from
    # the marker to the last " (line)".
    file_hex=$( (printf 'P\\'
        sed -E 's/^.*(Src\\Src_NV\\)/\1/; s/^(.*) \([0-9]+\) : warning.*$/\1/' "$work/nul.txt" |
            head -c -1) | od -An -tx1 | tr -d ' \n' | tr a-f A-F)
    "$program" --platform=P --input="$work/nul.txt" --output="$work/nul.sql" --typ_name=T \
        --typ_var=V --sql_config=SQL --hash_value=H >/dev/null
    rm -f "$work/nul.db"
    sqlite3 "$work/nul.db" <"$work/nul.sql" >/dev/null 2>&1
    check "NUL payload: only the table appears" \
        test "$(sqlite3 "$work/nul.db" "select group_concat(name) from sqlite_master")" = \
        "testresults,sqlite_autoindex_testresults_1"
    check "NUL payload: the file name keeps its bytes" \
        test "$(sqlite3 "$work/nul.db" "select hex(filename) from testresults")" = "$file_hex"
done

# Concurrent runs to one output: the file is always one run's whole output.
unstamped() { sed -E 's/^[0-9]{4}\.[0-9]{2}\.[0-9]{2}, [0-9]{2}:[0-9]{2}:[0-9]{2} //' "$1"; }
"$program" "${arguments[@]}" --input="$example" --output="$work/a.txt" >/dev/null
"$program" "${arguments[@]}" --input="$report" --output="$work/b.txt" >/dev/null
unstamped "$work/a.txt" >"$work/a.expected"
unstamped "$work/b.txt" >"$work/b.expected"
mixed=0
for _ in $(seq 1 25); do
    "$program" "${arguments[@]}" --input="$example" --output="$work/both.txt" >/dev/null &
    "$program" "${arguments[@]}" --input="$report" --output="$work/both.txt" >/dev/null &
    wait
    unstamped "$work/both.txt" >"$work/both.found"
    cmp -s "$work/both.found" "$work/a.expected" || cmp -s "$work/both.found" "$work/b.expected" ||
        mixed=$((mixed + 1))
done
check "25 pairs of concurrent runs: $mixed outputs mixed" test "$mixed" -eq 0
check "concurrent runs leave no temporary" test -z "$(ls -A "$work" | grep vendrik-)"

finish "fault injection"
