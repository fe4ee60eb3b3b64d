#!/usr/bin/env bash
# Fuzzes the calculation core with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer; needs clang (Debian's clang and libclang-rt-dev), not Qt.
#
#   scripts/fuzz.sh TARGET|all SECONDS [libFuzzer options...]
#
# TARGET is one of read_number, number_text, date, categorise (the files tests/fuzz/fuzz_*.cpp);
# "all" runs them one after the other, SECONDS each. The binaries, a scratch corpus per target,
# the crashes and the logs go to build/fuzz/. Each run reads the committed seed corpus
# tests/fuzz/corpus/TARGET/ but writes new inputs only to the scratch corpus, so the committed one
# stays small. With FUZZ_MERGE=1 the run ends by adding to the committed corpus the few scratch
# inputs that reach code the committed ones do not. Runs at low priority (nice).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

targets=(read_number number_text date categorise)
fail() { echo "error: $*" >&2; exit 1; }
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

cxx=${CXX:-clang++}
command -v "$cxx" >/dev/null || fail "$cxx not found: install clang and libclang-rt-dev"
out=build/fuzz
mkdir -p "$out/obj"
sanitizers=address,undefined
flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fno-sanitize-recover=undefined -Icalc -Idata
       -Itests/fuzz)

# Builds what is out of date: the calculation core with coverage instrumentation, then each
# target linked with libFuzzer's main.
build() {
    local objects=() source object
    for source in calc/*.cpp; do
        object="$out/obj/$(basename "$source" .cpp).o"
        if [ ! -e "$object" ] || [ -n "$(find "$source" calc/*.h data/*.h -newer "$object")" ]; then
            echo "compiling $source"
            "$cxx" "${flags[@]}" -fsanitize=fuzzer-no-link,$sanitizers -c "$source" -o "$object" ||
                fail "compiling $source failed"
        fi
        objects+=("$object")
    done
    local name=$1 binary="$out/fuzz_$1"
    if [ ! -e "$binary" ] ||
        [ -n "$(find "tests/fuzz/fuzz_$name.cpp" tests/fuzz/fuzz_check.h "${objects[@]}" \
                     -newer "$binary")" ]; then
        echo "linking $binary"
        "$cxx" "${flags[@]}" -fsanitize=fuzzer,$sanitizers "tests/fuzz/fuzz_$name.cpp" \
            "${objects[@]}" -o "$binary" || fail "building $binary failed (is libclang-rt-dev installed?)"
    fi
}

# The longest input worth trying: the numbers of number_text are eight bytes, date and
# categorise take a short text and a tail of numbers; read_number takes long texts.
max_len() {
    case $1 in
    number_text) echo 16 ;;
    date | categorise) echo 128 ;;
    *) echo 4096 ;;
    esac
}

status=0
for name in "${chosen[@]}"; do
    build "$name"
    scratch="$out/corpus/$name"
    crashes="$out/crashes/$name"
    mkdir -p "$scratch" "$crashes" "$out/logs"
    options=(-max_total_time="$seconds" -max_len="$(max_len "$name")" -print_final_stats=1
             -artifact_prefix="$crashes/")
    [ -f "tests/fuzz/$name.dict" ] && options+=(-dict="tests/fuzz/$name.dict")
    echo "== fuzzing $name for $seconds s (log: $out/logs/$name.log)"
    # The log keeps every line; the console skips libFuzzer's progress lines.
    set +e
    nice -n 10 "$out/fuzz_$name" "${options[@]}" "$@" "$scratch" "tests/fuzz/corpus/$name" 2>&1 |
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
        nice -n 10 "$out/fuzz_$name" -merge=1 -max_len="$(max_len "$name")" \
            "tests/fuzz/corpus/$name" "$scratch" >"$out/logs/$name.merge.log" 2>&1 ||
            fail "merging into tests/fuzz/corpus/$name failed, see $out/logs/$name.merge.log"
        echo "merged $(($(count_files "tests/fuzz/corpus/$name") - before)) inputs into tests/fuzz/corpus/$name"
    fi
done
exit $status
