#!/usr/bin/env bash
# Opens the real program under Xvfb on the xcb platform at scale factors 1 and 2, grabs its window,
# checks each picture's size and the places of the controls against the window's geometry
# (scripts/check_window_picture.py), and writes the picture at scale 1 to docs/window.png.
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

scales=(1 2)

# Under Xvfb: starts the program at each scale, waits until its window is mapped and its picture
# stops changing, and grabs it as OUT_DIR/window-SCALE.ppm.
grab_windows() {
    local binary=$1 out_dir=$2 scale pid window shot previous=$2/previous.ppm tries
    mkdir -m 700 "$out_dir/runtime"
    for scale in "${scales[@]}"; do
        env -u QT_SCREEN_SCALE_FACTORS -u QT_ENABLE_HIGHDPI_SCALING -u QT_STYLE_OVERRIDE \
            XDG_RUNTIME_DIR="$out_dir/runtime" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$scale" \
            "$binary" &
        pid=$!
        window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" | head -n 1) ||
            fail "the window did not appear at scale $scale"
        shot=$out_dir/window-$scale.ppm
        for ((tries = 0; tries < 20; tries++)); do
            sleep 0.25
            import -window "$window" -depth 8 "$shot"
            [ -e "$previous" ] && cmp -s "$shot" "$previous" && break
            cp "$shot" "$previous"
        done
        rm -f "$previous"
        kill "$pid"
        wait "$pid" || true
    done
}

if [ "${1:-}" = --grab ]; then
    grab_windows "$2" "$3"
    exit
fi

packages+=(imagemagick xdotool)
install_missing
if [ -z "${build_dir:-}" ]; then
    build_preset default
    build_dir=$(preset_dir default)
fi
binary=$build_dir/dovrin-calculator
[ -x "$binary" ] || fail "$binary not found; build it first"

out_dir=$(mktemp -d)
trap 'rm -rf "$out_dir"' EXIT
xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 96 -nolisten tcp" \
    "$self" --grab "$(realpath "$binary")" "$out_dir" || fail "could not grab the window"

status=0
for scale in "${scales[@]}"; do
    python3 scripts/check_window_picture.py "$out_dir/window-$scale.ppm" "$scale" || status=1
done
if [ "$status" -ne 0 ]; then
    kept=$(mktemp -d)
    for scale in "${scales[@]}"; do
        convert "$out_dir/window-$scale.ppm" "$kept/window-$scale.png"
    done
    fail "the window does not match its geometry; pictures in $kept"
fi
convert "$out_dir/window-1.ppm" -strip docs/window.png
echo "Wrote docs/window.png"
