#!/usr/bin/env bash
# Rewrites the expected RDAP renderings in tests/data/rdap/golden from the current code, then shows what changed.
# Review the diff against the JSON answers before committing: the golden texts are reviewed data.
# Usage: scripts/update-rdap-golden.sh [BUILD_DIR]   (default build/dev, configured already)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/dev}
cmake --build "$build" --target test_rdap
golden=tests/data/rdap/golden
mkdir -p "$golden"
# Start empty so texts of removed fixtures disappear.
find "$golden" -maxdepth 1 -name '*.txt' -delete
VESK_UPDATE_GOLDEN=1 "$build/bin/test_rdap" --gtest_filter='RdapGoldenTest.*' >/dev/null
"$build/bin/test_rdap" --gtest_filter='RdapGoldenTest.*' >/dev/null
# New texts are marked intent-to-add so the diff shows them too.
git add --intent-to-add -- "$golden"
git status --short -- "$golden"
git --no-pager diff -- "$golden"
