# Sourced by the history benches: time_history DATABASE WORK prints a table of load (of
# WORK/next.sql and WORK/next.sarif, once: it changes the database), runs, compare,
# gate --max-new=0 and page (into WORK/page.html) of TargetA / Nightly, the others the median
# of five runs, each with its peak memory and its number of queries. The commands run through
# count_queries, vendrik-history's entry point in a program that then prints how many queries
# it made; the gate's status says pass or fail, the time is what counts here.
time_history() {
    local database=$1 work=$2 command out seconds kib queries median
    local one=(--platform=TargetA --project=Nightly)
    printf '| %-8s | %8s | %14s | %7s |\n' command "wall (s)" "peak RSS (MiB)" queries
    for command in load runs compare gate page; do
        local arguments=("$command" --database="$database")
        case $command in
        load) arguments+=("$work/next.sql" "$work/next.sarif") ;;
        compare) arguments+=("${one[@]}") ;;
        gate) arguments+=("${one[@]}" --max-new=0) ;;
        page) arguments+=(--output="$work/page.html") ;;
        esac
        local times=()
        for _ in $([ "$command" = load ] && echo 1 || echo 1 2 3 4 5); do
            out=$(build-bench/bench/measure build-bench/bench/count_queries "${arguments[@]}" \
                2>&1 >/dev/null || true)
            read -r seconds kib <<<"$(tail -n 1 <<<"$out")"
            queries=$(sed -n 's/^queries: //p' <<<"$out")
            times+=("$seconds")
        done
        median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((${#times[@]} + 1) / 2))p")
        printf '| %-8s | %8s | %14s | %7s |\n' "$command" "$median" "$((kib / 1024))" "$queries"
    done
}
