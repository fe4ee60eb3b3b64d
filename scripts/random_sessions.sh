#!/usr/bin/env bash
# Plays many random sessions on the real window: scripts/random_sessions.sh [SESSIONS] [ACTIONS]
# (default 200 sessions of 5000 actions). Uses the sanitizer build when it exists.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
sessions=${1:-200}
actions=${2:-5000}
binary=$(preset_dir sanitize)/tests/ui/tst_random_sessions
[ -x "$binary" ] || binary=$(preset_dir default)/tests/ui/tst_random_sessions
[ -x "$binary" ] || fail "build the tests first (scripts/test.sh)"
failed=0
for seed in $(seq 1 "$sessions"); do
    if ! DOVRIN_RANDOM_SEED=$seed DOVRIN_RANDOM_ACTIONS=$actions QT_QPA_PLATFORM=offscreen \
        "$binary" >"/tmp/random_session_$seed.log" 2>&1; then
        echo "seed $seed failed: see /tmp/random_session_$seed.log"
        failed=$((failed + 1))
    fi
done
echo "$((sessions * actions)) actions in $sessions sessions, $failed failed"
[ "$failed" -eq 0 ]
