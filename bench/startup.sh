#!/usr/bin/env bash
# Start-up benchmark (not a test): the time from process start to the first frame shown and the
# peak resident memory of (A) the calculator's window, opened as the program opens it, (B) a bare
# Qt Widgets window with one empty QWidget, which draws no text, and (B2) a window of the same
# size with one QLabel showing a line of text, the floor for a window that shows text. All three
# are built in the same tree with the same flags (bench/startup/) and end right after their first
# frame. Runs A B B2 A B B2 ..., prints the medians and the ratios A/B and A/B2.
#
# Usage: bench/startup.sh [BUILD_DIR] [RUNS]   (default build/default and 25 runs of each)
# The build needs libbenchmark-dev, without which bench/ is left out. The platform is offscreen
# unless QT_QPA_PLATFORM says otherwise (e.g. QT_QPA_PLATFORM=xcb xvfb-run -a bench/startup.sh).
set -euo pipefail
export LC_ALL=C

fail() { echo "error: $*" >&2; exit 1; }

build_dir=${1:-build/default}
runs=${2:-25}
[ "$runs" -ge 20 ] || fail "use at least 20 runs of each"
real=$build_dir/bench/startup/startup_calculator
bare=$build_dir/bench/startup/startup_bare
label=$build_dir/bench/startup/startup_label
for program in "$real" "$bare" "$label"; do
    [ -x "$program" ] || fail "$program not found: build $build_dir with libbenchmark-dev installed"
done
[ -x /usr/bin/time ] || fail "/usr/bin/time not found: apt-get install time"

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
XDG_RUNTIME_DIR=$(mktemp -d)
export XDG_RUNTIME_DIR
trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
rss_file=$XDG_RUNTIME_DIR/rss

# One run: prints the microseconds from the start to the first frame, and the peak RSS in KiB.
measure() {
    local start shown
    start=${EPOCHREALTIME/./}
    if ! shown=$(/usr/bin/time -f %M -o "$rss_file" "$1") || [ -z "$shown" ]; then
        fail "$1 ended without showing its window"
    fi
    echo "$((shown - start)) $(<"$rss_file")"
}

median() {
    sort -n | awk '{ v[NR] = $1 }
        END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

for program in "$real" "$bare" "$label"; do
    measure "$program" >/dev/null # warm the file cache
done
real_runs=() bare_runs=() label_runs=()
for ((run = 0; run < runs; run++)); do
    real_runs+=("$(measure "$real")")
    bare_runs+=("$(measure "$bare")")
    label_runs+=("$(measure "$label")")
done

column() { printf '%s\n' "${@:2}" | cut -d' ' -f"$1" | median; }
real_time=$(column 1 "${real_runs[@]}") real_rss=$(column 2 "${real_runs[@]}")
bare_time=$(column 1 "${bare_runs[@]}") bare_rss=$(column 2 "${bare_runs[@]}")
label_time=$(column 1 "${label_runs[@]}") label_rss=$(column 2 "${label_runs[@]}")

echo "Start-up to the first frame: medians of $runs runs of each, alternating," \
    "platform $QT_QPA_PLATFORM"
awk -v rt="$real_time" -v rr="$real_rss" -v bt="$bare_time" -v br="$bare_rss" \
    -v lt="$label_time" -v lr="$label_rss" 'BEGIN {
    printf "%-22s %10s %14s\n", "", "time (ms)", "peak RSS (MiB)"
    printf "%-22s %10.1f %14.1f\n", "A  calculator window", rt / 1000, rr / 1024
    printf "%-22s %10.1f %14.1f\n", "B  bare QWidget", bt / 1000, br / 1024
    printf "%-22s %10.1f %14.1f\n", "B2 one QLabel", lt / 1000, lr / 1024
    printf "%-22s %10.3f %14.3f   (against a window that draws nothing)\n", "A/B", rt / bt, rr / br
    printf "%-22s %10.3f %14.3f   (goals: time <= 1.15, memory <= 1.05)\n", "A/B2", rt / lt, rr / lr
}'
