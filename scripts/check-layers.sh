#!/usr/bin/env bash
# Fails when a file under src/ includes a folder of a higher rank. Dependencies point down only:
#   codecs, common (0) < whois, rdap (1) < defs, settings (2) < update (3) < lookup (4) < history, batch (5)
#   < widgets (6) < app, cli (7)
# Usage: check-layers.sh [SRC_DIR]   (default: src/ beside this script)
#        check-layers.sh --self-test (proves on a temporary tree that a bad include is caught)
set -euo pipefail

rank_of() {
    case "$1" in
        codecs | common) echo 0 ;;
        whois | rdap) echo 1 ;;
        defs | settings) echo 2 ;;
        update) echo 3 ;;
        lookup) echo 4 ;;
        history | batch) echo 5 ;;
        widgets) echo 6 ;;
        app | cli) echo 7 ;;
        *) echo -1 ;;
    esac
}

check() {
    local src=$1 bad=0 file folder line number target own theirs
    while IFS= read -r file; do
        folder=${file#"$src"/}
        folder=${folder%%/*}
        own=$(rank_of "$folder")
        if [ "$own" -lt 0 ]; then
            echo "$file: folder '$folder' has no rank in the layer table"
            bad=1
            continue
        fi
        while IFS=: read -r number line; do
            target=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)\/.*/\1/' <<<"$line")
            theirs=$(rank_of "$target")
            if [ "$theirs" -gt "$own" ]; then
                echo "$file:$number: $folder (rank $own) includes $target (rank $theirs)"
                bad=1
            fi
        done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$file" || true)
    done < <(find "$src" -mindepth 2 -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
    return $bad
}

if [ "${1:-}" = "--self-test" ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/whois" "$tmp/lookup"
    printf '#include "whois/a.h"\n#include <QByteArray>\n' >"$tmp/lookup/good.cpp"
    printf '#pragma once\n\n#include "lookup/good.h"\n' >"$tmp/whois/bad.h"
    check "$tmp" >/dev/null && { echo "self-test: the upward include was not caught"; exit 1; }
    [ "$(check "$tmp" || true)" = "$tmp/whois/bad.h:3: whois (rank 1) includes lookup (rank 4)" ] \
        || { echo "self-test: wrong report: $(check "$tmp" || true)"; exit 1; }
    rm "$tmp/whois/bad.h"
    check "$tmp" || { echo "self-test: a downward include was reported"; exit 1; }
    echo "self-test passed"
    exit 0
fi

src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}
check "$src" && echo "layers: every include points down"
