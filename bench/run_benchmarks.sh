#!/usr/bin/env bash
# Times whole runs of the fit programs (without the plot, -n) on generated data
# files beside the bare limits (a from_chars pass over the file; that plus a
# to_chars table) and the straightforward printf/fscanf versions (also -n),
# all in one run, and writes the table to docs/benchmarks.md. Every case is
# run REPEATS times, round-robin, and the median wall time is used, since the
# machine may be shared and noisy. At 2e6 and 1e7 points the three programs
# run twice per round: on fresh memory (after a pause of two seconds) and
# right after a memory-heavy run (the bare read of the same points, not
# timed); the targets are judged there. From 1e6 points on, the large-page
# case runs too: veldafit on 2e6 points with and without the large-page hint,
# on fresh memory and right after another memory-heavy program, at least 5
# times each.
#
#   bench/run_benchmarks.sh [MAX_POINTS [REPEATS]]     (default 10000000 3)
#   bench/run_benchmarks.sh large-pages [REPEATS]      only the large-page case;
#                                                      rewrites its section of OUTPUT
#
# Environment: BUILD_DIR (default build), OUTPUT (default docs/benchmarks.md).
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
large_pages_only=""
if [ "${1:-}" = large-pages ]; then
    large_pages_only=yes
    shift
    set -- 0 "$@"
fi
max_points=${1:-10000000}
repeats=${2:-3}
build=${BUILD_DIR:-$root/build}
bin=$build/bin
data=$build/bench-data
output=${OUTPUT:-$root/docs/benchmarks.md}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

if [ ! -x /usr/bin/time ]; then
    sudo=""
    [ "$(id -u)" = 0 ] || sudo=sudo
    $sudo apt-get install -y -qq time >/dev/null
fi
for program in generate_data limits veldafit veldafit_reference; do
    if [ ! -x "$bin/$program" ]; then
        echo "missing $bin/$program: build with -DFITCORE_BUILD_BENCHMARKS=ON first" >&2
        exit 1
    fi
done
have() { [ -x "$bin/$1" ]; }

# The plot front-end stand-in: takes the commands and discards them.
standin=$build/bench-standin
mkdir -p "$standin" "$data"
printf '#!/bin/sh\ncat >/dev/null\n' >"$standin/pgnuplot.exe"
chmod +x "$standin/pgnuplot.exe"
export PATH="$standin:$PATH"

sizes=""
for n in 1000 100000 1000000 2000000 10000000; do
    [ "$n" -le "$max_points" ] && sizes="$sizes $n"
done

data_file() {  # kind points -> path, generated once
    local kind=$1 n=$2 extension=pcp
    case $kind in csv*) extension=csv ;; table) extension=dat ;; esac
    local path=$data/$kind-$n.$extension
    [ -s "$path" ] || "$bin/generate_data" "$kind" "$n" 8 "$path"
    echo "$path"
}

# One run: prints "wall_seconds peak_kib exit_status minor_page_faults system_seconds user_seconds".
run_once() {  # stdin_text command...
    local input=$1
    shift
    local status=0
    /usr/bin/time -v -o "$scratch/time" "$@" <<<"$input" >/dev/null 2>"$scratch/stderr" || status=$?
    awk -v status="$status" -F': ' '
        /Elapsed \(wall clock\)/ { n = split($2, part, ":"); wall = 0; for (i = 1; i <= n; i++) wall = wall * 60 + part[i] }
        /Maximum resident set size/ { kib = $2 }
        /Minor \(reclaiming a frame\) page faults/ { faults = $2 }
        /System time \(seconds\)/ { system_seconds = $2 }
        /User time \(seconds\)/ { user_seconds = $2 }
        /Exit status/ { status = $2 }
        END { printf "%.2f %d %d %d %.2f %.2f\n", wall, kib, status, faults, system_seconds, user_seconds }' "$scratch/time"
}

