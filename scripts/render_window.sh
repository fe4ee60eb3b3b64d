#!/usr/bin/env bash
# Renders the pictures of the program's windows in docs/. Each picture program (built with the
# tests) opens a real window on the xcb platform under Xvfb, drives it through its widgets as a
# person would, prints "ready" when the window shows what the picture is about, and stays open
# until it is ended. Each window is grabbed at scale factors 1 and 2, checked against its
# geometry, and written at scale 1.
#
#   calculator: tests/ui/window_picture, the calculator window after one source was categorised
#               (a practice, Co-60, an activity in Ci, a date and both categories, on the tests'
#               fixed clock); checked by scripts/check_window_picture.py; docs/window.png.
#   register:   tests/register_window/register_window_picture, the register window at its
#               default size with examples/inventory.csv open and a source selected, its decay
#               drawn; checked for its size at each scale and for a picture with content;
#               docs/register-window.png. Its report of that inventory, exported as a PDF: the
#               first page, checked for its page numbers; docs/register-report.png.
#   keeping:    the same program with --keeping, the register window on a register made from the
#               example inventory, its History pane open, and its Move dialog with a field left
#               wrong; the program writes both pictures itself (docs/register-keeping.png and
#               docs/register-record-dialog.png), checked for their content, and the annual
#               inventory of 2025 of that register, whose first page is docs/register-annual.png.
#
# To add a window: write grab_NAME (under Xvfb: grab_window for each scale) and check_NAME (check
# the grabs and write the picture), and add NAME to pictures.
#
# Usage: scripts/render_window.sh [BUILD_DIR]
# Without BUILD_DIR it builds the default preset and uses build/default. Installs what is missing.
self=$(realpath "${BASH_SOURCE[0]}")
case ${1:-} in
    --grab) ;; # the second half, run by the first under xvfb-run
    ?*) build_dir=$(realpath -m -- "$1") ;;
esac
# shellcheck source=scripts/common.sh
source "$(dirname "$self")/common.sh"

pictures=(calculator register keeping)
scales=(1 2)

# Under Xvfb: starts PROGRAM at SCALE with its ARGUMENTS, waits for its "ready", then grabs its
# window as SHOT (a PPM) once the picture stops changing, and ends the program.
grab_window() {
    local shot=$1 scale=$2 program=$3 pid window tries previous=$1.previous
    local said=$out_dir/said-$scale
    env -u QT_SCREEN_SCALE_FACTORS -u QT_ENABLE_HIGHDPI_SCALING -u QT_STYLE_OVERRIDE \
        XDG_RUNTIME_DIR="$out_dir/runtime" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" \
        "$program" "${@:4}" >"$said" &
    pid=$!
    for ((tries = 0; tries < 120; tries++)); do
        grep -qsx ready "$said" && break
        kill -0 "$pid" 2>/dev/null || fail "$(basename "$program") ended at scale $scale"
        sleep 0.25
    done
    grep -qsx ready "$said" || fail "$(basename "$program") was not ready at scale $scale"
    window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1) ||
        fail "the window of $(basename "$program") did not appear at scale $scale"
    for ((tries = 0; tries < 20; tries++)); do
        sleep 0.25
        import -window "$window" -depth 8 "$shot"
        [ -e "$previous" ] && cmp -s "$shot" "$previous" && break
        cp "$shot" "$previous"
    done
    rm -f "$previous"
    kill "$pid"
    wait "$pid" || true
}

# Writes PPM as the PNG picture OUT, without metadata, so that an unchanged window gives an
# unchanged file.
write_picture() {
    convert "$1" -strip "$2"
    echo "Wrote $2"
}

# Keeps the grabs NAME-SCALE.ppm as PNGs in a new folder and fails with MESSAGE.
keep_and_fail() {
    local name=$1 message=$2 kept scale
    kept=$(mktemp -d)
    for scale in "${scales[@]}"; do
        convert "$out_dir/$name-$scale.ppm" "$kept/$name-$scale.png"
    done
    fail "$message; pictures in $kept"
}

grab_calculator() {
    local scale
    for scale in "${scales[@]}"; do
        grab_window "$out_dir/calculator-$scale.ppm" "$scale" "$build_dir/tests/ui/window_picture"
    done
}

