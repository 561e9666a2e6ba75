# Counted checks for the test scripts, sourced by them.
#   check NAME CONDITION...   runs CONDITION, counts it, and names it when it fails
#   finish SUITE              prints "SUITE: N passed, N failed"; fails when any check did
passed=0
failed=0

check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $name"
    fi
}

finish() {
    echo "$1: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
}
