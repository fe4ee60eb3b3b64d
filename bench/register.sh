#!/usr/bin/env bash
# Register benchmark (not a test): categorises generated inventories of 10,000 and 1,000,000 rows
# with the same locations (bench/make_inventory.py, from a seed) and measures, in one run,
# dovrin-register against Miller's plain pass over the same file (mlr --icsv --ocsv cat), which
# only reads and writes the CSV. Runs register and Miller alternately, writing to files in the
# same folder, and prints the medians: wall time, rows per second, the ratio Miller / register,
# the CPU time and the peak resident memory, then the register's peak memory for 1,000,000 rows
# against 10,000 rows.
# Goals: on 1,000,000 rows at least 4 times faster than Miller; the register's peak memory the
# same within 10 % for both sizes.
#
# Then the same inventories of 10,000 and 100,000 rows as .xlsx workbooks (openpyxl's write-only
# mode), the register on them against Debian's xlsx2csv converting them to CSV, alternately, with
# the same medians. Goals: on 100,000 rows at least 10 times faster than xlsx2csv alone; the
# register's peak memory the same within 10 % for both sizes.
#
# Usage: bench/register.sh [BUILD_DIR] [RUNS]   (default build/default and 5 runs of each)
# Installs Debian's miller, time, xlsx2csv and python3-openpyxl when missing. The inventories are
# kept in
# BUILD_DIR/bench-register/ and drawn again only when the generator changes.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
export LC_ALL=C

build_dir=${1:-build/default}
runs=${2:-5}
[[ $runs =~ ^[0-9]+$ ]] && [ "$runs" -ge 3 ] || fail "use at least 3 runs of each, not '$runs'"
register=${DOVRIN_REGISTER:-$build_dir/dovrin-register}
[ -x "$register" ] || fail "$register not found: build $build_dir first (or set DOVRIN_REGISTER)"
packages=(miller time python3 xlsx2csv python3-openpyxl)
install_missing

seed=20261207
locations=500
as_of=2026-12-07
sizes=(10000 1000000)
work=$build_dir/bench-register
mkdir -p "$work"
scratch=$(mktemp -d -p "$work")
trap 'rm -rf "$scratch"' EXIT

# The inventory of a given number of rows, drawn once per version of the generator.
inventory() {
    local file=$work/inventory-$1-seed$seed-loc$locations.csv
    if [ ! -s "$file" ] || [ bench/make_inventory.py -nt "$file" ]; then
        echo "drawing $file" >&2
        system_python3 bench/make_inventory.py "$1" "$file.part" --seed "$seed" \
            --locations "$locations" || fail "bench/make_inventory.py failed"
        mv "$file.part" "$file"
    fi
    echo "$file"
}

# The same inventory as an .xlsx workbook.
workbook() {
    local file=$work/inventory-$1-seed$seed-loc$locations.xlsx
    if [ ! -s "$file" ] || [ bench/make_inventory.py -nt "$file" ]; then
        echo "drawing $file" >&2
        system_python3 bench/make_inventory.py "$1" "$file.part" --seed "$seed" \
            --locations "$locations" --format xlsx || fail "bench/make_inventory.py failed"
        mv "$file.part" "$file"
    fi
    echo "$file"
}

# One run of a command, its output to a file: prints the wall time in microseconds, the CPU
# time (user + system) in centiseconds and the peak RSS in KiB. Exit statuses up to $1 are
# success (the register says 1 when some rows are error rows).
measure() {
    local ok=$1 start end status
    shift
    start=${EPOCHREALTIME/./}
    set +e
    /usr/bin/time -f '%U %S %M' -o "$scratch/time" "$@" >"$scratch/stdout" 2>"$scratch/stderr"
    status=$?
    set -e
    end=${EPOCHREALTIME/./}
    [ "$status" -le "$ok" ] ||
        fail "$* ended with status $status: $(head -c 500 "$scratch/stderr")"
    # GNU time writes a note before its figures when the command failed.
    read -r user system rss < <(tail -n 1 "$scratch/time")
    echo "$((end - start)) $(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 100 }') $rss"
}