check_calculator() {
    local scale status=0
    for scale in "${scales[@]}"; do
        python3 scripts/check_window_picture.py "$out_dir/calculator-$scale.ppm" "$scale" ||
            status=1
    done
    [ "$status" -eq 0 ] || keep_and_fail calculator "the calculator window does not match its geometry"
    write_picture "$out_dir/calculator-1.ppm" docs/window.png
}

grab_register() {
    local scale report
    for scale in "${scales[@]}"; do
        report=()
        [ "$scale" = 1 ] && report=(--report "$out_dir/register-report.pdf")
        grab_window "$out_dir/register-$scale.ppm" "$scale" \
            "$build_dir/tests/register_window/register_window_picture" "${report[@]}"
    done
}

# The register window opens at 1280 x 800 device-independent pixels, with tables, colours and a
# chart: each grab has that size times its scale, and thousands of colours.
check_register() {
    local scale size colours
    for scale in "${scales[@]}"; do
        size=$(identify -format '%w %h' "$out_dir/register-$scale.ppm")
        [ "$size" = "$((1280 * scale)) $((800 * scale))" ] ||
            keep_and_fail register "the register window is $size at scale $scale"
        colours=$(identify -format '%k' "$out_dir/register-$scale.ppm")
        [ "$colours" -ge 1000 ] ||
            keep_and_fail register "the register window shows only $colours colours at scale $scale"
    done
    write_picture "$out_dir/register-1.ppm" docs/register-window.png
    check_report
}

# The report's first page at 100 dots per inch: it names itself the first of the report's pages.
check_report() {
    local pdf=$out_dir/register-report.pdf pages
    [ -s "$pdf" ] || fail "the register window wrote no report"
    pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
    pdftotext -layout -f 1 -l 1 "$pdf" - | grep -q "page 1 of $pages" ||
        fail "the report's first page does not say \"page 1 of $pages\""
    pdftoppm -png -r 100 -f 1 -l 1 -singlefile "$pdf" "$out_dir/register-report"
    write_picture "$out_dir/register-report.png" docs/register-report.png
}

grab_keeping() {
    env XDG_RUNTIME_DIR="$out_dir/runtime" QT_QPA_PLATFORM=xcb \
        "$build_dir/tests/register_window/register_window_picture" --keeping "$out_dir" \
        >/dev/null || fail "the register's desk could not be shown"
}

check_keeping() {
    local picture colours
    for picture in keeping-window keeping-dialog; do
        colours=$(identify -format '%k' "$out_dir/$picture.png")
        [ "$colours" -ge 50 ] || fail "$picture shows only $colours colours"
    done
    write_picture "$out_dir/keeping-window.png" docs/register-keeping.png
    write_picture "$out_dir/keeping-dialog.png" docs/register-record-dialog.png
    pdftotext -f 1 -l 1 "$out_dir/annual.pdf" - | grep -q "Annual inventory 2025" ||
        fail "the annual inventory's first page does not name itself"
    pdftoppm -png -r 100 -f 1 -l 1 -singlefile "$out_dir/annual.pdf" "$out_dir/annual"
    write_picture "$out_dir/annual.png" docs/register-annual.png
}

if [ "${1:-}" = --grab ]; then
    build_dir=$2 out_dir=$3
    mkdir -m 700 "$out_dir/runtime"
    for picture in "${pictures[@]}"; do
        "grab_$picture"
    done
    exit
fi

packages+=(imagemagick xdotool)
install_missing
if [ -z "${build_dir:-}" ]; then
    build_preset default
    build_dir=$PWD/build/default
fi
for program in tests/ui/window_picture tests/register_window/register_window_picture; do
    [ -x "$build_dir/$program" ] || fail "$build_dir/$program not found; build it first"
done

out_dir=$(mktemp -d)
trap 'rm -rf "$out_dir"' EXIT
# The screen holds the register window at scale 2 (2560 x 1600).
xvfb-run -a -s "-screen 0 2600x1700x24 -dpi 96 -nolisten tcp" \
    "$self" --grab "$build_dir" "$out_dir" || fail "could not grab the windows"

for picture in "${pictures[@]}"; do
    "check_$picture"
done
