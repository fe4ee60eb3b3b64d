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
# Then the kept register on the same CSV inventories: import --commit into a new register
# against Debian's sqlite3 CLI loading the same CSV into a bare table (.import --csv), and the
# as-of inventory from that register against the same inventory from the CSV file, alternately,
# with the same medians. Goals: on 1,000,000 rows each at most 1.5 times the other's time; the
# register's peak memory the same within 10 % for both sizes, for the import and for the as-of.
#
# Usage: bench/register.sh [BUILD_DIR] [RUNS]   (default build/default and 5 runs of each)
# DOVRIN_BENCH_SIZES="10000 100000" draws and measures smaller inventories than the default
# "10000 1000000" (a quick look; the goals are for 1,000,000 rows).
# Installs Debian's miller, time, xlsx2csv, python3-openpyxl and sqlite3 when missing. The inventories are
# kept in
# BUILD_DIR/bench-register/ and drawn again only when the generator changes.
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
export LC_ALL=C

build_dir=${1:-build/default}
runs=${2:-5}
[[ $runs =~ ^[0-9]+$ ]] && [ "$runs" -ge 3 ] || fail "use at least 3 runs of each, not '$runs'"
register=${DOVRIN_REGISTER:-$build_dir/dovrin-register}
[ -x "$register" ] || fail "$register not found: build $build_dir first (or set DOVRIN_REGISTER)"
packages=(miller time python3 xlsx2csv python3-openpyxl sqlite3)
install_missing

seed=20261207
locations=500
as_of=2026-12-07
read -r -a sizes <<<"${DOVRIN_BENCH_SIZES:-10000 1000000}"
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
    -v rt="${result[${sizes[1]},register,1]}" -v mt="${result[${sizes[1]},miller,1]}" \
    -v large_rows="${sizes[1]}" -v small_rows="${sizes[0]}" 'BEGIN {
    printf "Speed on %s rows: Miller / register = %.2f   (goal >= 4)\n", large_rows, mt / rt
    printf "Register peak RSS, %s rows / %s rows = %.3f   (goal <= 1.10)\n", large_rows,
        small_rows, large / small
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

# The kept register: import --commit into a new register against sqlite3 .import --csv into a
# bare table; then the as-of inventory from that register against the same from the CSV file.
# The sources are received long before the as-of day, so that the register holds them all then.
# The import reads the dates month first, as the run from the CSV file does, so that the register
# keeps them as days and its as-of evaluates every row the file's does (not an error row for each
# date it could not read).
received_on=2000-01-01
run_import() {
    rm -f "$scratch/import.dovrin"
    "$register" init "$scratch/import.dovrin" --holder bench 2>/dev/null ||
        fail "dovrin-register init failed"
    measure 0 "$register" import "$scratch/import.dovrin" "$1" --on "$received_on" --by bench \
        --commit --date-order mdy
}
run_sqlite3() {
    rm -f "$scratch/bare.db"
    measure 0 sqlite3 "$scratch/bare.db" ".import --csv $1 inventory"
}
run_register_as_of() {
    measure 1 "$register" --as-of "$as_of" -o "$scratch/register.csv" \
        --locations "$scratch/locations.csv" "$scratch/kept.dovrin"
}
for rows in "${sizes[@]}"; do
    file=$(inventory "$rows")
    run_import "$file" >/dev/null
    cp "$scratch/import.dovrin" "$scratch/kept.dovrin"
    run_register_as_of >/dev/null
    lines=$(wc -l <"$scratch/register.csv")
    [ "$lines" -eq $((rows + 1)) ] ||
        fail "the as-of inventory from the register has $lines lines for $rows sources and a header"
    run_sqlite3 "$file" >/dev/null
    import_runs=() sqlite3_runs=() as_of_runs=() file_runs=()
    for ((run = 0; run < runs; run++)); do
        import_runs+=("$(run_import "$file")")
        sqlite3_runs+=("$(run_sqlite3 "$file")")
    done
    # The as-of pairs on their own, once the files written above are on disk. A run that comes
    # just after commands which wrote and removed hundreds of MB pays for the memory they left
    # behind: on a virtual machine that hands freed memory back to its host, the first touch of
    # each page costs system time (up to 2.8 s more for this as-of, measured just after a cp of
    # the register), and in one loop of four it fell on the as-of alone.
    sync
    for ((run = 0; run < runs; run++)); do
        as_of_runs+=("$(run_register_as_of)")
        file_runs+=("$(run_register "$file")")
    done
    for i in 1 2 3; do
        result[$rows,import,$i]=$(column "$i" "${import_runs[@]}")
        result[$rows,sqlite3,$i]=$(column "$i" "${sqlite3_runs[@]}")
        result[$rows,as-of,$i]=$(column "$i" "${as_of_runs[@]}")
        result[$rows,file,$i]=$(column "$i" "${file_runs[@]}")
    done
done

echo
echo "Kept register: import --commit against sqlite3 .import --csv into a bare table, and the" \
    "as-of inventory from the register against the same from the CSV file: medians of $runs runs"
printf '%-10s %-9s %10s %12s %9s %10s %15s\n' rows program "wall (s)" "rows/s" "ratio" \
    "CPU (s)" "peak RSS (MiB)"
for rows in "${sizes[@]}"; do
    for pair in "import sqlite3" "as-of file"; do
        read -r measured against <<<"$pair"
        for program in "$measured" "$against"; do
            awk -v rows="$rows" -v p="$program" -v t="${result[$rows,$program,1]}" \
                -v cpu="${result[$rows,$program,2]}" -v rss="${result[$rows,$program,3]}" \
                -v mt="${result[$rows,$measured,1]}" -v at="${result[$rows,$against,1]}" \
                -v measured="$measured" 'BEGIN {
                ratio = p == measured ? sprintf("%9.2f", mt / at) : sprintf("%9s", "")
                name = p == "file" ? "csv as-of" : p == "as-of" ? "reg as-of" : p
                printf "%-10d %-9s %10.3f %12.0f %s %10.2f %15.1f\n", rows, name, t / 1e6,
                    rows / (t / 1e6), ratio, cpu / 100, rss / 1024
            }'
        done
    done
done
awk -v rows="${sizes[1]}" -v small_rows="${sizes[0]}" \
    -v it="${result[${sizes[1]},import,1]}" -v st="${result[${sizes[1]},sqlite3,1]}" \
    -v at="${result[${sizes[1]},as-of,1]}" -v ft="${result[${sizes[1]},file,1]}" \
    -v is="${result[${sizes[0]},import,3]}" -v il="${result[${sizes[1]},import,3]}" \
    -v as="${result[${sizes[0]},as-of,3]}" -v al="${result[${sizes[1]},as-of,3]}" 'BEGIN {
    printf "Import on %s rows: register / sqlite3 .import = %.2f   (goal <= 1.5)\n", rows, it / st
    printf "As-of on %s rows: register / CSV file = %.2f   (goal <= 1.5)\n", rows, at / ft
    printf "Import peak RSS, %s rows / %s rows = %.3f   (goal <= 1.10)\n", rows, small_rows,
        il / is
    printf "As-of peak RSS from the register, %s rows / %s rows = %.3f   (goal <= 1.10)\n", rows,
        small_rows, al / as
}'
