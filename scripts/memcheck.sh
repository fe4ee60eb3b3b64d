#!/usr/bin/env bash
# Runs the window tests under Valgrind's memcheck on the offscreen platform: every session they
# play must end with no invalid memory access and no block definitely lost. What Qt, fontconfig
# and GLib keep for the life of the process is suppressed in tests/memcheck.supp.
#
#   scripts/memcheck.sh [TEST...]     e.g. scripts/memcheck.sh tst_startup
#
# Without arguments it runs every window test (tests/ui/tst_*.cpp); that takes about four
# minutes, so it is not part of scripts/test.sh. Builds the tests in the default preset first
# (MEMCHECK_JOBS=N limits the build to N jobs). The full memcheck output of each test goes to
# build/default/memcheck/TEST.log.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
packages+=(valgrind)
install_missing

if [ $# -gt 0 ]; then
    tests=("$@")
else
    tests=()
    for source in tests/ui/tst_*.cpp; do
        tests+=("$(basename "$source" .cpp)")
    done
fi

build_preset default ${MEMCHECK_JOBS:+-j "$MEMCHECK_JOBS"} --target "${tests[@]}"

build=$(preset_dir default)
logs=$build/memcheck
mkdir -p "$logs"
failed=()
for test in "${tests[@]}"; do
    binary=$build/tests/ui/$test
    [ -x "$binary" ] || fail "no window test $binary"
    log=$logs/$test.log
    echo "== $test under memcheck (log: $log)"
    start=$SECONDS
    status=0
    # QRegularExpression compiles its patterns to machine code (PCRE2's JIT), which memcheck
    # cannot follow: it reports its reads as uninitialised. Qt then interprets them instead.
    QT_QPA_PLATFORM=offscreen QT_ENABLE_REGEXP_JIT=0 valgrind --leak-check=full --errors-for-leak-kinds=definite \
        --error-exitcode=1 --suppressions=tests/memcheck.supp --num-callers=40 \
        --log-file="$log" "$binary" >"$logs/$test.out" 2>&1 || status=$?
    grep -hE 'definitely lost:|ERROR SUMMARY:' "$log" | sed 's/^==[0-9]*== */   /'
    grep -h '^Totals:' "$logs/$test.out" | sed 's/^/   /'
    echo "   $((SECONDS - start)) s, exit status $status"
    [ "$status" -eq 0 ] || failed+=("$test")
done

[ ${#failed[@]} -eq 0 ] || fail "memcheck found errors or failing tests in: ${failed[*]} (see $logs/)"
echo "memcheck: no invalid access and no definite leak in ${tests[*]}"
