#!/usr/bin/env bash
# Opens the history page in headless Chromium: the DOM must hold every run of the database,
# and a screenshot must show the trend charts (the colours of their lines), not a blank page.
#   history_page_test.sh CONVERTER HISTORY EXAMPLE_REPORT
set -uo pipefail
converter=$1
history=$2
example=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

# Four runs of one project and two of another, each stamped a day apart.
hashes=()
for run in 1 2 3 4 5 6; do
    platform=TargetA
    [ "$run" -gt 4 ] && platform=TargetB
    head -n $((run * 60)) "$example" >"$work/report.txt"
    "$converter" --platform=$platform --input="$work/report.txt" --output="$work/$run.sql" \
        --typ_name=Ecu --typ_var=V --sql_config=SQL --hash_value="run${run}hash" >/dev/null
    sed -i -E "s/\"[0-9]{4}\.[0-9]{2}\.[0-9]{2}\", \"[0-9:]{8}\"/\"2026.11.0$run\", \"02:00:00\"/" \
        "$work/$run.sql"
    hashes+=("run${run}hash")
done
"$history" load --database="$work/results.db" "$work"/*.sql >/dev/null
"$history" page --database="$work/results.db" --output="$work/page.html"
check "the page is written" test -s "$work/page.html"

chrome() {
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" "$@" "file://$work/page.html" 2>/dev/null
}
chrome --dump-dom >"$work/dom.html"
for hash in "${hashes[@]}"; do
    check "the DOM holds the run $hash" grep -q "<tr class=\"run\" data-run=\"$hash\"" "$work/dom.html"
done
check "the DOM holds two projects" test "$(grep -o '<section class="project"' "$work/dom.html" | wc -l)" -eq 2
check "the DOM holds the points with their runs" test "$(grep -o '<circle class="point"' "$work/dom.html" | wc -l)" -eq 24

chrome --window-size=1000,1400 --screenshot="$work/page.png" >/dev/null
# Counts the pixels of each trend colour in the screenshot (8-bit RGB or RGBA, as Chromium
# writes it).
python3 - "$work/page.png" >"$work/colours.txt" <<'PYTHON'
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n"
at, chunks, header = 8, b"", None
while at < len(data):
    length, kind = struct.unpack(">I4s", data[at:at + 8])
    body = data[at + 8:at + 8 + length]
    if kind == b"IHDR":
        header = struct.unpack(">IIBBBBB", body)
    elif kind == b"IDAT":
        chunks += body
    at += 12 + length
width, height, depth, colour, _, _, interlace = header
assert depth == 8 and colour in (2, 6) and interlace == 0
size = 3 if colour == 2 else 4
raw, rows, previous = zlib.decompress(chunks), [], bytearray(width * size)
for y in range(height):
    kind, line = raw[y * (width * size + 1)], bytearray(raw[y * (width * size + 1) + 1:(y + 1) * (width * size + 1)])
    for x in range(len(line)):
        a = line[x - size] if x >= size else 0
        b = previous[x]
        c = previous[x - size] if x >= size else 0
        if kind == 1: line[x] = (line[x] + a) & 255
        elif kind == 2: line[x] = (line[x] + b) & 255
        elif kind == 3: line[x] = (line[x] + (a + b) // 2) & 255
        elif kind == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    previous = line
counts = {}
for line in rows:
    for x in range(0, len(line), size):
        pixel = bytes(line[x:x + 3])
        counts[pixel] = counts.get(pixel, 0) + 1
for name, rgb in (("band_8_9", "c0392b"), ("band_5_7", "e67e22"), ("band_0_4", "2980b9"), ("his", "8e44ad")):
    print(name, counts.get(bytes.fromhex(rgb), 0))
print("colours", len(counts))
PYTHON
while read -r name count; do
    if [ "$name" = colours ]; then
        check "the screenshot is not blank ($count colours)" test "$count" -gt 20
    else
        check "the screenshot shows the $name line ($count pixels)" test "$count" -gt 100
    fi
done <"$work/colours.txt"
check "the screenshot was decoded" test "$(wc -l <"$work/colours.txt")" -eq 5

finish "history page"