# Cases: name|stdin|command|memory state (fresh, after or empty). Filled per
# size, run round-robin.
declare -a cases
add_case() { cases+=("$1|$2|$3|${4:-}"); }

# The memory state a case asks for: a pause, or a memory-heavy run first.
prepare() {  # state points_file
    case $1 in
    fresh) sleep 2 ;;
    after) "$bin/limits" read "$2" >/dev/null 2>&1 || true ;;
    esac
}

declare -A wall cpu memory status
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

measure_all() {  # points points_file
    local n=$1 round entry name input command state
    for ((round = 1; round <= repeats; round++)); do
        for entry in "${cases[@]}"; do
            IFS='|' read -r name input command state <<<"$entry"
            prepare "$state" "$2"
            # shellcheck disable=SC2086
            read -r w m s _ sys user <<<"$(run_once "$(printf "$input")" $command)"
            echo "$w" >>"$scratch/$name.walls"
            awk -v a="$sys" -v b="$user" 'BEGIN { printf "%.2f\n", a + b }' >>"$scratch/$name.cpu"
            [ "${memory[$n/$name]:-0}" -ge "$m" ] || memory[$n/$name]=$m
            [ "$s" = 0 ] || status[$n/$name]=$s
        done
    done
    for entry in "${cases[@]}"; do
        IFS='|' read -r name input command state <<<"$entry"
        wall[$n/$name]=$(median <"$scratch/$name.walls")
        cpu[$n/$name]=$(median <"$scratch/$name.cpu")
        rm -f "$scratch/$name.walls" "$scratch/$name.cpu"
    done
}

# The large-page hint (FITCORE_LARGE_PAGES=1 switches it on) for veldafit on
# 2e6 points, PCP and CSV: on fresh memory (after a pause of two seconds) and
# right after the straightforward version has used and freed as much memory
# (itself not timed). Hint on and off run side by side, in alternating order.
# Besides the times: the page faults, and the system's direct compactions
# (compact_stall in /proc/vmstat) during the run, where a hinted fault on
# fragmented memory would stall. Prints the section for docs/benchmarks.md.
large_pages_section() {
    local n=2000000 lp_repeats=$((repeats < 5 ? 5 : repeats))
    local pcp csv kind path state hint round w m s f sys user stalls
    pcp=$(data_file pcp "$n")
    csv=$(data_file csv "$n")
    echo "== large pages, $n points" >&2
    vm_counter() { awk -v key="$1" '$1 == key { print $2 }' /proc/vmstat 2>/dev/null; }
    local granted=0 refused=0 before_granted before_refused
    for ((round = 1; round <= lp_repeats; round++)); do
        for kind in pcp csv; do
            path=$pcp
            [ "$kind" = csv ] && path=$csv
            for state in fresh after; do
                for hint in $( ((round % 2)) && echo "1 0" || echo "0 1"); do
                    if [ "$state" = fresh ]; then
                        sleep 2
                    else
                        "$bin/veldafit_reference" "$pcp" <<<" " >/dev/null 2>&1 || true
                    fi
                    stalls=$(vm_counter compact_stall)
                    before_granted=$(vm_counter thp_fault_alloc)
                    before_refused=$(vm_counter thp_fault_fallback)
                    read -r w m s f sys user <<<"$(run_once " " env FITCORE_LARGE_PAGES=$hint "$bin/veldafit" "$path")"
                    stalls=$(($(vm_counter compact_stall) - ${stalls:-0}))
                    if [ "$hint" = 1 ]; then
                        granted=$((granted + $(vm_counter thp_fault_alloc) - ${before_granted:-0}))
                        refused=$((refused + $(vm_counter thp_fault_fallback) - ${before_refused:-0}))
                    fi
                    local name=$scratch/lp-$kind-$state-$hint
                    echo "$w" >>"$name.walls"
                    echo "$sys" >>"$name.system"
                    echo "$user" >>"$name.user"
                    echo "$f" >>"$name.faults"
                    echo "$stalls" >>"$name.stalls"
                done
            done
        done
    done
    echo "## Large pages"
    echo
    echo "veldafit on $n points with the point array's large-page hint and without it"
    echo "(\`FITCORE_LARGE_PAGES=1\` and \`=0\`), on fresh memory (after a pause of two seconds) and right"
    echo "after \`veldafit_reference\` has run on the same points, each case $lp_repeats times, hint"
    echo "on and off side by side in alternating order; medians of the wall, user and system times,"
    echo "the minor page faults and the system's direct compactions during the run (\`compact_stall\`)."
    echo "Transparent huge pages \`$(cat /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null || echo unknown)\`,"
    echo "defrag \`$(cat /sys/kernel/mm/transparent_hugepage/defrag 2>/dev/null || echo unknown)\`."
    echo
    echo "| file | memory | wall s, hint / none | hint ÷ none | user s, hint / none | system s, hint / none | minor faults, hint / none | compactions, hint / none |"
    echo "|---|---|---:|---:|---:|---:|---:|---:|"
    local on off name
    for kind in pcp csv; do
        for state in fresh after; do
            name=$scratch/lp-$kind-$state
            on=$(median <"$name-1.walls")
            off=$(median <"$name-0.walls")
            echo "| ${kind^^} | $state | $on / $off | $(ratio "$on" "$off") |" \
                "$(median <"$name-1.user") / $(median <"$name-0.user") |" \
                "$(median <"$name-1.system") / $(median <"$name-0.system") |" \
                "$(median <"$name-1.faults") / $(median <"$name-0.faults") |" \
                "$(median <"$name-1.stalls") / $(median <"$name-0.stalls") |"
        done
    done
    echo
    echo "Large pages given at a fault during the hinted runs, system-wide: $granted; refused: $refused."
    echo "The programs give the hint only with \`FITCORE_LARGE_PAGES=1\`: it is kept off unless it wins."
}

