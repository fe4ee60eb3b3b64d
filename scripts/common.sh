# Shared by the scripts: stops with a reason (fail), installs what is missing, configures and
# builds one CMake preset, and says where a preset's build lives. Sourced, not run; it moves to
# the top of the source tree.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

# Qt Charts needs Qt OpenGL's CMake files, which qt6-charts-dev does not pull in.
packages=(cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
          qt6-charts-dev libqt6opengl6-dev fonts-liberation xvfb xauth python3 dpkg-dev file
          desktop-file-utils appstream lintian poppler-utils python3-icalendar libzip-dev
          libexpat1-dev pkg-config python3-openpyxl python3-odf libsqlite3-dev libssl-dev
          libpq-dev postgresql)

fail() { echo "error: $*" >&2; exit 1; }

# Debian's own python3, which has the python3-* packages installed here; another python3 may come
# first on the PATH (pyenv's, say) without them.
system_python3() {
    if [ -x /usr/bin/python3 ]; then /usr/bin/python3 "$@"; else python3 "$@"; fi
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"
    elif command -v sudo >/dev/null; then sudo "$@"
    else fail "installing packages needs root or sudo: $*"
    fi
}

install_missing() {
    local missing=()
    for package in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return
    echo "Installing ${missing[*]}"
    command -v apt-get >/dev/null || fail "apt-get not found: install ${missing[*]} by hand"
    as_root apt-get update -qq || fail "apt-get update failed"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" || fail "could not install ${missing[*]}"
}

# build_preset PRESET [cmake --build options...], e.g. build_preset default --target tst_startup
build_preset() {
    local preset=$1
    shift
    cmake --preset "$preset" >/dev/null || fail "configuring preset $preset failed"
    cmake --build --preset "$preset" "$@" || fail "building preset $preset failed"
}

# The build folder of a preset, as CMakePresets.json names it.
preset_dir() {
    echo "build/$1"
}
