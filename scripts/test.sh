#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test, in the optimised build and in the
# build with AddressSanitizer and UndefinedBehaviorSanitizer.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_missing
for preset in default sanitize; do
    echo "== $preset build"
    build_preset "$preset"
    ctest --preset "$preset" || fail "tests failed in the $preset build"
done
