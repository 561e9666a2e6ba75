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
    check "$name: nothing left beside the output" test "$(ls "$work/out")" = "out.txt"
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
run strace -qq -o /dev/null -e trace=rename -e inject=rename:error=EACCES:when=1
expect "rename EACCES" 252 "$write_error"
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
check "concurrent runs leave no temporary" test -z "$(ls "$work" | grep vendrik-)"

finish "fault injection"
