#!/usr/bin/env bash
# The cost of starting for one plain port-43 query, side by side on one loopback WHOIS server:
#   vesk-query   the whole program, routed to the loopback server with --resolve (port 43 only, no address
#                resolution, no contacts: exactly one exchange), recording each search in a temporary history
#   no-history   the same with --no-history, so that the cost of recording shows beside it
#   floor        bench_start_floor, a Qt Core+Network program doing the same exchange and nothing else
#   whois        Debian's whois client (-h 127.0.0.1 -p PORT)
# Prints the median wall time of each, from rounds that run every program once (see below).
# A benchmark, not a test: the figures depend on the machine and its load.
#
# Usage: bench/start_cost.sh [BUILD_DIR [RUNS]]
#   BUILD_DIR  a build with the benchmarks on (default: build/dev beside this script); the script builds the three
#              programs it needs there
#   RUNS       runs per program (default 60, at most 10000)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build/dev}
runs=${2:-60}
[[ $runs =~ ^[0-9]+$ ]] && [ "$runs" -ge 3 ] && [ "$runs" -le 10000 ] || {
    echo "start_cost.sh: RUNS must be a number from 3 to 10000" >&2
    exit 2
}
[ -f "$build/CMakeCache.txt" ] || { echo "start_cost.sh: $build is not a configured build folder" >&2; exit 2; }
grep -q '^VESK_BUILD_BENCH:BOOL=ON' "$build/CMakeCache.txt" || {
    echo "start_cost.sh: configure $build with -DVESK_BUILD_BENCH=ON first" >&2
    exit 2
}
command -v whois >/dev/null || { echo "start_cost.sh: Debian's whois is missing (apt-get install whois)" >&2; exit 2; }

cmake --build "$build" --target vesk-query bench_start_floor bench_whois_replay_server >/dev/null
query=$build/bin/vesk-query
floor=$build/bin/bench_start_floor
server=$build/bin/bench_whois_replay_server
[ -x "$query" ] || { echo "start_cost.sh: vesk-query not found under $build" >&2; exit 1; }

# A registered .de domain as the registry sends it: a thin reply with no referral to follow.
reply=$here/../tests/data/whois/whois.denic.de-de-registered-plain-2020.txt
work=$(mktemp -d)
server_pid=
cleanup() {
    if [ -n "$server_pid" ]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

# Every run of every program is one connection; the margin covers warm-up runs. The server also ends after
# 30 s without a connection, so an interrupted benchmark leaves nothing behind.
"$server" "$reply" $((runs * 4 + 40)) 30 >"$work/port" &
server_pid=$!
for _ in $(seq 50); do
    [ -s "$work/port" ] && break
    sleep 0.1
done
port=$(head -n 1 "$work/port")
[[ $port =~ ^[0-9]+$ ]] || { echo "start_cost.sh: the loopback server did not start" >&2; exit 1; }

# vesk-query reads its settings and writes its log under the user's folders: give it fresh ones.
mkdir -p "$work/home"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_STATE_HOME=$work/home/state
export XDG_DATA_HOME=$work/home/data XDG_CACHE_HOME=$work/home/cache
names=(vesk-query no-history floor whois)
# The history goes to a store of its own in the temporary folder (a portable build would keep it beside the program).
search="$query --no-rdap --no-ip --no-contacts --no-reverse --resolve whois.denic.de:43:127.0.0.1:$port"
commands=(
    "$search --history-file $work/history.sqlite google.de"
    "$search --no-history --history-file $work/history.sqlite google.de"
    "$floor 127.0.0.1 $port google.de"
    "whois -h 127.0.0.1 -p $port google.de"
)
# Each command must work before it is timed: a failing program would be measured as a fast one.
for i in "${!commands[@]}"; do
    ${commands[$i]} >"$work/out" 2>&1 || { echo "start_cost.sh: ${names[$i]} failed:" >&2; cat "$work/out" >&2; exit 1; }
    grep -q 'google.de' "$work/out" || { echo "start_cost.sh: ${names[$i]} printed no reply" >&2; exit 1; }
done
# Recording must really happen, or its cost would be measured as none.
[ -s "$work/history.sqlite" ] || { echo "start_cost.sh: vesk-query recorded nothing" >&2; exit 1; }

# The machine's speed can drift by half within a minute, so the programs are not timed one block after another:
# each round runs every program once, in an order that turns from round to round, and the distance over the floor
# is the median of the rounds' own distances. The first rounds warm the caches and are not counted.
warmup=5
declare -A times
for ((round = 0; round < runs + warmup; round++)); do
    for ((k = 0; k < ${#commands[@]}; k++)); do
        i=$(((round + k) % ${#commands[@]}))
        start=$EPOCHREALTIME
        ${commands[$i]} >/dev/null 2>&1
        end=$EPOCHREALTIME
        # Microseconds, from the shell's own clock (no process of its own).
        [ "$round" -ge "$warmup" ] && times[$i]+="$(((10#${end/./} - 10#${start/./}))) "
    done
done

# The middle value of the numbers given (microseconds), in milliseconds.
median() { tr ' ' '\n' | grep . | sort -n | awk '{ t[NR] = $1 } END { m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2; printf "%.2f", m / 1000 }'; }
# The median over the rounds of the first list less the second, round by round.
distance() {
    paste -d ' ' <(tr ' ' '\n' <<<"${times[$1]}" | grep .) <(tr ' ' '\n' <<<"${times[$2]}" | grep .) |
        awk '{ print $1 - $2 }' | median
}

printf 'median wall time of %d interleaved rounds, one loopback exchange per program and round (ms):\n' "$runs"
for i in "${!commands[@]}"; do
    printf '  %-11s %8s\n' "${names[$i]}" "$(median <<<"${times[$i]}")"
done
printf '  %-11s %8s   (median of the rounds: vesk-query less floor)\n' "over floor" "$(distance 0 2)"
printf '  %-11s %8s   (median of the rounds: vesk-query less no-history)\n' "recording" "$(distance 0 1)"
