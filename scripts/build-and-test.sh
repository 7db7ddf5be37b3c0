#!/usr/bin/env bash
# Builds and runs every test: format check, layer check, the suite with warnings as errors, clang-tidy over the
# program sources, the suite again under AddressSanitizer + UndefinedBehaviorSanitizer, and each fuzzer for a
# short bounded time (VESK_FUZZ_SECONDS).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== format check"
# Optimised as users get it, without debug information: the build and its links are a fifth faster that way
# (the whole command must stay well under half an hour on two cores).
cmake -S . -B build/ci -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build/ci --target format-check

echo "== layer check"
bash scripts/check-layers.sh --self-test
bash scripts/check-layers.sh

echo "== build and test"
cmake --build build/ci -j "$jobs"
ctest --test-dir build/ci --output-on-failure -j "$jobs" --timeout 300

echo "== clang-tidy over src/ and tools/ (checks and their reasons in .clang-tidy)"
# Only the sources of the normal build: the compile database of build/ci, without the generated moc files.
run-clang-tidy -quiet -j "$jobs" -p build/ci "^$PWD/(src|tools)/.*\\.cpp\$" >build/ci/clang-tidy.log 2>&1 ||
    { grep -E 'warning:|error:' build/ci/clang-tidy.log >&2; echo "clang-tidy found problems" >&2; exit 1; }

echo "== build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
    -DVESK_SANITIZE=ON -DVESK_BUILD_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build/asan --output-on-failure -j "$jobs" --timeout 600

echo "== fuzzers, a short bounded run each on the seed corpus"
bash scripts/fuzz.sh "${VESK_FUZZ_SECONDS:-10}"