# Puts the section in place of the file's own (or at its end).
replace_section() {  # file section_file
    awk -v section="$2" '
        /^## Large pages/ { while ((getline line < section) > 0) print line; skipping = 1; done = 1; next }
        skipping && /^## / { skipping = 0; print "" }
        !skipping { print }
        END { if (!done) { print ""; while ((getline line < section) > 0) print line } }' "$1" >"$1.new"
    mv "$1.new" "$1"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }

if [ -n "$large_pages_only" ]; then
    large_pages_section >"$scratch/large_pages.md"
    replace_section "$output" "$scratch/large_pages.md"
    echo "wrote the large-page section of $output" >&2
    exit 0
fi

rows=""
row() { rows="$rows$1"$'\n'; }

# The targets, judged at the target sizes: "met" or "not met" with the number.
targets=""
target() {  # description measured comparison limit unit
    local verdict
    verdict=$(awk -v m="$2" -v l="$4" -v op="$3" 'BEGIN {
        if (m == "" || m == "-") { print "not measured"; exit }
        ok = (op == "<=") ? (m + 0 <= l + 0) : (m + 0 >= l + 0)
        print (ok ? "met" : "NOT met") }')
    targets="$targets| $1 | $2$5 | $3 $4$5 | $verdict |"$'\n'
}

cell_time() {  # n name
    if [ -n "${status[$1/$2]:-}" ]; then echo "exit ${status[$1/$2]}"; else echo "${wall[$1/$2]}"; fi
}

# The sizes the targets are judged at: there every program runs on fresh
# memory and right after a memory-heavy run.
target_sizes="2000000 10000000"
is_target_size() { case " $target_sizes " in *" $1 "*) return 0 ;; esac; return 1; }

# A program's row: n name label bare_case reference_case target_text.
program_row() {
    local n=$1 name=$2 speedup="-"
    have "$5" && speedup=$(ratio "${wall[$n/$5]}" "${wall[$n/$name]}")
    row "| $n | $3 | $(cell_time "$n" "$name") | ${cpu[$n/$name]} | $(mib "${memory[$n/$name]}") | $(ratio "${wall[$n/$name]}" "${wall[$n/$4]}") | $speedup | $6 |"
}

