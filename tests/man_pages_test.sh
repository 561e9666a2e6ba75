#!/usr/bin/env bash
# The man pages: well-formed for groff, and naming every option that the programs take.
#   man_pages_test.sh SOURCE_FOLDER VENDRIK_HISTORY
set -euo pipefail
source=$1
history=$2
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

for page in "$source/doc/vendrik.1" "$source/doc/vendrik-history.1"; do
    warnings=$(groff -man -ww -z "$page" 2>&1)
    [ -z "$warnings" ] || fail "$page: $warnings"
done

# The converter's options, from its option table.
rendered=$(MANWIDTH=200 man -l "$source/doc/vendrik.1" 2>/dev/null | sed 's/\xe2\x80\x90//g')
for option in $(grep -o '{"--[a-z_]*"' "$source/src/driver/run_options.cpp" | tr -d '{"'); do
    grep -q -- "$option=" <<<"$rendered" || fail "vendrik.1 does not name $option"
done

# vendrik-history's, from each subcommand's help; the limits on the columns' totals are
# named together as --max-column.
rendered=$(MANWIDTH=200 man -l "$source/doc/vendrik-history.1" 2>/dev/null | sed 's/\xe2\x80\x90//g')
for command in $("$history" --help | sed -n '/^Subcommands:/,$p' | awk 'NR > 1 && NF {print $1}'); do
    grep -q "vendrik-history $command" <<<"$rendered" || fail "vendrik-history.1 has no $command"
    for option in $("$history" "$command" --help | grep -o -- '--[a-z][a-z0-9_-]*' | sort -u); do
        case $option in
        --help) continue ;;
        --max-all_errors | --max-misra_[0-9] | --max-his | --max-band_*) option=--max-column ;;
        esac
        grep -q -- "$option" <<<"$rendered" || fail "vendrik-history.1 does not name $option ($command)"
    done
done
echo "$failures failed"
[ "$failures" -eq 0 ]
