#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build/fuzz and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS] [FAMILY...]     default 30 s each; families: utf8 domain_reply network_reply
#                                             address definitions report rdap_record batch_input json_report
#                                             (default: all of them)
# Each fuzzer starts from the seeds in fuzz/corpus/<family>/ and keeps what it learns in build/fuzz/corpus/<family>/
# (never in the source tree). A crash or failed property leaves its input in build/fuzz/artifacts/ and makes the
# script exit 1 after the remaining fuzzers have run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true

build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVESK_BUILD_FUZZ=ON -DVESK_BUILD_GUI=OFF -DVESK_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target fuzzers -j "${FUZZ_JOBS:-2}"

families=("$@")
if [ ${#families[@]} -eq 0 ]; then
    # Every fuzzer that fuzz/CMakeLists.txt builds.
    for binary in "$build"/bin/fuzz_*; do
        families+=("${binary##*/fuzz_}")
    done
fi

mkdir -p "$build/artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=0
for family in "${families[@]}"; do
    binary="$build/bin/fuzz_$family"
    if [ ! -x "$binary" ]; then
        echo "fuzz_$family: no such fuzzer" >&2
        failed=1
        continue
    fi
    corpus="$build/corpus/$family"
    mkdir -p "$corpus"
    echo "== fuzz_$family for ${seconds}s"
    log="$build/fuzz_$family.log"
    if ! "$binary" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/artifacts/$family-" \
        "$corpus" "fuzz/corpus/$family" >"$log" 2>&1; then
        tail -n 40 "$log" >&2
        echo "fuzz_$family FAILED: input saved under $build/artifacts/" >&2
        failed=1
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$log" || true
done
exit $failed
