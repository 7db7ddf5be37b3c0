#!/usr/bin/env bash
# Builds Vesk (Release) and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVESK_BUILD_TESTS=OFF -DVESK_BUILD_BENCH=OFF
cmake --build build/release --target vesk vesk-query
exec build/release/bin/vesk "$@"