for n in $sizes; do
    [ "$n" = 1000 ] && continue
    echo "== $n points" >&2
    pcp=$(data_file pcp "$n")
    sigma=$(data_file pcp-sigma "$n")
    csv=$(data_file csv "$n")
    table=$(data_file table "$n")
    states=""
    is_target_size "$n" && states="fresh after"
    cases=()
    add_case limits_read "" "$bin/limits read $pcp"
    add_case limits_table "" "$bin/limits table $pcp"
    add_case limits_table_sigma "" "$bin/limits table $sigma"
    for entry in "veldafit|$pcp| " "sorrafit|$sigma| " "cadrafit|$pcp|9\\n "; do
        IFS='|' read -r program path input <<<"$entry"
        have "$program" || continue
        if [ -n "$states" ]; then
            for state in $states; do add_case "$program-$state" "$input" "$bin/$program -n $path" "$state"; done
        else
            add_case "$program" "$input" "$bin/$program -n $path"
        fi
        have "${program}_reference" && add_case "${program}_reference" "$input" "$bin/${program}_reference -n $path"
    done
    add_case veldafit_csv " " "$bin/veldafit -n $csv"
    add_case veldafit_table " " "$bin/veldafit -n $table"
    measure_all "$n" "$pcp"

    array_kib=$((n * 40 / 1024))
    pcp_limit=$(awk -v a="$array_kib" 'BEGIN { printf "%.1f", 1.1 * a / 1024 }')
    csv_limit=$(awk -v a="$array_kib" 'BEGIN { printf "%.1f", (2.2 * a + 32768) / 1024 }')
    table_limit=$(awk -v a="$array_kib" 'BEGIN { printf "%.1f", (1.1 * a + 32768) / 1024 }')
    row "| $n | bare: from_chars pass over the PCP file | $(cell_time "$n" limits_read) | ${cpu[$n/limits_read]} | $(mib "${memory[$n/limits_read]}") | | | |"
    row "| $n | bare: that and the to_chars table | $(cell_time "$n" limits_table) | ${cpu[$n/limits_table]} | $(mib "${memory[$n/limits_table]}") | 1.00 | | |"
    row "| $n | bare, PCP with sigma | $(cell_time "$n" limits_table_sigma) | ${cpu[$n/limits_table_sigma]} | $(mib "${memory[$n/limits_table_sigma]}") | 1.00 | | |"
    pcp_csv_case=veldafit
    [ -n "$states" ] && pcp_csv_case=veldafit-fresh
    for entry in "veldafit|veldafit, PCP|limits_table" "sorrafit|sorrafit, PCP with sigma|limits_table_sigma" "cadrafit|cadrafit, order 9|limits_table"; do
        IFS='|' read -r program label bare <<<"$entry"
        if ! have "$program"; then
            row "| $n | $program | not built | | | | | |"
            continue
        fi
        if [ -n "$states" ]; then
            for state in $states; do
                program_row "$n" "$program-$state" "$label, $state memory" "$bare" "${program}_reference" "≤ 0.75 × bare, ≥ 5 × faster, ≤ $pcp_limit MiB"
                target "$program, $n points, $state memory: time over the bare program" "$(ratio "${wall[$n/$program-$state]}" "${wall[$n/$bare]}")" "<=" 0.75 " ×"
                if have "${program}_reference"; then
                    target "$program, $n points, $state memory: straightforward version's time over the program's" "$(ratio "${wall[$n/${program}_reference]}" "${wall[$n/$program-$state]}")" ">=" 5 " ×"
                fi
                target "$program, $n points, $state memory: peak memory" "$(mib "${memory[$n/$program-$state]}")" "<=" "$pcp_limit" " MiB"
            done
        else
            program_row "$n" "$program" "$label" "$bare" "${program}_reference" ""
        fi
        if have "${program}_reference"; then
            row "| $n | $program, straightforward version | $(cell_time "$n" "${program}_reference") | ${cpu[$n/${program}_reference]} | $(mib "${memory[$n/${program}_reference]}") | $(ratio "${wall[$n/${program}_reference]}" "${wall[$n/$bare]}") | 1.00 | |"
        fi
    done
    if [ -n "${status[$n/veldafit_csv]:-}" ]; then
        row "| $n | veldafit, CSV | exit ${status[$n/veldafit_csv]} (CSV import not built) | | | | | ≤ 1.6 × PCP, ≤ $csv_limit MiB |"
    else
        row "| $n | veldafit, CSV | ${wall[$n/veldafit_csv]} | ${cpu[$n/veldafit_csv]} | $(mib "${memory[$n/veldafit_csv]}") | $(ratio "${wall[$n/veldafit_csv]}" "${wall[$n/$pcp_csv_case]}") × PCP | | ≤ 1.6 × PCP, ≤ $csv_limit MiB |"
    fi
    row "| $n | veldafit, whitespace table | ${wall[$n/veldafit_table]} | ${cpu[$n/veldafit_table]} | $(mib "${memory[$n/veldafit_table]}") | $(ratio "${wall[$n/veldafit_table]}" "${wall[$n/$pcp_csv_case]}") × PCP | | ≤ 1.3 × PCP, ≤ $table_limit MiB |"
    if [ -n "$states" ]; then
        target "CSV, $n points: veldafit's time on CSV over PCP" "$(ratio "${wall[$n/veldafit_csv]}" "${wall[$n/$pcp_csv_case]}")" "<=" 1.6 " ×"
        target "peak memory, CSV, $n points (veldafit)" "$(mib "${memory[$n/veldafit_csv]}")" "<=" "$csv_limit" " MiB"
        target "table, $n points: veldafit's time on a whitespace table over PCP" "$(ratio "${wall[$n/veldafit_table]}" "${wall[$n/$pcp_csv_case]}")" "<=" 1.3 " ×"
        target "peak memory, whitespace table, $n points (veldafit)" "$(mib "${memory[$n/veldafit_table]}")" "<=" "$table_limit" " MiB"
    fi
