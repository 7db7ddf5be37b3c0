#!/usr/bin/env bash
# Fails when a source file includes a folder of a higher rank. Dependencies point down only:
#   codecs, common (0) < whois, rdap (1) < defs, settings (2) < update (3) < lookup (4) < history, batch (5)
#   < widgets (6) < app, cli (7) < tools (8) < tests (9) < bench, fuzz (10)
# The folders of src/ rank by their name; tools/, tests/, bench/ and fuzz/ rank above all of src/, so they may
# include any of it and nothing in src/ may include them (and the shipped tool never includes test code).
# Every include form counts: quoted, angle, and paths relative to the including file. A path is resolved as
# the compiler would find it in this tree (beside the including file, under src/, or under whichever folder
# holds a file of that path), so an include cannot pass by naming its target in another way.
# Usage: check-layers.sh [ROOT]    (default: the project this script belongs to; ROOT holds src/)
#        check-layers.sh --self-test (proves on a temporary tree that each include form is caught)
set -euo pipefail

check() {
    local root=$1 dirs=() dir
    for dir in src tools tests bench fuzz; do
        [ -d "$root/$dir" ] && dirs+=("$dir")
    done
    [ ${#dirs[@]} -gt 0 ] || { echo "$root: no source folders to check"; return 1; }
    # One awk pass over every file keeps the check fast: no process per include.
    (cd "$root" && find "${dirs[@]}" -type f \( -name '*.h' -o -name '*.hh' -o -name '*.hpp' -o -name '*.inc' \
        -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx' \) | LC_ALL=C sort |
        awk -v root="$root" '
        BEGIN {
            split("codecs common whois rdap defs settings update lookup history batch widgets app cli", f, " ")
            split("0 0 1 1 2 2 3 4 5 5 6 7 7", r, " ")
            for (i = 1; i in f; i++) srcRank[f[i]] = r[i] + 0
            topRank["tools"] = 8; topRank["tests"] = 9; topRank["bench"] = 10; topRank["fuzz"] = 10
        }
        { files[NR] = $0; exists[$0] = 1; b = $0; sub(/.*\//, "", b); byName[b] = byName[b] "\n" $0 }

        # Lexical normalisation: drops "." and empty parts, folds "x/.." (a leading ".." stays).
        function normalize(p,    n, parts, out, m, i, s) {
            n = split(p, parts, "/"); m = 0
            for (i = 1; i <= n; i++) {
                if (parts[i] == "" || parts[i] == ".") continue
                if (parts[i] == ".." && m > 0 && out[m] != "..") { m--; continue }
                out[++m] = parts[i]
            }
            s = ""
            for (i = 1; i <= m; i++) s = s (i > 1 ? "/" : "") out[i]
            return s
        }
        function head(p) { sub(/\/.*/, "", p); return p }
        function folder(p) { return head(p) == "src" ? head(substr(p, 5)) : head(p) }
        # Rank of a tree path; -1 for a place with no rank, "" for a place outside the checked folders.
        function rankOf(p,    top, sub_) {
            top = head(p)
            if (top == "src") {
                if (p !~ /^src\/[^\/]+\//) return -1
                sub_ = folder(p)
                return (sub_ in srcRank) ? srcRank[sub_] : -1
            }
            return (top in topRank) ? topRank[top] : ""
        }
        # Where the compiler would find PATH written in a file of folder DIR; "" for a header from outside
        # (Qt, the C++ library, generated files).
        function resolve(path, dir, quoted,    np, c, n, list, i, best, br) {
            if (path ~ /^\.\.?\//) return normalize(dir "/" path)
            np = normalize(path)
            if (np ~ /^\.\.(\/|$)/) return normalize(dir "/" path)
            if (quoted && (c = normalize(dir "/" np)) in exists) return c
            if (("src/" np) in exists) return "src/" np
            # Any other include directory: a file whose path ends in this one. When several do, the
            # highest rank is the one that could break the rule.
            c = np; sub(/.*\//, "", c)
            best = ""; br = -2
            if (c in byName) {
                n = split(byName[c], list, "\n")
                for (i = 2; i <= n; i++)
                    if (list[i] == np || substr(list[i], length(list[i]) - length(np)) == "/" np)
                        if (rankOf(list[i]) != "" && rankOf(list[i]) > br) { best = list[i]; br = rankOf(list[i]) }
            }
            if (best != "") return best
            # A file that does not exist (yet) still names its folder.
            if (head(np) in srcRank) return "src/" np
            if (head(np) in topRank) return np
            return ""
        }
        END {
            bad = 0
            for (k = 1; k <= NR; k++) {
                file = files[k]; own = rankOf(file)
                if (own == -1) {
                    printf "%s: folder \"%s\" has no rank in the layer table\n", file, folder(file); bad = 1; continue
                }
                dir = file; sub(/\/[^\/]*$/, "", dir)
                line = 0
                while ((getline text < (root "/" file)) > 0) {
                    line++
                    sub(/\r$/, "", text)
                    if (text !~ /^[ \t]*#[ \t]*(include_next|include|import)/) continue
                    rest = text; sub(/^[ \t]*#[ \t]*(include_next|include|import)[ \t]*/, "", rest)
                    open_ = substr(rest, 1, 1)
                    if (open_ != "\"" && open_ != "<") {
                        printf "%s:%d: an include through a macro cannot be checked: %s\n", file, line, text; bad = 1; continue
                    }
                    close_ = open_ == "<" ? ">" : "\""
                    end_ = index(substr(rest, 2), close_)
                    if (end_ == 0) continue
                    written = substr(rest, 1, end_ + 1)
                    target = resolve(substr(rest, 2, end_ - 1), dir, open_ == "\"")
                    if (target == "") continue
                    theirs = rankOf(target)
                    if (theirs == "") continue
                    if (theirs == -1) {
                        printf "%s:%d: includes %s, from folder \"%s\" with no rank in the layer table\n", file, line, written, folder(target); bad = 1
                    } else if (theirs > own) {
                        printf "%s:%d: %s (rank %d) includes %s (rank %d): %s\n", file, line, folder(file), own, folder(target), theirs, written; bad = 1
                    }
                }
                close(root "/" file)
            }
            exit bad
        }')
}

if [ "${1:-}" = "--self-test" ]; then
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp"/src/{whois,lookup,common,batch,history,app} "$tmp"/tools/defs "$tmp"/tests/{support,lookup} \
        "$tmp"/bench "$tmp"/fuzz
    touch "$tmp"/src/lookup/lookup_engine.h "$tmp"/src/whois/a.h "$tmp"/tools/defs/defs_tool.h \
        "$tmp"/tests/support/fake_server.h "$tmp"/bench/bench_util.h "$tmp"/src/app/window.h
    # Every allowed form: own folder, lower ranks, Qt headers, generated headers, the top folders below them.
    printf '#include "whois/a.h"\n#include <whois/a.h>\n#include "../whois/a.h"\n#include "lookup_engine.h"\n#include <QByteArray>\n#include <vesk_version.h>\n' \
        >"$tmp/src/lookup/good.cpp"
    printf '#include "lookup/lookup_engine.h"\n' >"$tmp/src/history/store.cpp"
    printf '#include "lookup/lookup_engine.h"\n#include "defs_tool.h"\n' >"$tmp/tools/defs/main.cpp"
    printf '#include "lookup/lookup_engine.h"\n#include "support/fake_server.h"\n#include "defs_tool.h"\n#include "app/window.h"\n' \
        >"$tmp/tests/lookup/engine_test.cpp"
    printf '#include "support/fake_server.h"\n#include "bench_util.h"\n#include "lookup/lookup_engine.h"\n' \
        >"$tmp/bench/bench_x.cpp"
    printf '#include "../tests/support/fake_server.h"\n' >"$tmp/fuzz/fuzz_x.cpp"
    check "$tmp" >/dev/null || { echo "self-test: an allowed include was reported: $(check "$tmp" || true)"; exit 1; }

    # Each wrong include, planted alone: the file, its text and the one report it must give.
    planted=(
        'src/whois/bad.h|#include "lookup/lookup_engine.h"|src/whois/bad.h:2: whois (rank 1) includes lookup (rank 4): "lookup/lookup_engine.h"'
        'src/whois/bad.h|#include <lookup/lookup_engine.h>|src/whois/bad.h:2: whois (rank 1) includes lookup (rank 4): <lookup/lookup_engine.h>'
        'src/whois/bad.h|#include "../lookup/lookup_engine.h"|src/whois/bad.h:2: whois (rank 1) includes lookup (rank 4): "../lookup/lookup_engine.h"'
        'src/whois/bad.h|  #  include "./../lookup/lookup_engine.h"|src/whois/bad.h:2: whois (rank 1) includes lookup (rank 4): "./../lookup/lookup_engine.h"'
        'src/whois/bad.h|#include "whois/../lookup/lookup_engine.h"|src/whois/bad.h:2: whois (rank 1) includes lookup (rank 4): "whois/../lookup/lookup_engine.h"'
        'src/whois/bad.h|#include "lookup/not_yet_written.h"|src/whois/bad.h:2: whois (rank 1) includes lookup (rank 4): "lookup/not_yet_written.h"'
        'src/batch/bad.cpp|#include "app/window.h"|src/batch/bad.cpp:2: batch (rank 5) includes app (rank 7): "app/window.h"'
        'src/common/bad.cpp|#include "support/fake_server.h"|src/common/bad.cpp:2: common (rank 0) includes tests (rank 9): "support/fake_server.h"'
        'src/app/bad.cpp|#include "defs_tool.h"|src/app/bad.cpp:2: app (rank 7) includes tools (rank 8): "defs_tool.h"'
        'src/app/bad.cpp|#include "../../bench/bench_util.h"|src/app/bad.cpp:2: app (rank 7) includes bench (rank 10): "../../bench/bench_util.h"'
        'tools/defs/bad.cpp|#include <support/fake_server.h>|tools/defs/bad.cpp:2: tools (rank 8) includes tests (rank 9): <support/fake_server.h>'
        'src/whois/bad.h|#include WHOIS_HEADER|src/whois/bad.h:2: an include through a macro cannot be checked: #include WHOIS_HEADER'
        'src/gadgets/bad.h|#include "whois/a.h"|src/gadgets/bad.h: folder "gadgets" has no rank in the layer table'
    )
    for case in "${planted[@]}"; do
        IFS='|' read -r file text expected <<<"$case"
        mkdir -p "$(dirname "$tmp/$file")"
        printf '#pragma once\n%s\n' "$text" >"$tmp/$file"
        report=$(check "$tmp" && echo "(passed)" || true)
        [ "$report" = "$expected" ] || { printf 'self-test: %s\n  expected: %s\n  reported: %s\n' "$text" "$expected" "$report"; exit 1; }
        rm "$tmp/$file"
    done
    echo "self-test passed"
    exit 0
fi

root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
# Older callers name the src/ folder itself; the check needs the project around it.
[ ! -d "$root/src" ] && [ "$(basename "$root")" = src ] && root=$(dirname "$root")
check "$root" && echo "layers: every include points down"
