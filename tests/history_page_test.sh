#!/usr/bin/env bash
# Opens history pages in headless Chromium, as a lead would look at them:
# - the example's runs of two projects and a project whose names and findings hold HTML,
#   loaded from scripts and SARIF logs: the DOM must hold the overview, every section, every
#   run, the axes' dates, the newest run's new findings and the decisions on them; the
#   hostile names and decisions must show as text, and no script of theirs may run; a screenshot must show the trend's lines;
# - 3,000 nightly runs that the bench's generator writes: the same parts, under 2 MB.
#   history_page_test.sh CONVERTER HISTORY EXAMPLE_REPORT GENERATOR
set -uo pipefail
converter=$1
history=$2
example=$3
generator=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "$0")/checks.sh"

source "$(dirname "$0")/converted_runs.sh"
# convert NUMBER PLATFORM PROJECT HASH REPORT: stamped 2026.11.NUMBER.
convert() { convert_at "2026.11.$(printf %02d "$1")" "$@"; }
count() { grep -o -- "$1" "$2" | wc -l; }

# Four runs of one project and two of another, each of more of the example's lines.
hashes=()
for run in 1 2 3 4 5 6; do
    platform=TargetA
    [ "$run" -gt 4 ] && platform=TargetB
    head -n $((run * 60)) "$example" >"$work/report.txt"
    convert $run $platform Ecu "run${run}hash" "$work/report.txt"
    hashes+=("run${run}hash")
done
# Two runs of a project whose names, file names and finding texts hold HTML.
hostile="<script>document.title='pwned'</script>"
finding='D:\w\Src\Src_NV\App\<img src=x onerror=document.title=1>.c (12) : warning : QAC(Prio9)'
echo "$finding Msg: 2000(</svg>]]> \"q\" $hostile.) Ref: MISRA C:2012 Rule-15.7" >"$work/hostile.txt"
convert 7 "X$hostile" "E\"</svg>]]>" "h<b>1" "$work/hostile.txt"
echo "${finding/(12)/(14)} Msg: 2001(a new one $hostile.) Ref: MISRA C:2012 Rule-15.7" \
    >>"$work/hostile.txt"
convert 8 "X$hostile" "E\"</svg>]]>" "h<b>2" "$work/hostile.txt"
"$history" load --database="$work/results.db" "$work"/*.sql "$work"/*.sarif >/dev/null
# A decision on the hostile project's new finding, whose reason and author hold HTML too.
"$history" triage set --database="$work/results.db" --platform="X$hostile" \
    --project="E\"</svg>]]>" --file='Src/Src_NV/App/<img src=x onerror=document.title=1>.c' \
    --line=14 --state=accepted --reason="ok $hostile <img src=y onerror=document.title=2>" \
    --author="<b>lead</b>" >/dev/null
"$history" page --database="$work/results.db" --output="$work/page.html"
check "the page is written" test -s "$work/page.html"

chrome --dump-dom "file://$work/page.html" >"$work/dom.html"
dom=$work/dom.html
for hash in "${hashes[@]}"; do
    check "the DOM holds the run $hash" grep -q "<tr class=\"run\" data-run=\"$hash\"" "$dom"
done
check "the DOM holds the overview of three" test "$(count '<tr class="overview-row"' "$dom")" -eq 3
check "the DOM holds three sections" test "$(count '<section class="project"' "$dom")" -eq 3
check "the DOM holds a point per run" test "$(count '<g class="point"' "$dom")" -eq 8
check "the time axis shows the dates" grep -q '<text class="date-tick"[^>]*>2026.11.01</text>' "$dom"
check "the value axis shows its scale" test "$(count 'class="value-tick"' "$dom")" -ge 3
check "the newest run's new findings are listed" \
    grep -q 'New findings in the newest run: [1-9][0-9]*</h4><table class="new-findings">' "$dom"
check "the hostile project's new finding is listed" \
    grep -q "a new one &lt;script&gt;document.title='pwned'&lt;/script&gt;" "$dom"
check "no script of the database ran" \
    grep -q '<head><meta charset="utf-8"><title>QAC findings history</title>' "$dom"
check "the decision's reason is shown as text" \
    grep -q "ok &lt;script&gt;document.title='pwned'&lt;/script&gt; &lt;img src=y" "$dom"
check "the section counts the findings by state" \
    grep -q '<p class="triage">1 unreviewed, 0 confirmed, 1 suppressed</p>' "$dom"
check "the page's own scripts are the only ones" test "$(count '<script' "$dom")" -eq 4
check "no element of the database was made" test "$(count '<img\|<b>' "$dom")" -eq 0
check "the hostile file name is shown as text" \
    grep -q 'App/&lt;img src=x onerror=document.title=1&gt;.c' "$dom"
check "the hostile project name is shown as text" \
    grep -q 'X&lt;script&gt;document.title=.pwned.&lt;/script&gt; / E"&lt;/svg&gt;]]&gt;' "$dom"

chrome --window-size=1000,1400 --screenshot="$work/page.png" "file://$work/page.html" >/dev/null
# Counts the pixels of each line's colour in the screenshot (8-bit RGB or RGBA, as Chromium
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
# A dashed line's pixels are mostly blended at its edges: near its colour counts.
for name, rgb in (("band_8_9", "d55e00"), ("band_5_7", "e69f00"), ("band_0_4", "0072b2"), ("his", "cc79a7")):
    target = bytes.fromhex(rgb)
    print(name, sum(n for pixel, n in counts.items() if max(abs(a - b) for a, b in zip(pixel, target)) <= 40))
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

# Ten years of nightly runs, a point a month.
"$generator" "$work/large.db" "$work/next.txt" 3000 200 3000 steps
"$history" page --database="$work/large.db" --output="$work/large.html"
size=$(stat -c %s "$work/large.html")
check "the page of 3,000 runs is under 2 MB ($size bytes)" test "$size" -lt 2000000
chrome --dump-dom "file://$work/large.html" >"$dom"
check "the large page has its overview" test "$(count '<tr class="overview-row"' "$dom")" -eq 1
check "the large page has its section" test "$(count '<section class="project"' "$dom")" -eq 1
check "the large chart has a point a month" grep -q ', one point per month\.' "$dom"
check "the large chart shows its dates" test "$(count 'class="date-tick"' "$dom")" -ge 5
check "the large chart labels its jumps" test "$(count '<g class="jump"' "$dom")" -ge 2
check "the large page lists the newest run's new findings" \
    grep -q 'New findings in the newest run: [1-9][0-9]*</h4>' "$dom"
check "the large page shows 100 runs, then how many more" \
    grep -q '<p class="more">and 2900 more runs</p>' "$dom"
chrome --window-size=1000,1400 --screenshot="$work/large.png" "file://$work/large.html" >/dev/null
check "the large page's screenshot is taken" test -s "$work/large.png"

finish "history page"
