# Sourced by the test scripts that convert runs and open pages in headless Chromium; they set
# converter (the program) and work (their scratch folder).
#   convert_at STAMP NAME PLATFORM PROJECT HASH REPORT   the run's script and SARIF log,
#       $work/NAME.sql and .sarif, stamped STAMP (YYYY.MM.DD) 02:00:00
#   chrome ARGUMENT...                                    headless Chromium, its own profile
convert_at() {
    "$converter" --platform="$3" --input="$6" --output="$work/$2.sql" --typ_name="$4" \
        --typ_var=V --sql_config=SQL --hash_value="$5" --sarif_output="$work/$2.sarif" >/dev/null
    local stamp
    stamp=$(grep -o -m 1 -E '"[0-9]{4}\.[0-9]{2}\.[0-9]{2}", "[0-9:]{8}"' "$work/$2.sql")
    sed -i "s/${stamp:1:10}/$1/g; s/${stamp:15:8}/02:00:00/g" "$work/$2.sql" "$work/$2.sarif"
}
chrome() {
    chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync \
        --user-data-dir="$work/profile" "$@" 2>/dev/null
}
