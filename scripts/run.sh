#!/usr/bin/env bash
# Installs what is missing, builds the program and opens its window.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
build_preset default
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    fail "no display to open the window on; run it under Xvfb: xvfb-run -a scripts/run.sh"
fi
exec "$(preset_dir default)/dovrin-calculator"
