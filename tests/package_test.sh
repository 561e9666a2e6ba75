#!/usr/bin/env bash
# Packages a build and checks the package.
#   package_test.sh BUILD_FOLDER REPORT   the .deb: unpacked into a scratch root, the
#                                         installed program converts REPORT, the man page is there
#   package_test.sh --zip BUILD_FOLDER    the Windows .zip holds bin/Vendrik.exe
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ "$1" = "--zip" ]; then
    cpack --config "$2/CPackConfig.cmake" -B "$scratch" >/dev/null
    zip=$(ls "$scratch"/*.zip)
    (cd "$scratch" && cmake -E tar xf "$zip")
    find "$scratch" -path '*/bin/Vendrik.exe' | grep -q . || { echo "no bin/Vendrik.exe in $zip"; exit 1; }
    echo "$(basename "$zip") holds bin/Vendrik.exe"
    exit 0
fi

build=$1
report=$2
cpack --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null
deb=$(ls "$scratch"/package/*.deb)
dpkg -x "$deb" "$scratch/root"
test -f "$scratch/root/usr/share/man/man1/vendrik.1" || { echo "man page missing"; exit 1; }
"$scratch/root/usr/bin/vendrik" --platform=P --input="$report" --output="$scratch/out.txt" \
    --typ_name=N --typ_var=V >"$scratch/console"
grep -q '^Number of files with warnings/errors : "12"$' "$scratch/out.txt" ||
    { echo "installed program gave:"; cat "$scratch/out.txt"; exit 1; }
if [ -x "$build/vendrik-history" ]; then
    "$scratch/root/usr/bin/vendrik-history" --help | grep -q 'compare' ||
        { echo "installed vendrik-history does not run"; exit 1; }
    test -f "$scratch/root/usr/share/man/man1/vendrik-history.1" ||
        { echo "vendrik-history's man page missing"; exit 1; }
    dpkg-deb -f "$deb" Depends | grep -q libsqlite3 || { echo "no dependency on SQLite"; exit 1; }
fi
echo "$(basename "$deb") installs a working vendrik and its man pages"