done

# Start-up: many runs on a 1,000-point file, fast and straightforward versions alternating.
small=$(data_file pcp 1000)
starts=50
fast_total=0
reference_total=0
for ((i = 0; i < starts; i++)); do
    t0=$(date +%s.%N); "$bin/veldafit" -n "$small" >/dev/null; t1=$(date +%s.%N)
    "$bin/veldafit_reference" -n "$small" >/dev/null; t2=$(date +%s.%N)
    fast_total=$(awk -v a="$fast_total" -v b="$t0" -v c="$t1" 'BEGIN { print a + c - b }')
    reference_total=$(awk -v a="$reference_total" -v b="$t1" -v c="$t2" 'BEGIN { print a + c - b }')
done
startup_fast=$(awk -v t="$fast_total" -v n="$starts" 'BEGIN { printf "%.1f", 1000 * t / n }')
startup_reference=$(awk -v t="$reference_total" -v n="$starts" 'BEGIN { printf "%.1f", 1000 * t / n }')
target "1,000 points end to end: veldafit's start-up over the straightforward version's" "$(ratio "$startup_fast" "$startup_reference")" "<=" 1 " ×"

# The fast and straightforward versions must print the same bytes, with the
# plot and without it.
identical=""
check_sizes=$(echo "$sizes" | awk '{ for (i = 2; i <= NF; i++) if ($i == 100000 || $i == 2000000) printf "%s ", $i }')
[ -n "$check_sizes" ] || check_sizes=$(echo "$sizes" | awk '{ print $1 }')
for check_size in $check_sizes; do
    for entry in "veldafit|pcp| " "sorrafit|pcp-sigma| " "cadrafit|pcp|9\\n "; do
        IFS='|' read -r program kind input <<<"$entry"
        have "$program" && have "${program}_reference" || continue
        check=$(data_file "$kind" "$check_size")
        verdict=yes
        for plot in "" -n; do
            # shellcheck disable=SC2086
            "$bin/$program" $plot "$check" <<<"$(printf "$input")" >"$scratch/fast.out" 2>/dev/null || true
            # shellcheck disable=SC2086
            "$bin/${program}_reference" $plot "$check" <<<"$(printf "$input")" >"$scratch/reference.out" 2>/dev/null || true
            cmp -s "$scratch/fast.out" "$scratch/reference.out" || verdict=no
        done
        identical="$identical $program at $check_size points: $verdict;"
    done