median() {
    sort -n | awk '{ v[NR] = $1 }
        END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
column() { printf '%s\n' "${@:2}" | cut -d' ' -f"$1" | median; }

# The generated dates are month first (8/12/93), which the register reads only when told.
run_register() {
    measure 1 "$register" --as-of "$as_of" --date-order mdy -o "$scratch/register.csv" \
        --locations "$scratch/locations.csv" "$1"
}
run_miller() { measure 0 mlr --icsv --ocsv cat "$1"; }

declare -A result
for rows in "${sizes[@]}"; do
    file=$(inventory "$rows")
    run_register "$file" >/dev/null # warm the file cache, and check the register's output once
    lines=$(wc -l <"$scratch/register.csv")
    [ "$lines" -eq $((rows + 1)) ] ||
        fail "the register wrote $lines lines for $rows rows and a header"
    [ "$(wc -l <"$scratch/locations.csv")" -eq $((locations + 1)) ] ||
        fail "the register's locations file does not hold the $locations locations"
    run_miller "$file" >/dev/null
    register_runs=() miller_runs=()
    for ((run = 0; run < runs; run++)); do
        register_runs+=("$(run_register "$file")")
        miller_runs+=("$(run_miller "$file")")
    done
    for i in 1 2 3; do
        result[$rows,register,$i]=$(column "$i" "${register_runs[@]}")
        result[$rows,miller,$i]=$(column "$i" "${miller_runs[@]}")
    done
done

echo "Register against Miller's plain pass (mlr --icsv --ocsv cat): medians of $runs runs of" \
    "each, alternating; $locations locations, as of $as_of, seed $seed"
printf '%-10s %-9s %10s %12s %9s %10s %15s\n' rows program "wall (s)" "rows/s" \
    "Miller/reg" "CPU (s)" "peak RSS (MiB)"
for rows in "${sizes[@]}"; do
    for program in register miller; do
        awk -v rows="$rows" -v p="$program" -v t="${result[$rows,$program,1]}" \
            -v cpu="${result[$rows,$program,2]}" -v rss="${result[$rows,$program,3]}" \
            -v rt="${result[$rows,register,1]}" 'BEGIN {
            ratio = p == "miller" ? sprintf("%9.2f", t / rt) : sprintf("%9s", "")
            printf "%-10d %-9s %10.3f %12.0f %s %10.2f %15.1f\n", rows, p, t / 1e6,
                rows / (t / 1e6), ratio, cpu / 100, rss / 1024
        }'
    done
done
awk -v small="${result[${sizes[0]},register,3]}" -v large="${result[${sizes[1]},register,3]}" \
    -v rt="${result[${sizes[1]},register,1]}" -v mt="${result[${sizes[1]},miller,1]}" 'BEGIN {
    printf "Speed on %s rows: Miller / register = %.2f   (goal >= 4)\n", "1,000,000", mt / rt
    printf "Register peak RSS, 1,000,000 rows / 10,000 rows = %.3f   (goal <= 1.10)\n",
        large / small
}'

# The workbooks: the register against xlsx2csv.
workbook_sizes=(10000 100000)
run_xlsx2csv() { measure 0 xlsx2csv "$1" "$scratch/xlsx2csv.csv"; }
for rows in "${workbook_sizes[@]}"; do
    file=$(workbook "$rows")
    run_register "$file" >/dev/null
    lines=$(wc -l <"$scratch/register.csv")
    [ "$lines" -eq $((rows + 1)) ] ||
        fail "the register wrote $lines lines for the $rows rows and the header of $file"
    run_xlsx2csv "$file" >/dev/null
    register_runs=() xlsx2csv_runs=()
    for ((run = 0; run < runs; run++)); do
        register_runs+=("$(run_register "$file")")
        xlsx2csv_runs+=("$(run_xlsx2csv "$file")")
    done
    for i in 1 2 3; do
        result[$rows,xlsx-register,$i]=$(column "$i" "${register_runs[@]}")
        result[$rows,xlsx2csv,$i]=$(column "$i" "${xlsx2csv_runs[@]}")
    done
done

echo
echo "Register on .xlsx against xlsx2csv converting it to CSV: medians of $runs runs of each," \
    "alternating"
printf '%-10s %-9s %10s %12s %9s %10s %15s\n' rows program "wall (s)" "rows/s" \
    "x2c/reg" "CPU (s)" "peak RSS (MiB)"
for rows in "${workbook_sizes[@]}"; do
    for program in xlsx-register xlsx2csv; do
        awk -v rows="$rows" -v p="$program" -v t="${result[$rows,$program,1]}" \
            -v cpu="${result[$rows,$program,2]}" -v rss="${result[$rows,$program,3]}" \
            -v rt="${result[$rows,xlsx-register,1]}" 'BEGIN {
            ratio = p == "xlsx2csv" ? sprintf("%9.2f", t / rt) : sprintf("%9s", "")
            name = p == "xlsx2csv" ? p : "register"
            printf "%-10d %-9s %10.3f %12.0f %s %10.2f %15.1f\n", rows, name, t / 1e6,
                rows / (t / 1e6), ratio, cpu / 100, rss / 1024
        }'
    done
done
awk -v small="${result[${workbook_sizes[0]},xlsx-register,3]}" \
    -v large="${result[${workbook_sizes[1]},xlsx-register,3]}" \
    -v rt="${result[${workbook_sizes[1]},xlsx-register,1]}" \
    -v xt="${result[${workbook_sizes[1]},xlsx2csv,1]}" 'BEGIN {
    printf "Speed on %s rows of .xlsx: xlsx2csv / register = %.2f   (goal >= 10)\n", "100,000",
        xt / rt
    printf "Register peak RSS on .xlsx, 100,000 rows / 10,000 rows = %.3f   (goal <= 1.10)\n",
        large / small
}'
