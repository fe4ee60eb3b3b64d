#!/bin/sh
# Runs a command if its program is installed; exit status 77 tells CTest the test was skipped.
command -v "$1" >/dev/null 2>&1 || { echo "$1 is not installed: skipped"; exit 77; }
exec "$@"
