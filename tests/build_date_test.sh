#!/usr/bin/env bash
# Builds the build-date unit with SOURCE_DATE_EPOCH set and checks the date it gives.
#   build_date_test.sh COMPILER SOURCE_FOLDER
set -euo pipefail
compiler=$1
sources=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cat > "$scratch/main.cpp" <<'CPP'
#include "driver/build_date.h"
#include <iostream>
int main() { std::cout << vendrik::buildDate() << '\n'; }
CPP
check() {
    SOURCE_DATE_EPOCH=$1 "$compiler" -std=c++20 -I "$sources" -o "$scratch/date" \
        "$scratch/main.cpp" "$sources/driver/build_date.cpp"
    actual=$("$scratch/date")
    if [ "$actual" != "$2" ]; then
        echo "SOURCE_DATE_EPOCH=$1: expected '$2', got '$actual'"
        exit 1
    fi
}
check 1569456000 "Sep 26 2019"
check 1570320000 "Oct  6 2019"
check 0 "Jan  1 1970"
echo "build date follows SOURCE_DATE_EPOCH"
