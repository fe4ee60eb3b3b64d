#!/usr/bin/env bash
# Register window benchmark (not a test): opens the 1,000,000-row inventory of the register's
# benchmark (bench/make_inventory.py, the same seed and locations as bench/register.sh) in the
# real window (bench/register_window/open_inventory) and measures the time from asking to open
# it to the first frame of the table with rows, and to every row loaded; the same file through
# dovrin-register for comparison; and the peak resident memory of the window with the file
# against the empty window. In runs of their own, with every row loaded, the window is given an
# as-of date a year later: the time until every source is worked out again, the longest time its
# event loop stood still meanwhile, and the peak memory then. Runs window, empty window, command
# line and new date in turn, and prints the medians.
# Goals: first rows within 0.3 s; fully loaded within 1.5 times the command line's time; peak
# memory at most 3 times the file's size above the empty window.
#
# Usage: bench/register_window.sh [BUILD_DIR] [RUNS]   (default build/default and 5 runs of each)
# The build needs libbenchmark-dev, without which bench/ is left out. The platform is offscreen
# unless QT_QPA_PLATFORM says otherwise.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
export LC_ALL=C

build_dir=${1:-build/default}
runs=${2:-5}
[[ $runs =~ ^[0-9]+$ ]] && [ "$runs" -ge 3 ] || fail "use at least 3 runs of each, not '$runs'"
window=$build_dir/bench/register_window/open_inventory
register=$build_dir/dovrin-register
for program in "$window" "$register"; do
    [ -x "$program" ] || fail "$program not found: build $build_dir with libbenchmark-dev installed"
done
packages=(time python3)
install_missing

seed=20261207
locations=500
rows=1000000
work=$build_dir/bench-register
mkdir -p "$work"
file=$work/inventory-$rows-seed$seed-loc$locations.csv
if [ ! -s "$file" ] || [ bench/make_inventory.py -nt "$file" ]; then
    echo "drawing $file" >&2
    python3 bench/make_inventory.py "$rows" "$file.part" --seed "$seed" --locations "$locations" ||
        fail "bench/make_inventory.py failed"
    mv "$file.part" "$file"
fi
file_size=$(stat -L -c %s "$file")

scratch=$(mktemp -d -p "$work")
trap 'rm -rf "$scratch"' EXIT
# The window's settings live here for the run: the questions the file asks (its slash dates)
# are answered in the first, unmeasured run and remembered for the others.
export XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/runtime
mkdir -m 700 "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

# One run: prints what the program printed, then its wall time in microseconds and its peak
# RSS in KiB.
measure() {
    local start end out
    start=${EPOCHREALTIME/./}
    out=$(/usr/bin/time -f %M -o "$scratch/rss" "$@" 2>"$scratch/stderr") ||
        [ "$1" = "$register" ] || fail "$* failed: $(head -c 500 "$scratch/stderr")"
    end=${EPOCHREALTIME/./}
    echo "${out:+$out }$((end - start)) $(tail -n 1 "$scratch/rss")"
}
run_window() { measure "$window" "$file"; }
run_empty() { measure "$window"; }
run_new_date() { measure "$window" "$file" reevaluate; }
run_register() {
    measure "$register" --as-of 2026-12-07 --date-order mdy -o "$scratch/register.csv" "$file"
}

median() {
    sort -n | awk '{ v[NR] = $1 }
        END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
column() { printf '%s\n' "${@:2}" | cut -d' ' -f"$1" | median; }

run_window >/dev/null # answers the file's questions, and warms the file cache
run_register >/dev/null
window_runs=() empty_runs=() register_runs=() new_date_runs=()
for ((run = 0; run < runs; run++)); do
    window_runs+=("$(run_window)")
    empty_runs+=("$(run_empty)")
    register_runs+=("$(run_register)")
    new_date_runs+=("$(run_new_date)")
done
asked=$(column 3 "${window_runs[@]}")
[ "$asked" = 0 ] || fail "the window asked questions in the measured runs"

first=$(column 1 "${window_runs[@]}") loaded=$(column 2 "${window_runs[@]}")
window_rss=$(column 5 "${window_runs[@]}") empty_rss=$(column 2 "${empty_runs[@]}")
reevaluated=$(column 4 "${new_date_runs[@]}") stall=$(column 5 "${new_date_runs[@]}")
new_date_rss=$(column 7 "${new_date_runs[@]}")
register_time=$(column 1 "${register_runs[@]}")

echo "Opening $(basename "$file") ($rows rows, $((file_size / 1024 / 1024)) MiB) in the register" \
    "window: medians of $runs runs, platform $QT_QPA_PLATFORM"
awk -v first="$first" -v loaded="$loaded" -v cli="$register_time" -v rss="$window_rss" \
    -v empty="$empty_rss" -v size="$file_size" -v again="$reevaluated" -v stall="$stall" \
    -v again_rss="$new_date_rss" 'BEGIN {
    printf "%-44s %10.3f s   (goal <= 0.3)\n", "asking to open -> first rows shown", first / 1e6
    printf "%-44s %10.3f s\n", "asking to open -> every row loaded", loaded / 1e6
    printf "%-44s %10.3f s\n", "dovrin-register on the same file", cli / 1e6
    printf "%-44s %10.3f     (goal <= 1.5)\n", "fully loaded / command line", loaded / cli
    printf "%-44s %10.1f MiB\n", "peak RSS, empty window", empty / 1024
    printf "%-44s %10.1f MiB\n", "peak RSS, window with the inventory", rss / 1024
    printf "%-44s %10.2f     (goal <= 3)\n", "(with - empty) / file size", (rss - empty) * 1024 / size
    printf "%-44s %10.3f s\n", "new as-of date -> every source worked out", again / 1e6
    printf "%-44s %10.3f s\n", "longest stand-still of the event loop then", stall / 1e6
    printf "%-44s %10.1f MiB\n", "peak RSS, with a new as-of date", again_rss / 1024
}'