done

large_pages=""
[ "$max_points" -ge 1000000 ] && large_pages=$(large_pages_section)

micro=""
if have micro_benchmarks; then
    micro=$("$bin/micro_benchmarks" --benchmark_min_time=0.3 2>/dev/null | grep -E '^(Parse|Table|Power|Benchmark|-)' || true)
fi

# Sections of the file that this script does not write (measurements by
# hand, bench/model_comparison.sh's table) are kept, after its own.
kept=""
[ -f "$output" ] && kept=$(awk '/^## / { keep = $0 !~ /^## (Targets|Large pages|Hot loops)/ } keep' "$output")
mkdir -p "$(dirname "$output")"
{
    echo "# Benchmarks"
    echo
    echo "Generated by \`bench/run_benchmarks.sh $max_points $repeats\` on $(date -u +%Y-%m-%d) at commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)."
    echo "Machine: $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo), load average at the end $(cut -d' ' -f1-3 /proc/loadavg)."
    echo
    echo "Whole runs without the plot (\`-n\`, the straightforward versions too), standard output"
    echo "to /dev/null and the order on standard input. Wall time is the median of $repeats runs per"
    echo "case, the cases run round-robin so that all of them see the same machine; CPU s is the"
    echo "median of user plus system time (both threads); peak memory is the largest resident set of"
    echo "those runs (\`/usr/bin/time -v\`). At $target_sizes points every program runs on fresh"
    echo "memory (after a pause of two seconds) and right after a memory-heavy run (the bare read"
    echo "of the same points, not timed). \"× bare\" divides by the bare program that reads the file"
    echo "in one go, converts its numbers with from_chars and formats a table of the line table's"
    echo "size with to_chars (single-threaded); cadrafit, whose table is a column wider, is held to"
    echo "the same bare time. \"× faster\" divides the straightforward version's time (fscanf and"
    echo "printf per number) by the program's. The memory target is 1.1 × the point array (40 bytes"
    echo "a point) with no allowance for the file: the programs read it through a 1 MiB block."
    echo "The machine may be shared (the load average above shows how busy it was): wall times"
    echo "from a busy machine mean little, and only ratios from one run mean anything. The"
    echo "programs use both cores where the results stay bit-identical, the bare program one."
    echo
    echo "| points | run | wall s | CPU s | peak MiB | × bare | × faster | target |"
    echo "|---:|---|---:|---:|---:|---:|---:|---|"
    printf '%s' "$rows"
    echo
    echo "## Targets"
    echo
    echo "| target | measured | required | verdict |"
    echo "|---|---:|---:|---|"
    printf '%s' "$targets"
    echo
    echo "Start-up on 1,000 points (mean of $starts runs each): veldafit ${startup_fast} ms, straightforward version ${startup_reference} ms."
    echo
    echo "Output of each program and of its straightforward version, with the plot and without, byte-identical:${identical%;}."
    if [ -n "$large_pages" ]; then
        echo
        echo "$large_pages"
    fi
    if [ -n "$micro" ]; then
        echo
        echo "## Hot loops (micro_benchmarks, same run)"
        echo
        echo '```'
        echo "$micro"
        echo '```'
    fi
    if [ -n "$kept" ]; then
        echo
        echo "$kept"
    fi
} >"$output"
echo "wrote $output" >&2
