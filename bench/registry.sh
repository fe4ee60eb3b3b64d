#!/usr/bin/env bash
# Registry benchmark (not a test), on a throwaway PostgreSQL cluster (scripts/postgres.sh) in the
# build folder, in one run:
#   writers: 16 writers at once, 2,000 receipts each, two for each of 8 holders, one receipt a
#     write, against the same 32,000 receipts recorded into one register file by one writer the
#     same way; events per second of each and their ratio. Goal: registry / file >= 1.
#   as-of: the national inventory of 1,000,000 sources (8 holders of 125,000) against the same
#     sources' inventory from one register file, each written to a file; after a VACUUM ANALYZE
#     (what autovacuum does to a registry in service) and one untimed run of each, the median
#     wall time of RUNS runs of each, alternately, and their ratio. Goal: registry / file <= 2.
# Both loads go through bench/registry/registry_writers, which records through the store's
# interface as every command does.
#
# Usage: bench/registry.sh [BUILD_DIR] [SCALE] [RUNS]
#   (default build/default, SCALE 1, 3 runs); SCALE divides every number of events, for a quick
#   look: bench/registry.sh build/default 100
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/common.sh"
export LC_ALL=C

build_dir=${1:-build/default}
scale=${2:-1}
runs=${3:-3}
[[ $scale =~ ^[1-9][0-9]*$ ]] || fail "SCALE is a whole number from 1, not '$scale'"
[[ $runs =~ ^[0-9]+$ ]] && [ "$runs" -ge 1 ] || fail "RUNS is a whole number from 1, not '$runs'"
register=$build_dir/dovrin-register
writers=$build_dir/bench/registry/registry_writers
[ -x "$register" ] || fail "$register not found: build $build_dir first"
[ -x "$writers" ] || fail "$writers not found: build the target registry_writers first"
packages=(postgresql)
install_missing

holders=8
per_writer=$((2000 / scale))
sources=$((1000000 / scale))
per_holder=$((sources / holders))
as_of=2026-01-01

work=$(cd "$build_dir" && pwd)/bench-registry
rm -rf "$work"
mkdir -p "$work"
cluster=$work/postgres
scripts/postgres.sh start "$cluster" >/dev/null
trap 'scripts/postgres.sh stop "$cluster" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
# The folder is the postgres user's when this runs as root: the register files go beside it.
files=$work/files
mkdir -p "$files"

address() { echo "postgresql:///$1?host=$cluster&user=$2"; }

# A new registry in database $1 with the holders hold_1 ... hold_8, and an inspector.
make_registry() {
    psql -q "$(address postgres postgres)" -c "CREATE DATABASE $1" || fail "no database $1"
    "$register" registry init "$(address "$1" postgres)" >/dev/null
    for ((h = 1; h <= holders; h++)); do
        "$register" registry add-holder "$(address "$1" postgres)" "Holder $h" \
            --role "hold_$h" >/dev/null
    done
    "$register" registry add-inspector "$(address "$1" postgres)" inspector >/dev/null
}

# The wall time of a command in microseconds, its output to a file.
wall() {
    local start end
    start=${EPOCHREALTIME/./}
    "$@" >"$work/out" 2>"$work/err" || [ $? -le 1 ] || fail "$* failed: $(head -c 300 "$work/err")"
    end=${EPOCHREALTIME/./}
    echo $((end - start))
}

median() {
    sort -n | awk '{ v[NR] = $1 }
        END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Writers: 16 at once on the registry, two a holder; one on a register file.
make_registry writers
targets=()
for ((w = 0; w < 2 * holders; w++)); do
    targets+=("$(address writers "hold_$((w % holders + 1))")")
done
registry_rate=$("$writers" "$per_writer" 1 "${targets[@]}") || fail "the registry's writers failed"
"$register" init "$files/writers.dovrin" --holder "One holder" >/dev/null 2>&1 ||
    fail "cannot make the register file"
file_rate=$("$writers" $((per_writer * 2 * holders)) 1 "$files/writers.dovrin") ||
    fail "the register file's writer failed"

# As-of: the same sources in a registry of 8 holders and in one register file.
make_registry national
targets=()
for ((h = 1; h <= holders; h++)); do targets+=("$(address national "hold_$h")"); done
"$writers" "$per_holder" 5000 "${targets[@]}" >/dev/null || fail "loading the registry failed"
"$register" init "$files/national.dovrin" --holder "One holder" >/dev/null 2>&1 ||
    fail "cannot make the register file"
"$writers" $((per_holder * holders)) 5000 "$files/national.dovrin" >/dev/null ||
    fail "loading the register file failed"
# As autovacuum keeps a registry in service: the new rows' visibility settled, the planner's
# statistics gathered. Then one untimed run of each, which warms the caches.
psql -q "$(address national postgres)" -c "VACUUM ANALYZE dovrin.journal" ||
    fail "VACUUM ANALYZE failed"
inspector=$(address national inspector)
wall "$register" registry "$inspector" --as-of "$as_of" -o "$work/registry.csv" >/dev/null
wall "$register" "$files/national.dovrin" --as-of "$as_of" -o "$work/file.csv" >/dev/null
registry_runs=() file_runs=()
for ((run = 0; run < runs; run++)); do
    registry_runs+=("$(wall "$register" registry "$inspector" --as-of "$as_of" -o "$work/registry.csv")")
    file_runs+=("$(wall "$register" "$files/national.dovrin" --as-of "$as_of" -o "$work/file.csv")")
done
[ "$(wc -l <"$work/registry.csv")" -eq $((per_holder * holders + 1)) ] ||
    fail "the national inventory does not hold the $((per_holder * holders)) sources"
[ "$(wc -l <"$work/file.csv")" -eq $((per_holder * holders + 1)) ] ||
    fail "the register file's inventory does not hold the $((per_holder * holders)) sources"
registry_time=$(printf '%s\n' "${registry_runs[@]}" | median)
file_time=$(printf '%s\n' "${file_runs[@]}" | median)

echo "Registry (PostgreSQL 15, a throwaway cluster on a Unix socket) against a register file"
awk -v w=$((2 * holders)) -v n="$per_writer" -v r="$registry_rate" -v f="$file_rate" 'BEGIN {
    printf "writers: %d writers x %d receipts on the registry: %.0f events/s\n", w, n, r
    printf "         1 writer x %d receipts on a register file: %.0f events/s\n", w * n, f
    printf "         registry / file = %.2f   (goal >= 1)\n", r / f
}'
awk -v s=$((per_holder * holders)) -v h="$holders" -v r="$registry_time" -v f="$file_time" \
    -v runs="$runs" 'BEGIN {
    printf "as-of:   national inventory of %d sources, %d holders: %.3f s (median of %d)\n",
        s, h, r / 1e6, runs
    printf "         the same sources from a register file: %.3f s\n", f / 1e6
    printf "         registry / file = %.2f   (goal <= 2)\n", r / f
}'
