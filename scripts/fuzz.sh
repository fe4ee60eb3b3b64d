#!/usr/bin/env bash
# Fuzzes the calculation core, the inventory reader and the workbook reader with clang's
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer; needs clang (Debian's clang and
# libclang-rt-dev), not Qt.
#
#   scripts/fuzz.sh TARGET|all SECONDS [libFuzzer options...]
#
# TARGET is one of the files tests/fuzz/fuzz_TARGET.cpp; "all" runs them one after the other,
# SECONDS each. The targets are built by the CMake preset fuzz in build/fuzz/, where the scratch
# corpus of each target, the crashes and the logs go too. Each run reads the committed seed corpus
# tests/fuzz/corpus/TARGET/ but writes new inputs only to the scratch corpus, so the committed one
# stays small. With FUZZ_MERGE=1 the run ends by adding to the committed corpus the few scratch
# inputs that reach code the committed ones do not. Runs at low priority (nice).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

targets=()
for source in tests/fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name#fuzz_}")
done
count_files() { find "$1" -maxdepth 1 -type f | wc -l; }

[ $# -ge 2 ] || fail "usage: scripts/fuzz.sh TARGET|all SECONDS [libFuzzer options...]
TARGET is one of: ${targets[*]}"
target=$1
seconds=$2
shift 2
[[ $seconds =~ ^[0-9]+$ ]] || fail "SECONDS must be a whole number, not '$seconds'"
if [ "$target" = all ]; then
    chosen=("${targets[@]}")
else
    [[ " ${targets[*]} " == *" $target "* ]] || fail "unknown target '$target'; one of: ${targets[*]}"
    chosen=("$target")
fi

command -v clang++ >/dev/null || fail "clang++ not found: install clang and libclang-rt-dev"
build_preset fuzz --target "${chosen[@]/#/fuzz_}"
out=$(preset_dir fuzz)

# The longest input worth trying: the numbers of number_text are eight bytes, date and
# categorise take a short text and a tail of numbers; workbook takes whole small archives; the
# others take long texts.
max_len() {
    case $1 in
    number_text) echo 16 ;;
    date | categorise) echo 128 ;;
    workbook) echo 8192 ;;
    *) echo 4096 ;;
    esac
}

status=0
for name in "${chosen[@]}"; do
    binary=$out/tests/fuzz/fuzz_$name
    scratch=$out/corpus/$name
    crashes=$out/crashes/$name
    mkdir -p "$scratch" "$crashes" "$out/logs"
    options=(-max_total_time="$seconds" -max_len="$(max_len "$name")" -print_final_stats=1
             -artifact_prefix="$crashes/")
    [ -f "tests/fuzz/$name.dict" ] && options+=(-dict="tests/fuzz/$name.dict")
    echo "== fuzzing $name for $seconds s (log: $out/logs/$name.log)"
    # The log keeps every line; the console skips libFuzzer's progress lines.
    set +e
    nice -n 10 "$binary" "${options[@]}" "$@" "$scratch" "tests/fuzz/corpus/$name" 2>&1 |
        tee "$out/logs/$name.log" | grep --line-buffered -vE '^(#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|RELOAD) |"|###### )'
    exit_codes=("${PIPESTATUS[@]}")
    set -e
    if [ "${exit_codes[0]}" -ne 0 ]; then
        echo "!! $name stopped on a crash: see $crashes/ and $out/logs/$name.log"
        status=1
        continue
    fi
    if [ "${FUZZ_MERGE:-0}" = 1 ]; then
        before=$(count_files "tests/fuzz/corpus/$name")
        nice -n 10 "$binary" -merge=1 -max_len="$(max_len "$name")" \
            "tests/fuzz/corpus/$name" "$scratch" >"$out/logs/$name.merge.log" 2>&1 ||
            fail "merging into tests/fuzz/corpus/$name failed, see $out/logs/$name.merge.log"
        echo "merged $(($(count_files "tests/fuzz/corpus/$name") - before)) inputs into tests/fuzz/corpus/$name"
    fi
done
exit $status
